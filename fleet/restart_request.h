/*
 * /RESTART: asking Windows to restart exactly the machines where a run wrote, and
 * /RESTART=ABORT, which stops such a restart while Windows still counts down. A restart is
 * asked for only after a run whose outcome is "changed": never after "as asked", never after
 * "failed", never without a value written. Applications are never closed by force, and the
 * machine the console itself is restarts only once a list run has written every line.
 */
#ifndef KELVRA_RESTART_REQUEST_H
#define KELVRA_RESTART_REQUEST_H

#include <windows.h>

/* The exit code of a list run's child whose machine turned out to be the console itself and
 * was changed: the child did not restart it, and the list run does, last. */
#define EXIT_CONSOLE_LEFT 3

/* Room for the /RESTART options that a list run hands each child. */
#define CHILD_RESTART_OPTION_SIZE 40

/* After the run on one machine (the dialog has ended): when /RESTART asked for it and the run
 * changed a value with nothing failed, asks Windows to restart that machine, and records for
 * the report line what became of the request. A request Windows refused makes the exit code 2
 * and, without /QUIT, shows why. Under /CONSOLELAST the console's own machine is left alone
 * and the exit code is EXIT_CONSOLE_LEFT. */
void FinishRestart(void);

/* /RESTART=ABORT on the machine of the run: stops a restart that Windows counts down, reads
 * and writes nothing else, records the line and returns the exit code: 1 when a restart was
 * stopped, 0 when none was pending, 2 when Windows refused. */
int AbortRestart(void);

/* The title that the dialog shows after a save that wrote, when it is closed the machine is
 * asked to restart: base with the countdown, into title of TITLE_WITH_RESTART_SIZE bytes. */
#define TITLE_WITH_RESTART_SIZE 1025
void RestartOnCloseTitle(char *title, const char *base);

/* The /RESTART options of a list run's child, with a blank before each, into option of
 * CHILD_RESTART_OPTION_SIZE bytes; empty when the run asked for no restart. */
void ChildRestartOption(char *option);

/* Once a list run has written every line, where it asked for restarts: asks Windows to
 * restart this machine, the console, whose child left it with childLine (length bytes, a
 * "changed" line), and writes a last line for it that says what became of the request.
 * Returns exitCode, or 2 when Windows refused. */
int RestartConsoleLast(const char *childLine, DWORD length, int exitCode);

#endif

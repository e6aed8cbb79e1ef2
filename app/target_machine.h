/*
 * The machine that /COMPUTER= names: Kelvra connects to its registry once, reads its version
 * and both settings there before the dialog opens, and closes the connection at the end.
 */
#ifndef KELVRA_TARGET_MACHINE_H
#define KELVRA_TARGET_MACHINE_H

#include <windows.h>

/* The longest name taken: a DNS name has at most 255 characters. A longer one is refused as
 * an invalid computer name, never cut to fit. */
#define COMPUTER_NAME_LIMIT 255

/* Whether the length characters at name can be a machine's name, on the command line and in a
 * list alike: 1 to COMPUTER_NAME_LIMIT of them, none a blank, a quote, a '/' (the command line
 * a child is given would end the name there) or a control character (a NUL or a tab would
 * make another, shorter name of it), and no '@' first (that names a list). */
BOOL IsMachineName(const char *name, DWORD length);

/* "Kelvra - \\" and the longest name, with its zero. */
#define TARGET_TITLE_SIZE (sizeof("Kelvra - \\\\") + COMPUTER_NAME_LIMIT)

/* Connects to AppState.computerName's registry and puts the connected key in
 * AppState.registryRoot, then sets platformSupported from the version that machine records and,
 * where supported, reads both settings there, each with its default when absent; all of it
 * within AppState.timeoutSeconds. Returns 1, or 0 with the failure recorded (RecordFailure)
 * when the name was refused or is not a computer name, the connection fails, the version or a
 * setting cannot be read, or the limit passes first (ERROR_TIMEOUT). */
BOOL OpenTargetMachine(void);

/* Closes the connection, if any, and puts back the local registry. */
void CloseTargetMachine(void);

/* "Kelvra - \\NAME" for the dialog's title, into title of TARGET_TITLE_SIZE bytes. */
void TargetTitle(char *title);

#endif

/*
 * One child of a list run: Kelvra.exe itself, started for one machine of the list with that
 * machine's /COMPUTER=name, the run's other options and /QUIT, its standard output a pipe
 * that only the run reads, where the child writes its one report line.
 */
#ifndef KELVRA_CHILD_PROCESS_H
#define KELVRA_CHILD_PROCESS_H

#include <windows.h>

#include "app/report_line.h"
#include "fleet/machine_list.h"

struct ChildProcess
{
    HANDLE process;
    HANDLE output; /* the read end of the child's standard output */
    DWORD entry;   /* the machine's place in the list */
    DWORD started; /* GetTickCount() when it was started */
    /* What it has written so far: at most its one line, and one byte to tell a longer text. */
    char line[REPORT_LINE_SIZE + 1];
    DWORD length;
};

/* Starts the child of program (Kelvra's own path) for machine, number entry of the list, into
 * child. Returns ERROR_SUCCESS, or the error that kept it from starting. */
DWORD StartChildProcess(ChildProcess *child, const char *program, const MachineEntry *machine,
                        DWORD entry);

/* Takes what the child has written since the last call, without waiting. Returns the outcome of
 * its line once the line is whole (LineOutcome), LINE_INCOMPLETE until then. */
LineOutcomeKind ReadChildLine(ChildProcess *child);

/* Closes the run's handles of the child. The process itself is never ended: it may be inside a
 * write on its machine. */
void CloseChildProcess(ChildProcess *child);

#endif

/*
 * A list run, /COMPUTER=@path: each machine of the list is worked on by a child process,
 * Kelvra.exe itself with that machine's /COMPUTER=name, the run's other options and /QUIT, at
 * most MAX_CHILDREN at a time. The one-machine run stays the only code that touches a
 * registry. The children's report lines are written in the list's order.
 */
#ifndef KELVRA_LIST_RUN_H
#define KELVRA_LIST_RUN_H

#include <windows.h>

#define MAX_CHILDREN 32

/* How long past its own time limit a child may take to start, write and end, before the run
 * stops waiting for it. */
#define CHILD_MARGIN_SECONDS 20

/* Runs the list whose path AppState.computerName holds, writes one line per machine, and
 * returns the exit code: 2 if any machine failed, else 1 if any changed, else 0;
 * *linesWritten is then 1. A list that cannot be read or names no machine is a failure of the
 * run (recorded as RecordFailure does), with 2 and *linesWritten 0: nothing was done. */
int RunMachineList(BOOL *linesWritten);

#endif

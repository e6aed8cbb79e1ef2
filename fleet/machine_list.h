/*
 * The list of machines that /COMPUTER=@path names: a text file of one name per line.
 */
#ifndef KELVRA_MACHINE_LIST_H
#define KELVRA_MACHINE_LIST_H

#include <windows.h>

/* The largest list file read, far beyond any list of names: a larger one is refused. */
#define MACHINE_LIST_FILE_LIMIT (4 * 1024 * 1024)

/* A name of the list, without the blanks around it or a leading "\\\\": a pointer into the
 * list's text, not zero-terminated. valid is 0 for a line that is no name Kelvra can take
 * (too long, or holding a blank or a quote). */
struct MachineEntry
{
    const char *name;
    DWORD length;
    BOOL valid;
};

struct MachineList
{
    char *text; /* the file's bytes */
    MachineEntry *entries;
    DWORD count;
};

/* Reads the file at path (zero-terminated) into list: every line that names a machine, in the
 * file's order, each machine once whatever its letter case; blank lines and lines that start
 * with ';' are skipped, CR LF or LF ends a line. Returns ERROR_SUCCESS, or the error that kept
 * the file from being read, with list empty. */
LONG ReadMachineList(const char *path, MachineList *list);

/* Gives back what ReadMachineList took. */
void FreeMachineList(MachineList *list);

#endif

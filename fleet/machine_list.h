/*
 * The list of machines that /COMPUTER=@path names: a text file of one name per line.
 */
#ifndef KELVRA_MACHINE_LIST_H
#define KELVRA_MACHINE_LIST_H

#include <windows.h>

/* The largest list file read, far beyond any list of names: a larger one is refused. */
#define MACHINE_LIST_FILE_LIMIT (4 * 1024 * 1024)

/* A line of the list that names a machine, or tries to. text is the line as the administrator
 * wrote it, without the blanks around it, which the report gives back so that each of its
 * lines can be matched to one of the list's; name is the same without a leading "\\\\", the
 * name a child is given. Both point into the list's text and are not zero-terminated. valid is
 * 0 for a line that is no name Kelvra can take (IsMachineName), or whose characters have no
 * exact equal in this system's ANSI code page. */
struct MachineEntry
{
    const char *text;
    DWORD textLength;
    const char *name;
    DWORD length;
    BOOL valid;
};

struct MachineList
{
    char *text; /* the file's text, in the ANSI code page */
    MachineEntry *entries;
    DWORD count;
};

/* Reads the file at path (zero-terminated) into list: every line that names a machine, in the
 * file's order, each machine once (letter case in ASCII letters does not count); blank lines
 * and lines that start with ';' are skipped. CR LF, LF or a lone CR ends a line. The file is
 * ANSI text, or UTF-8 or UTF-16 with the byte-order mark that Notepad writes, converted to the
 * ANSI code page. Returns ERROR_SUCCESS, or the error that kept the file from being read, with
 * list empty. */
LONG ReadMachineList(const char *path, MachineList *list);

/* Gives back what ReadMachineList took. */
void FreeMachineList(MachineList *list);

#endif

/*
 * The command-line tail: what follows the program's own name on the process's command line.
 */
#ifndef KELVRA_COMMAND_LINE_TAIL_H
#define KELVRA_COMMAND_LINE_TAIL_H

#include <windows.h>

/* Skips the program name at the start of commandLine and the blanks and control characters
 * after it; returns a pointer into commandLine, which is not copied. */
char *CommandLineTail(char *commandLine);

#endif

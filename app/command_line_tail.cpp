#include <windows.h>

#include "app/command_line_tail.h"

char *CommandLineTail(char *commandLine)
{
    unsigned char *cursor = (unsigned char *)commandLine;

    if (*cursor == '"')
    {
        /* A quoted name runs to the next quote, which may be preceded by anything, even a
         * trail byte of the ANSI code page that happens to be a quote. */
        cursor++;
        while (*cursor != '\0' && *cursor != '"')
        {
            if (IsDBCSLeadByte(*cursor) && cursor[1] != '\0')
                cursor++;
            cursor++;
        }
        if (*cursor == '"')
            cursor++;
    }
    else
    {
        /* Unsigned, so that letters above 127 belong to the name. */
        while (*cursor > ' ')
            cursor++;
    }
    while (*cursor != '\0' && *cursor <= ' ')
        cursor++;
    return (char *)cursor;
}

#include <windows.h>

#include "app/command_line_tail.h"

char *CommandLineTail(char *commandLine)
{
    unsigned char *cursor = (unsigned char *)commandLine;

    if (*cursor == '"')
    {
        /* A quoted name runs to the next quote. Under a double-byte ANSI code page a lead byte
         * takes the byte after it along, so a quote that is a trail byte does not end the
         * name; a lead byte right before the end takes nothing, and the scan stops there. */
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

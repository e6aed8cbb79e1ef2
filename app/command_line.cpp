#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"

BOOL MatchKeyword(const char *keyword, const char *text)
{
    int length = lstrlenA(keyword);
    int i;

    /* A text shorter than the keyword cannot match, and the comparison below must not be
     * handed characters beyond the text's terminating zero. */
    for (i = 0; i < length; i++)
    {
        if (text[i] == '\0')
            return 0;
    }
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, keyword, length, text, length) ==
           CSTR_EQUAL;
}

/* Moves the cursor past keyword when the text there begins with it. */
static BOOL SkipKeyword(const char *keyword, const char **cursor)
{
    if (!MatchKeyword(keyword, *cursor))
        return 0;
    *cursor += lstrlenA(keyword);
    return 1;
}

/* The name runs to the next blank, tab, '/' or the end; a leading "\\\\" means the same as
 * none. An empty name leaves an earlier one, or this machine. */
static void TakeComputerName(const char *text)
{
    DWORD length = 0;

    if (text[0] == '\\' && text[1] == '\\')
        text += 2;
    while (text[length] != '\0' && text[length] != ' ' && text[length] != '\t' &&
           text[length] != '/')
        length++;
    if (length == 0)
        return;
    AppState.computerName = text;
    AppState.computerNameLength = length;
}

void ParseCommandLine(const char *tail)
{
    const char *cursor = tail;

    if (*cursor == '\0')
        return;
    do
    {
        if (*cursor != '/')
        {
            cursor++;
            continue;
        }
        cursor++;
        /* Each test starts where the ones before it left the cursor, so keywords in this
         * order may follow one another without a '/'. The value words are never skipped. */
        if (SkipKeyword("MEDIASENSE=", &cursor))
        {
            if (MatchKeyword("ON", cursor))
                AppState.requestedDisableMediaSense = 0;
            if (MatchKeyword("OFF", cursor))
                AppState.requestedDisableMediaSense = 1;
        }
        if (SkipKeyword("APIPA=", &cursor))
        {
            if (MatchKeyword("ON", cursor))
                AppState.requestedApipaEnabled = 1;
            if (MatchKeyword("OFF", cursor))
                AppState.requestedApipaEnabled = 0;
        }
        if (SkipKeyword("SAVE", &cursor))
            AppState.autoSave = 1;
        if (SkipKeyword("QUIT", &cursor))
            AppState.autoQuit = 1;
        if (SkipKeyword("COMPUTER=", &cursor))
            TakeComputerName(cursor);
    } while (*cursor != '\0');
}

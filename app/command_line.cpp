#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/target_machine.h"

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

/* Whether a name ends here: at a blank, a tab, the next option's '/' or the end. */
static BOOL IsNameEnd(char c)
{
    return c == '\0' || c == ' ' || c == '\t' || c == '/';
}

/* Refuses the run: the command line names another machine but gives no name Kelvra can take.
 * The name recorded is empty, at where in the tail the attempt was made. A later
 * /COMPUTER=name does not undo it, so that no reading of such a command line can fall back to
 * this machine. */
static void RefuseComputerName(const char *where)
{
    AppState.computerNameRefused = 1;
    AppState.computerName = where;
    AppState.computerNameLength = 0;
    AppState.machineListRun = 0;
}

/* The name after "/COMPUTER=": it runs to the next blank, tab, '/' or the end, or, in one pair
 * of double quotes as a batch file writes "%PC%", to the closing quote. A leading "\\\\" means
 * the same as none. An empty name, or one that still holds a quote or a blank, is refused.
 * "@path" names a list of machines instead, by the path of its file, which may hold blanks
 * inside the quotes. Returns where the value ends, past its closing quote: nothing inside it
 * is an option, whatever it holds ("@\"C:/lists/saved.txt\"" asks for no /SAVE). */
static const char *TakeComputerName(const char *text)
{
    const char *given = text;
    const char *end;
    DWORD length = 0;
    DWORD i;
    BOOL listRun = text[0] == '@';

    /* "@path": a file that lists the machines, its path taken as a name is. */
    if (listRun)
        text++;
    if (text[0] == '"')
    {
        text++;
        while (text[length] != '\0' && text[length] != '"')
            length++;
        end = text[length] == '"' ? text + length + 1 : text + length;
        if (text[length] != '"' || !IsNameEnd(text[length + 1]))
        {
            RefuseComputerName(given);
            return end;
        }
    }
    else
    {
        while (!IsNameEnd(text[length]))
            length++;
        end = text + length;
        /* A list's path written with '/' and no quotes ("@C:/lists/saved.txt") would end at the
         * first '/' and leave the rest of the path to be read as options (here /SAVE): it is
         * refused whole, and scanning goes on at the next blank. */
        if (listRun && *end == '/')
        {
            while (*end != '\0' && *end != ' ' && *end != '\t')
                end++;
            RefuseComputerName(given);
            return end;
        }
    }
    if (!listRun && length >= 2 && text[0] == '\\' && text[1] == '\\')
    {
        text += 2;
        length -= 2;
    }
    for (i = 0; listRun && i < length; i++)
    {
        if (text[i] == '"')
            length = 0;
    }
    if (length == 0 || (!listRun && !IsMachineName(text, length)))
    {
        RefuseComputerName(given);
        return end;
    }
    if (AppState.computerNameRefused)
        return end;
    AppState.computerName = text;
    AppState.computerNameLength = length;
    AppState.machineListRun = listRun;
    return end;
}

/* The seconds after "/TIMEOUT=", 1 to 3600; anything else leaves the limit as it was. */
static void TakeTimeout(const char *text)
{
    DWORD seconds = 0;
    DWORD i;

    for (i = 0; text[i] >= '0' && text[i] <= '9'; i++)
    {
        seconds = seconds * 10 + (DWORD)(text[i] - '0');
        if (seconds > 3600)
            return;
    }
    if (i == 0 || seconds == 0 || !IsNameEnd(text[i]))
        return;
    AppState.timeoutSeconds = seconds;
}

/* Windows' own limit on a countdown, ten years, which XP with SP1 and later enforce; a longer
 * one they refuse, so no system Kelvra works on is asked for one. */
#define RESTART_SECONDS_LIMIT 315360000

/* What follows "/RESTART": nothing (the default countdown), "=seconds" from 0 to Windows'
 * limit, or "=ABORT". Any other value refuses the run, and so does a later /RESTART that is
 * taken after it: a restart at another time than asked, or none, would be no answer. */
static void TakeRestart(const char *text)
{
    DWORD seconds = 0;
    DWORD i;

    if (AppState.restartRefused)
        return;
    if (IsNameEnd(text[0]))
    {
        AppState.restartAsked = RESTART_AFTER_CHANGE;
        AppState.restartSeconds = DEFAULT_RESTART_SECONDS;
        return;
    }
    if (text[0] == '=' && MatchKeyword("ABORT", text + 1) && IsNameEnd(text[6]))
    {
        AppState.restartAsked = RESTART_ABORT;
        AppState.restartSeconds = DEFAULT_RESTART_SECONDS;
        return;
    }
    for (i = 1; text[0] == '=' && text[i] >= '0' && text[i] <= '9'; i++)
    {
        seconds = seconds * 10 + (DWORD)(text[i] - '0');
        if (seconds > RESTART_SECONDS_LIMIT)
            break;
    }
    if (text[0] != '=' || i == 1 || seconds > RESTART_SECONDS_LIMIT || !IsNameEnd(text[i]))
    {
        AppState.restartRefused = 1;
        AppState.restartAsked = RESTART_NONE;
        return;
    }
    AppState.restartAsked = RESTART_AFTER_CHANGE;
    AppState.restartSeconds = seconds;
}

/* A word that looks like an attempt to name a machine, but not as "/COMPUTER=name":
 * "/COMPUTER:pc042", "/COMPUTER pc042", "/COMPUTERpc042", or one that starts an argument as
 * "-COMPUTER..." or "COMPUTER...". Ignored like any unknown word, it would leave the run on
 * this machine; taken for what it is, it refuses the run. */
static BOOL IsMisspeltComputer(const char *text)
{
    return MatchKeyword("COMPUTER", text) && !MatchKeyword("COMPUTER=", text);
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
            BOOL argumentStart = cursor == tail || cursor[-1] == ' ' || cursor[-1] == '\t';

            if (argumentStart &&
                (MatchKeyword("-COMPUTER", cursor) || MatchKeyword("COMPUTER", cursor)))
                RefuseComputerName(cursor);
            /* "-RESTART" or "RESTART" ignored would be a run without the restart asked for. */
            if (argumentStart &&
                (MatchKeyword("-RESTART", cursor) || MatchKeyword("RESTART", cursor)))
                AppState.restartRefused = 1;
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
        {
            /* Scanning goes on after the value, never inside it. */
            cursor = TakeComputerName(cursor);
            continue;
        }
        if (IsMisspeltComputer(cursor))
            RefuseComputerName(cursor);
        if (SkipKeyword("TIMEOUT=", &cursor))
            TakeTimeout(cursor);
        if (SkipKeyword("RESTART", &cursor))
            TakeRestart(cursor);
        if (SkipKeyword("CONSOLELAST", &cursor))
            AppState.consoleLast = 1;
    } while (*cursor != '\0');
}

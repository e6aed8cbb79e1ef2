#include <windows.h>

#include "app/app_state.h"
#include "app/report_line.h"
#include "app/target_machine.h"
#include "fleet/restart_request.h"
#include "resources/resource.h"
#include "store/parameter_store.h"

/* Where a machine keeps the name it goes by now, the one GetComputerNameA gives on it. The
 * ComputerName key beside it holds the name for the next start, which a rename not yet
 * followed by a restart has changed (SetComputerName's reference). */
#define COMPUTER_NAME_KEY "SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName"

/* Copies from, with its zero, into to of size bytes, cut to fit. Byte by byte: no import that
 * Windows 2000 has to give Kelvra. */
static void CopyString(char *to, const char *from, DWORD size)
{
    DWORD i;

    for (i = 0; i + 1 < size && from[i] != '\0'; i++)
        to[i] = from[i];
    to[i] = '\0';
}

/* "\\\\name" of the machine /COMPUTER= named into name, or NULL for this machine. */
static const char *TargetName(char *name)
{
    DWORD i;

    if (AppState.computerName == NULL)
        return NULL;
    name[0] = '\\';
    name[1] = '\\';
    for (i = 0; i < AppState.computerNameLength && i < COMPUTER_NAME_LIMIT; i++)
        name[2 + i] = AppState.computerName[i];
    name[2 + i] = '\0';
    return name;
}

/* Windows restarts or stops the restart of this machine only for a process whose token has
 * the shutdown privilege enabled; an account that may shut it down holds it disabled. Returns
 * 0, or the Windows error: ERROR_NOT_ALL_ASSIGNED for an account that does not hold it. */
static DWORD EnableShutdownPrivilege(void)
{
    HANDLE token;
    TOKEN_PRIVILEGES privileges;
    DWORD error;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return GetLastError();
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid))
        error = GetLastError();
    else if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL))
        error = GetLastError();
    else
        /* It succeeds even where it enabled nothing, and says so only here. */
        error = GetLastError();
    CloseHandle(token);
    return error;
}

/* The text for a setting that was changed, or "" for one that was not. */
static void ChangedText(char *text, LONG featureOn, UINT onText, UINT offText)
{
    text[0] = '\0';
    if (featureOn != STATE_UNKNOWN &&
        LoadStringA(AppState.instance, featureOn == 1 ? onText : offText, text, 64) <= 0)
        text[0] = '\0';
}

/* Asks Windows to restart machine ("\\\\name", or NULL for this one) after the countdown
 * asked for, with Kelvra's message naming what changed (each STATE_UNKNOWN when it did not).
 * Returns 0, or the Windows error. */
static DWORD RequestRestart(char *machine, LONG mediaSenseOn, LONG apipaOn)
{
    char format[256];
    char mediaSense[64];
    char apipa[64];
    char message[1025];
    DWORD error;

    ChangedText(mediaSense, mediaSenseOn, IDS_MEDIA_SENSE_NOW_ENABLED,
                IDS_MEDIA_SENSE_NOW_DISABLED);
    ChangedText(apipa, apipaOn, IDS_APIPA_NOW_ENABLED, IDS_APIPA_NOW_DISABLED);
    if (LoadStringA(AppState.instance, IDS_RESTART_MESSAGE, format, sizeof(format)) <= 0)
        format[0] = '\0';
    wsprintfA(message, format, mediaSense, mediaSense[0] != '\0' && apipa[0] != '\0' ? ", " : "",
              apipa);
    if (machine == NULL)
    {
        error = EnableShutdownPrivilege();
        if (error != ERROR_SUCCESS)
            return error;
    }
    /* Applications are never closed by force: unsaved work is not thrown away, even though an
     * application that asks the person first can hold the restart up. */
    if (!InitiateSystemShutdownA(machine, message, AppState.restartSeconds, FALSE, TRUE))
        return GetLastError();
    return ERROR_SUCCESS;
}

/* The fate of a request into messageText for the report line: Kelvra's text with the
 * countdown, or Windows' text for error inside Kelvra's, which asks for a restart by hand. */
static void RecordRestartFate(DWORD error)
{
    char format[512];
    char reason[MESSAGE_TEXT_SIZE];
    DWORD length;

    AppState.restartReported = 1;
    AppState.restartCode = error;
    if (error == ERROR_SUCCESS)
    {
        if (LoadStringA(AppState.instance, IDS_RESTART_REQUESTED, format, sizeof(format)) <= 0)
            format[0] = '\0';
        wsprintfA(AppState.messageText, format, AppState.restartSeconds);
        return;
    }
    FormatErrorText(error);
    length = (DWORD)lstrlenA(AppState.messageText);
    while (length > 0 &&
           (AppState.messageText[length - 1] == '\r' || AppState.messageText[length - 1] == '\n' ||
            AppState.messageText[length - 1] == ' '))
        length--;
    /* wsprintfA writes at most 1024 characters: the text of Windows is cut to leave room. */
    if (length > 700)
        length = 700;
    AppState.messageText[length] = '\0';
    /* Windows may have no text for a code: then none, and no blank for it. */
    reason[0] = length > 0 ? ' ' : '\0';
    CopyString(reason + 1, AppState.messageText, sizeof(reason) - 1);
    if (LoadStringA(AppState.instance, IDS_RESTART_NOT_TAKEN, format, sizeof(format)) <= 0)
        format[0] = '\0';
    wsprintfA(AppState.messageText, format, reason);
}

/* Whether the machine under root is the console itself, by the name it gives itself in its
 * registry against the one this machine goes by: the spelling of a name in a list says
 * nothing (an alias, an address, a name of DNS). Returns 1 or 0, or -1 when it cannot be told. */
static int IsConsoleMachine(HKEY root)
{
    char own[MAX_COMPUTERNAME_LENGTH + 1];
    char its[MAX_COMPUTERNAME_LENGTH + 2];
    DWORD ownLength = sizeof(own);
    DWORD itsLength = sizeof(its) - 1;
    DWORD type;
    HKEY key;
    LONG result;

    if (!GetComputerNameA(own, &ownLength))
        return -1;
    result = RegOpenKeyExA(root, COMPUTER_NAME_KEY, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS)
        return -1;
    result = RegQueryValueExA(key, "ComputerName", NULL, &type, (BYTE *)its, &itsLength);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return -1;
    /* A value stored without its zero is read with one. */
    its[itsLength] = '\0';
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, own, -1, its, -1) == CSTR_EQUAL;
}

/* Why Windows refused, in a box, unless /QUIT promised a run that waits for nobody: without a
 * report line to read, nobody would learn that the machine still needs a restart. */
static void ShowRestartFailure(void)
{
    if (AppState.autoQuit != 1)
        MessageBoxA(NULL, AppState.messageText, "Kelvra", MB_ICONERROR | MB_OK);
}

void FinishRestart(void)
{
    char name[2 + COMPUTER_NAME_LIMIT + 1];
    DWORD error;

    /* Only a run that wrote and did all it was asked: "as asked" needs no restart, and a
     * machine where anything failed is one for a person to look at first. */
    if (AppState.restartAsked != RESTART_AFTER_CHANGE || !AppState.valueWritten ||
        AppState.runFailed)
        return;
    if (AppState.consoleLast)
    {
        int console = IsConsoleMachine(AppState.registryRoot);

        if (console != 0)
        {
            AppState.restartReported = 1;
            AppState.restartCode = 0;
            if (LoadStringA(AppState.instance,
                            console == 1 ? IDS_RESTART_LAST : IDS_CONSOLE_UNKNOWN,
                            AppState.messageText, MESSAGE_TEXT_SIZE) <= 0)
                AppState.messageText[0] = '\0';
            AppState.exitCode = console == 1 ? EXIT_CONSOLE_LEFT : 2;
            return;
        }
    }
    error = RequestRestart((char *)TargetName(name),
                           AppState.changeMediaSense == 1 ? AppState.mediaSenseOn : STATE_UNKNOWN,
                           AppState.changeApipa == 1 ? AppState.apipaOn : STATE_UNKNOWN);
    RecordRestartFate(error);
    if (error != ERROR_SUCCESS)
    {
        AppState.exitCode = 2;
        ShowRestartFailure();
    }
}

int AbortRestart(void)
{
    char name[2 + COMPUTER_NAME_LIMIT + 1];
    const char *machine = TargetName(name);
    DWORD error = ERROR_SUCCESS;

    if (AppState.computerName != NULL &&
        (AppState.computerNameRefused || AppState.computerNameLength == 0 ||
         AppState.computerNameLength > COMPUTER_NAME_LIMIT))
        error = ERROR_INVALID_COMPUTERNAME;
    else if (machine == NULL)
        error = EnableShutdownPrivilege();
    if (error == ERROR_SUCCESS && !AbortSystemShutdownA((char *)machine))
        error = GetLastError();
    if (error == ERROR_NO_SHUTDOWN_IN_PROGRESS || error == ERROR_SUCCESS)
    {
        /* The line's outcome: "changed" when a restart was stopped, "as asked" when none was
         * pending; no value was read or written. */
        AppState.valueWritten = error == ERROR_SUCCESS;
        AppState.restartReported = 1;
        AppState.restartCode = 0;
        if (LoadStringA(AppState.instance,
                        error == ERROR_SUCCESS ? IDS_RESTART_STOPPED : IDS_RESTART_NONE_PENDING,
                        AppState.messageText, MESSAGE_TEXT_SIZE) <= 0)
            AppState.messageText[0] = '\0';
        return error == ERROR_SUCCESS ? 1 : 0;
    }
    RecordFailure(error);
    ShowRestartFailure();
    return 2;
}

void RestartOnCloseTitle(char *title, const char *base)
{
    char format[256];

    if (LoadStringA(AppState.instance, IDS_RESTART_ON_CLOSE, format, sizeof(format)) <= 0)
        CopyString(format, "%s", sizeof(format));
    wsprintfA(title, format, base, AppState.restartSeconds);
}

void ChildRestartOption(char *option)
{
    option[0] = '\0';
    if (AppState.restartAsked == RESTART_ABORT)
        CopyString(option, " /RESTART=ABORT", CHILD_RESTART_OPTION_SIZE);
    else if (AppState.restartAsked == RESTART_AFTER_CHANGE)
        wsprintfA(option, " /RESTART=%u /CONSOLELAST", AppState.restartSeconds);
}

int RestartConsoleLast(const char *childLine, DWORD length, int exitCode)
{
    char line[REPORT_LINE_SIZE];
    DWORD fields = 0;
    DWORD i = 0;
    BOOL quoted = 0;
    DWORD error;

    /* Only a run that asked for restarts makes one, whatever a child's exit code says. */
    if (AppState.restartAsked != RESTART_AFTER_CHANGE)
        return exitCode;
    /* The child's line up to its fourth comma, the machine's field quoted where CSV quotes. */
    while (i < length && fields < 4)
    {
        if (childLine[i] == '"')
            quoted = !quoted;
        else if (childLine[i] == ',' && !quoted)
            fields++;
        line[i] = childLine[i];
        i++;
    }
    error = RequestRestart(NULL,
                           AppState.requestedDisableMediaSense == NOT_REQUESTED
                               ? STATE_UNKNOWN
                               : AppState.requestedDisableMediaSense != 1,
                           AppState.requestedApipaEnabled == NOT_REQUESTED
                               ? STATE_UNKNOWN
                               : AppState.requestedApipaEnabled == 1);
    RecordRestartFate(error);
    WriteOutputLine(line, AppendReportLineEnd(line, i, error, 0, AppState.messageText));
    return error == ERROR_SUCCESS ? exitCode : 2;
}

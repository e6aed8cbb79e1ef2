#include <windows.h>

#include "app/app_state.h"

/* Where the adapters of this machine are read to; another machine's are read to a record of
 * their own (app/target_machine.cpp). Zero data: it costs the file nothing. */
static AdapterSettings adapterSettingsRead;

/* Initialized data, so these values are in place before any code runs: zero but for the two
 * requests, the local registry, the time limit, the two unknown states and the countdown. */
AppStateRecord AppState = {
    NULL,                    /* instance */
    NOT_REQUESTED,           /* requestedDisableMediaSense */
    NOT_REQUESTED,           /* requestedApipaEnabled */
    0,                       /* autoSave */
    0,                       /* autoQuit */
    0,                       /* platformSupported */
    0,                       /* disableMediaSense */
    0,                       /* ipAutoconfigEnabled */
    0,                       /* changeMediaSense */
    0,                       /* changeApipa */
    0,                       /* currentPage */
    0,                       /* exitCode */
    "",                      /* messageText */
    NULL,                    /* computerName */
    0,                       /* computerNameLength */
    HKEY_LOCAL_MACHINE,      /* registryRoot */
    0,                       /* computerNameRefused */
    DEFAULT_TIMEOUT_SECONDS, /* timeoutSeconds */
    0,                       /* runFailed */
    0,                       /* failureCode */
    0,                       /* valueWritten */
    STATE_UNKNOWN,           /* mediaSenseOn */
    STATE_UNKNOWN,           /* apipaOn */
    0,                       /* machineListRun */
    &adapterSettingsRead,    /* adapterSettings */
    0,                       /* workerLeftRunning */
    RESTART_NONE,            /* restartAsked */
    DEFAULT_RESTART_SECONDS, /* restartSeconds */
    0,                       /* restartRefused */
    0,                       /* consoleLast */
    0,                       /* restartReported */
    0,                       /* restartCode */
};

void FormatErrorText(DWORD errorCode)
{
    /* Some system texts hold inserts ("Insert disk for drive %1."), and there are no
     * arguments for them: without FORMAT_MESSAGE_IGNORE_INSERTS the call fails for those codes,
     * or reads arguments that were never passed. The size leaves the last byte unused. */
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, errorCode,
                       0, AppState.messageText, MESSAGE_TEXT_SIZE - 1, NULL) == 0)
    {
        /* No system text: better an empty box than the text of an earlier failure. */
        AppState.messageText[0] = '\0';
    }
}

void RecordFailure(DWORD errorCode)
{
    AppState.runFailed = 1;
    AppState.failureCode = errorCode;
    FormatErrorText(errorCode);
}

void RecordFailureText(UINT stringId)
{
    AppState.runFailed = 1;
    AppState.failureCode = 0;
    if (LoadStringA(AppState.instance, stringId, AppState.messageText, MESSAGE_TEXT_SIZE) <= 0)
        AppState.messageText[0] = '\0';
}

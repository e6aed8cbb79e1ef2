/*
 * The one application state record: what the command line asked for, the machine whose
 * settings these are, what was read, what is marked for change, the help page on show, the
 * exit code and the last system error text.
 */
#ifndef KELVRA_APP_STATE_H
#define KELVRA_APP_STATE_H

#include <windows.h>

#include "store/adapter_settings.h"

/* A requested state that the command line did not give. */
#define NOT_REQUESTED (-1)

#define MESSAGE_TEXT_SIZE 1024

/* How long, by default, another machine may take to answer before any write (/TIMEOUT=). */
#define DEFAULT_TIMEOUT_SECONDS 30

/* What /RESTART asked for: nothing, a restart of a machine where the run changed a value, or
 * the end of a restart that is counting down. */
#define RESTART_NONE 0
#define RESTART_AFTER_CHANGE 1
#define RESTART_ABORT 2

/* How long Windows counts down before a restart that /RESTART asked for without seconds. */
#define DEFAULT_RESTART_SECONDS 60

/* A setting's state for the report line: what the dialog calls on, off, or not known. */
#define STATE_UNKNOWN (-1)

struct AppStateRecord
{
    HINSTANCE instance;
    LONG requestedDisableMediaSense; /* DisableDHCPMediaSense asked for, or NOT_REQUESTED */
    LONG requestedApipaEnabled;      /* IPAutoconfigurationEnabled asked for, or NOT_REQUESTED */
    BOOL autoSave;
    BOOL autoQuit;
    BOOL platformSupported;
    DWORD disableMediaSense;   /* as read when the dialog was created */
    DWORD ipAutoconfigEnabled; /* as read when the dialog was created */
    BOOL changeMediaSense;
    BOOL changeApipa;
    DWORD currentPage; /* wraps: a Back on page 0 makes it 0xFFFFFFFF */
    LONG exitCode;
    char messageText[MESSAGE_TEXT_SIZE];
    /* The machine that /COMPUTER= named, without a leading "\\\\": a pointer into the
     * command-line tail, not zero-terminated, and its length; NULL for this machine. */
    const char *computerName;
    DWORD computerNameLength;
    HKEY registryRoot; /* HKEY_LOCAL_MACHINE of the machine worked on; NULL until connected */
    /* The command line named a machine in a form that names none ("/COMPUTER=",
     * "/COMPUTER:pc042"): the run is refused, and this machine is never touched. */
    BOOL computerNameRefused;
    DWORD timeoutSeconds; /* for connecting to and reading another machine */
    /* What the run did, for the report line: whether anything it needed failed, the Windows
     * error that did (0 for a failure that has none), whether a value was written, and each
     * feature's state as the machine is left, 1 on, 0 off or STATE_UNKNOWN. */
    BOOL runFailed;
    DWORD failureCode;
    BOOL valueWritten;
    LONG mediaSenseOn;
    LONG apipaOn;
    /* /COMPUTER=@path: computerName and computerNameLength hold the path of a list of
     * machines, each of which a child process works on. */
    BOOL machineListRun;
    /* The adapters with an APIPA setting of their own on the machine worked on, as read with
     * the two values; none until then. */
    AdapterSettings *adapterSettings;
    /* The worker that connects to another machine did not end within the time limit: it may
     * still wait in a remote call, which the process's end must not wait for. */
    BOOL workerLeftRunning;
    /* /RESTART: RESTART_NONE, RESTART_AFTER_CHANGE or RESTART_ABORT, the countdown asked for,
     * and whether a value was given that Kelvra cannot take: the run is then refused, for a
     * restart at another time than asked, or none, is no answer to it. */
    DWORD restartAsked;
    DWORD restartSeconds;
    BOOL restartRefused;
    /* /CONSOLELAST, given by a list run to its children: the machine the console itself is
     * must not restart before the list is done, so its child leaves the request to the list. */
    BOOL consoleLast;
    /* The line tells what became of a restart request: restartCode (0 when Windows took it)
     * and messageText in its last two fields, on a line whose outcome is not "failed". */
    BOOL restartReported;
    DWORD restartCode;
};

extern AppStateRecord AppState;

/* Puts the system's text for an error code into AppState.messageText. */
void FormatErrorText(DWORD errorCode);

/* Notes that the run failed for this Windows error, and puts its text in messageText. */
void RecordFailure(DWORD errorCode);

/* Notes that the run failed for a reason of Kelvra's own, string-table entry stringId, which
 * goes into messageText; there is no Windows error for it. */
void RecordFailureText(UINT stringId);

#endif

/*
 * The one application state record: what the command line asked for, the machine whose
 * settings these are, what was read, what is marked for change, the help page on show, the
 * exit code and the last system error text.
 */
#ifndef KELVRA_APP_STATE_H
#define KELVRA_APP_STATE_H

#include <windows.h>

/* A requested state that the command line did not give. */
#define NOT_REQUESTED (-1)

#define MESSAGE_TEXT_SIZE 1024

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
    HKEY registryRoot; /* HKEY_LOCAL_MACHINE of the machine worked on */
};

extern AppStateRecord AppState;

/* Puts the system's text for an error code into AppState.messageText. */
void FormatErrorText(DWORD errorCode);

#endif

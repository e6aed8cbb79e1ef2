#include <windows.h>

#include "app/app_state.h"

/* Zero-filled but for the two requests; a constant, so it is ready before any code runs. */
AppStateRecord AppState = {
    NULL,          /* instance */
    NOT_REQUESTED, /* requestedDisableMediaSense */
    NOT_REQUESTED, /* requestedApipaEnabled */
    0,             /* autoSave */
    0,             /* autoQuit */
    0,             /* platformSupported */
    0,             /* disableMediaSense */
    0,             /* ipAutoconfigEnabled */
    0,             /* changeMediaSense */
    0,             /* changeApipa */
    0,             /* currentPage */
    0,             /* exitCode */
    "",            /* messageText */
};

void FormatErrorText(DWORD errorCode)
{
    /* The size passed is one less than the buffer, as it always has been. */
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, NULL, errorCode, 0, AppState.messageText,
                       MESSAGE_TEXT_SIZE - 1, NULL) == 0)
    {
        /* No system text: better an empty box than the text of an earlier failure. */
        AppState.messageText[0] = '\0';
    }
}

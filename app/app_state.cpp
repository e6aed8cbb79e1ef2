#include <windows.h>

#include "app/app_state.h"

/* Zero-filled but for the two requests; a constant, so it is ready before any code runs. */
AppStateRecord AppState = {
    NULL,                         /* instance */
    NOT_REQUESTED, NOT_REQUESTED, /* requestedDisableMediaSense, requestedApipaEnabled */
    0, 0, 0,                      /* autoSave, autoQuit, platformSupported */
    0, 0,                         /* disableMediaSense, ipAutoconfigEnabled */
    0, 0,                         /* changeMediaSense, changeApipa */
    0, 0,                         /* currentPage, exitCode */
    "",                           /* messageText */
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

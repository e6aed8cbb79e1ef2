/*
 * The operations through which the logic changes the dialog's controls. Those that take a
 * control id look the control up first and do nothing when the dialog has no such control;
 * PostCommand and PostClose only queue a message to the dialog.
 */
#ifndef KELVRA_DIALOG_VIEW_H
#define KELVRA_DIALOG_VIEW_H

#include <windows.h>

/* The control's text becomes string-table entry stringId; an entry that loads no
 * characters leaves the text as it was. */
void SetControlText(HWND dialog, int controlId, UINT stringId);
/* The control's text becomes entry stringId used as a format: %u gets count, and the %s after
 * it an "s" for any count but 1. */
void SetControlTextCount(HWND dialog, int controlId, UINT stringId, DWORD count);
/* The control's text becomes text. */
void SetControlString(HWND dialog, int controlId, const char *text);
/* Enables the control when on is 1, disables it when 0. */
void EnableControl(HWND dialog, int controlId, BOOL on);
void HideControl(HWND dialog, int controlId);
void CheckControl(HWND dialog, int controlId);
/* 1 when the check box is checked; 0 otherwise and when there is no such control. */
BOOL IsControlChecked(HWND dialog, int controlId);

/* The dialog's own title. */
void SetDialogTitle(HWND dialog, const char *title);

/* These three queue a message: what the caller does after them always happens first. */
void FocusControl(HWND dialog, int controlId);
/* The control's command, as if it had been clicked. */
void PostCommand(HWND dialog, int controlId);
/* The window's close command (SC_CLOSE). */
void PostClose(HWND dialog);

#endif

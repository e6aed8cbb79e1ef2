#include <windows.h>

#include "app/app_state.h"
#include "dialog/dialog_view.h"

/* The longest entry that loads whole is 2046 characters: one less than the size passed. */
#define TEXT_BUFFER_SIZE 2048

void SetControlText(HWND dialog, int controlId, UINT stringId)
{
    char text[TEXT_BUFFER_SIZE];
    HWND control = GetDlgItem(dialog, controlId);
    int length;

    if (control == NULL)
        return;
    length = LoadStringA(AppState.instance, stringId, text, TEXT_BUFFER_SIZE - 1);
    if (length <= 0)
        return;
    text[length] = '\0';
    SetWindowTextA(control, text);
}

void SetControlTextCount(HWND dialog, int controlId, UINT stringId, DWORD count)
{
    char format[TEXT_BUFFER_SIZE];
    /* wsprintfA writes at most 1024 characters. */
    char text[1025];

    if (LoadStringA(AppState.instance, stringId, format, TEXT_BUFFER_SIZE) <= 0)
        return;
    wsprintfA(text, format, count, count == 1 ? "" : "s");
    SetControlString(dialog, controlId, text);
}

void SetControlString(HWND dialog, int controlId, const char *text)
{
    HWND control = GetDlgItem(dialog, controlId);

    if (control != NULL)
        SetWindowTextA(control, text);
}

void EnableControl(HWND dialog, int controlId, BOOL on)
{
    HWND control = GetDlgItem(dialog, controlId);

    if (control != NULL)
        EnableWindow(control, on == 1);
}

void HideControl(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);

    if (control != NULL)
        ShowWindow(control, SW_HIDE);
}

void CheckControl(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);

    if (control != NULL)
        SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
}

BOOL IsControlChecked(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);

    if (control == NULL)
        return 0;
    return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetDialogTitle(HWND dialog, const char *title)
{
    SetWindowTextA(dialog, title);
}

void FocusControl(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);

    /* Posted, so that the dialog manager moves the focus (and the default button) only once
     * the current message has been handled. */
    if (control != NULL)
        PostMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)control, TRUE);
}

void PostCommand(HWND dialog, int controlId)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, 0), 0);
}

void PostClose(HWND dialog)
{
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

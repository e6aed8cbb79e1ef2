#include <windows.h>

#include <gtest/gtest.h>

#include "resources/resource.h"
#include "support/dialog_helpers.h"

void PumpMessages(HWND dialog)
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    {
        if (dialog == NULL || !IsWindow(dialog) || !IsDialogMessageA(dialog, &message))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

std::string WindowText(HWND window)
{
    /* WM_GETTEXT rather than GetWindowTextA, which reads only the caption that the system
     * keeps for windows of other processes, and edit controls keep theirs themselves. */
    char text[8192] = "";
    SendMessageA(window, WM_GETTEXT, sizeof(text), (LPARAM)text);
    return text;
}

std::string ControlText(HWND dialog, int controlId)
{
    return WindowText(GetDlgItem(dialog, controlId));
}

std::string StringEntry(UINT id)
{
    char text[8192];
    int length = LoadStringA(GetModuleHandleA(NULL), id, text, sizeof(text));
    return std::string(text, length > 0 ? length : 0);
}

TemplateDialog::TemplateDialog(DLGPROC procedure, Caller where)
{
    CALLER_TRACE(where);
    handle_ = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_KELVRA), NULL,
                                 procedure, 0);
    EXPECT_NE(HWND(NULL), handle_) << "CreateDialogParamA failed: error " << GetLastError();
    if (handle_ == NULL)
        return;
    ShowWindow(handle_, SW_SHOW);
    SetForegroundWindow(handle_);
    PumpMessages(handle_);
}

TemplateDialog::~TemplateDialog()
{
    if (handle_ != NULL)
        DestroyWindow(handle_);
    PumpMessages(NULL);
}

namespace
{

/* A message box is a dialog of this thread with the message text's static control. */
BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, 0xFFFF) != NULL)
    {
        *(HWND *)found = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK DismissMessageBox(HWND, UINT, UINT_PTR, DWORD)
{
    HWND box = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, (LPARAM)&box);
    if (box == NULL)
        return;
    HWND owner = GetWindow(box, GW_OWNER);
    /* 0x440 is the icon's control in the message boxes of Windows and of Wine alike. */
    HICON icon = (HICON)SendDlgItemMessageA(box, 0x440, STM_GETICON, 0, 0);
    SeenBox seen = {owner,
                    WindowText(box),
                    ControlText(box, 0xFFFF),
                    icon != NULL && icon == LoadIconA(NULL, (LPCSTR)IDI_HAND),
                    GetDlgItem(box, IDOK) != NULL && GetDlgItem(box, IDCANCEL) == NULL &&
                        GetDlgItem(box, IDYES) == NULL,
                    owner != NULL ? ControlText(owner, IDC_MEDIA_SENSE_STATUS) : "",
                    owner != NULL ? ControlText(owner, IDC_APIPA_STATUS) : ""};
    MessageBoxWatcher::Seen().push_back(seen);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

} // namespace

std::vector<SeenBox> &MessageBoxWatcher::Seen()
{
    static std::vector<SeenBox> seen;
    return seen;
}

MessageBoxWatcher::MessageBoxWatcher() : timer_(SetTimer(NULL, 0, 20, DismissMessageBox))
{
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    KillTimer(NULL, timer_);
}

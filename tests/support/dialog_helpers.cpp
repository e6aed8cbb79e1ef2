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

std::string WindowText(HWND window)
{
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof(text));
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

TemplateDialog::TemplateDialog(DLGPROC procedure)
{
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

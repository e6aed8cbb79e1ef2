#include <windows.h>

#include "app/app_state.h"
#include "dialog/progress_window.h"
#include "resources/resource.h"

static BOOL closeAsked;
static HICON smallIcon;
static HICON largeIcon;

static HICON LoadKelvraIcon(int size)
{
    return (HICON)LoadImageA(AppState.instance, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON, size,
                             size, 0);
}

static INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message)
    {
        case WM_INITDIALOG:
            /* The window's own icons: the dialog class's belongs to every dialog. */
            smallIcon = LoadKelvraIcon(16);
            largeIcon = LoadKelvraIcon(32);
            SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)smallIcon);
            SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)largeIcon);
            return 1;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_PROGRESS_CLOSE || LOWORD(wParam) == IDCANCEL)
                closeAsked = 1;
            return 1;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE)
            {
                closeAsked = 1;
                return 1;
            }
            return 0;
    }
    return 0;
}

HWND OpenProgressWindow(void)
{
    HWND window;

    closeAsked = 0;
    window = CreateDialogParamA(AppState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL,
                                ProgressProc, 0);
    if (window != NULL)
        ShowWindow(window, SW_SHOW);
    return window;
}

void ShowProgress(HWND window, const ListCounts *counts, BOOL finished)
{
    char format[256];
    char text[256];
    DWORD done = counts->changed + counts->asAsked + counts->failed;

    if (window == NULL ||
        LoadStringA(AppState.instance, finished ? IDS_LIST_FINISHED : IDS_LIST_PROGRESS, format,
                    sizeof(format)) <= 0)
        return;
    wsprintfA(text, format, done, counts->total, counts->changed, counts->asAsked, counts->failed);
    SetDlgItemTextA(window, IDC_PROGRESS_TEXT, text);
}

BOOL IsProgressWindowClosed(void)
{
    return closeAsked;
}

void PumpProgressWindow(HWND window)
{
    MSG message;

    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    {
        if (window == NULL || !IsDialogMessageA(window, &message))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void CloseProgressWindow(HWND window)
{
    if (window != NULL)
        DestroyWindow(window);
    if (smallIcon != NULL)
        DestroyIcon(smallIcon);
    if (largeIcon != NULL)
        DestroyIcon(largeIcon);
    smallIcon = NULL;
    largeIcon = NULL;
}

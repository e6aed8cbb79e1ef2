#include <windows.h>

#include "app/app_state.h"
#include "dialog/progress_window.h"
#include "resources/resource.h"

static HICON LoadKelvraIcon(int size)
{
    return (HICON)LoadImageA(AppState.instance, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON, size,
                             size, 0);
}

static INT_PTR CALLBACK ProgressProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    ProgressWindow *window = (ProgressWindow *)GetWindowLongPtrA(handle, DWLP_USER);

    switch (message)
    {
        case WM_INITDIALOG:
            /* The run's own record, for the messages that follow. */
            window = (ProgressWindow *)lParam;
            SetWindowLongPtrA(handle, DWLP_USER, (LONG_PTR)window);
            /* The window's own icons: the dialog class's belongs to every dialog. */
            window->smallIcon = LoadKelvraIcon(16);
            window->largeIcon = LoadKelvraIcon(32);
            SendMessageA(handle, WM_SETICON, ICON_SMALL, (LPARAM)window->smallIcon);
            SendMessageA(handle, WM_SETICON, ICON_BIG, (LPARAM)window->largeIcon);
            return 1;
        case WM_COMMAND:
            if (window != NULL &&
                (LOWORD(wParam) == IDC_PROGRESS_CLOSE || LOWORD(wParam) == IDCANCEL))
                window->closeAsked = 1;
            return 1;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE && window != NULL)
            {
                window->closeAsked = 1;
                return 1;
            }
            return 0;
    }
    return 0;
}

void OpenProgressWindow(ProgressWindow *window)
{
    ZeroMemory(window, sizeof(*window));
    window->handle = CreateDialogParamA(AppState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL,
                                        ProgressProc, (LPARAM)window);
    if (window->handle != NULL)
        ShowWindow(window->handle, SW_SHOW);
}

void ShowProgress(ProgressWindow *window, const ListCounts *counts, BOOL finished)
{
    char format[256];
    char text[512];
    DWORD done = counts->changed + counts->asAsked + counts->failed;
    int length;

    if (window->handle == NULL ||
        LoadStringA(AppState.instance, finished ? IDS_LIST_FINISHED : IDS_LIST_PROGRESS, format,
                    sizeof(format)) <= 0)
        return;
    length = wsprintfA(text, format, done, counts->total, counts->changed, counts->asAsked,
                       counts->failed);
    /* Machines that did not answer in time may only have waited behind others, as on a console
     * of XP SP2, which queues connection attempts: the last line says what to do about them. */
    if (finished && counts->timedOut > 0 &&
        LoadStringA(AppState.instance, IDS_LIST_RERUN_TIMED_OUT, format, sizeof(format)) > 0)
        wsprintfA(text + length, format, counts->timedOut);
    SetDlgItemTextA(window->handle, IDC_PROGRESS_TEXT, text);
}

void PumpProgressWindow(ProgressWindow *window)
{
    MSG message;

    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    {
        if (window->handle == NULL || !IsDialogMessageA(window->handle, &message))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void CloseProgressWindow(ProgressWindow *window)
{
    if (window->handle != NULL)
        DestroyWindow(window->handle);
    if (window->smallIcon != NULL)
        DestroyIcon(window->smallIcon);
    if (window->largeIcon != NULL)
        DestroyIcon(window->largeIcon);
    window->handle = NULL;
    window->smallIcon = NULL;
    window->largeIcon = NULL;
}

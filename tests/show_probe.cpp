/* The platform's own answer to "how does a program's first dialog come up?": runs a modal
 * dialog that, like Kelvra's, is not visible in its template and leaves its showing to the
 * dialog manager, and exits with 1 when it came up minimized, 0 when not, 2 when not at all.
 * Started with the same startup information as Kelvra.exe, it is the oracle for Kelvra's. */
#include <windows.h>

/* A template with no controls; DLGTEMPLATE must be DWORD-aligned. */
struct alignas(4) Template
{
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

static INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    if (message == WM_INITDIALOG)
    {
        /* Long enough for the modal loop to go idle and show the dialog. */
        SetTimer(dialog, 1, 500, NULL);
        return 1;
    }
    if (message == WM_TIMER)
    {
        EndDialog(dialog, !IsWindowVisible(dialog) ? 2 : IsIconic(dialog) ? 1 : 0);
        return 1;
    }
    return 0;
}

int main()
{
    Template dialog = {};
    dialog.header.style = DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    dialog.header.cx = 100;
    dialog.header.cy = 50;
    return int(DialogBoxIndirectParamA(GetModuleHandleA(NULL), &dialog.header, NULL, ProbeProc,
                                       0));
}

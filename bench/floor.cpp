/* The floor: a bare dialog the size of Kelvra's that opens and closes at once, built with
 * the toolchain's usual start-up code. What any Win32 dialog costs to start and end. */
#include <windows.h>

static INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    if (message == WM_INITDIALOG)
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (message == WM_SYSCOMMAND && wParam == SC_CLOSE)
        EndDialog(dialog, 0);
    return message == WM_INITDIALOG;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    /* A template with no menu, no class and no title, followed by no controls. */
    static const struct
    {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog = {{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER, 0, 0, 0, 0, 363, 230}, 0, 0, 0};

    (void)previous;
    (void)commandLine;
    (void)show;
    return (int)DialogBoxIndirectParamA(instance, &dialog.header, NULL, FloorDialogProc, 0);
}

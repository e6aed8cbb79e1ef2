/* The floor that Kelvra's start is measured against: Kelvra's own dialog template, resources
 * and process entry, opened and closed by a program with no logic of its own. What Kelvra
 * takes beyond this is its own work. */
#include <windows.h>

#include "resources/resource.h"

static INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message)
    {
        case WM_INITDIALOG:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 1;

        case WM_SYSCOMMAND:
            if (wParam != SC_CLOSE)
                return 0;
            EndDialog(dialog, 0);
            return 1;
    }
    return 0;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail,
                   int showCommand)
{
    (void)previousInstance;
    (void)commandLineTail;
    (void)showCommand;
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_KELVRA), NULL, FloorDialogProc, 0) == -1;
}

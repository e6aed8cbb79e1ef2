/* Start-up and exit: WinMain runs the settings dialog and reports when it cannot. */
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "dialog/settings_dialog.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail,
                   int showCommand)
{
    WNDCLASSA windowClass;

    (void)previousInstance;
    (void)showCommand;
    AppState.instance = instance;

    /* Template 101 names no class, so the dialog is of the system's dialog class and never
     * of this one. "DlgClass" is registered for templates that name it, such as a translated
     * copy of the dialog: a dialog-manager class (DefDlgProcA, DLGWINDOWEXTRA) with Kelvra's
     * module. That it cannot be registered is the one reason to stop before any window. */
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = CS_BYTEALIGNCLIENT;
    windowClass.lpfnWndProc = DefDlgProcA;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = NULL;
    windowClass.lpszClassName = "DlgClass";
    if (!RegisterClassA(&windowClass))
        return 0;

    ParseCommandLine(commandLineTail);

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_KELVRA), NULL, SettingsDialogProc, 0) == -1)
    {
        FormatErrorText(GetLastError());
        /* /QUIT promises a run without user interaction: a startup script must not wait for a
         * click that nobody can give. The exit code of 0 then tells that nothing was saved. */
        if (AppState.autoQuit != 1)
            MessageBoxA(NULL, AppState.messageText, "Kelvra: Fatal Error",
                        MB_ICONERROR | MB_TOPMOST);
    }
    return AppState.exitCode;
}

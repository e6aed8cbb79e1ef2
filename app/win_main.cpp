/* Start-up and exit: WinMain runs the settings dialog and reports when it cannot. */
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/target_machine.h"
#include "dialog/settings_dialog.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail,
                   int showCommand)
{
    WNDCLASSA windowClass;

    (void)previousInstance;
    (void)showCommand;
    AppState.instance = instance;

    /* Kelvra's own dialog does not use this class: template 101 names none, so it is of the
     * system's dialog class. "DlgClass" is a dialog-manager class (DefDlgProcA,
     * DLGWINDOWEXTRA) of Kelvra's module for a template that names it. When it cannot be
     * registered, Kelvra stops before any window, with exit code 0. */
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

    /* Another machine: what cannot be reached or read there ends the run before any dialog,
     * with exit code 2, so that a script walking many machines can tell it apart. */
    if (AppState.computerName != NULL && !OpenTargetMachine())
    {
        AppState.exitCode = 2;
        if (AppState.autoQuit != 1)
            MessageBoxA(NULL, AppState.messageText, "Kelvra", MB_ICONERROR | MB_OK);
        CloseTargetMachine();
        return AppState.exitCode;
    }

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_KELVRA), NULL, SettingsDialogProc, 0) == -1)
    {
        FormatErrorText(GetLastError());
        /* /QUIT promises a run without user interaction: a startup script must not wait for a
         * click that nobody can give. The exit code of 0 then tells that nothing was saved. */
        if (AppState.autoQuit != 1)
            MessageBoxA(NULL, AppState.messageText, "Kelvra: Fatal Error",
                        MB_ICONERROR | MB_TOPMOST);
        /* Nothing was done on the other machine, and that is no "nothing needed doing". */
        if (AppState.computerName != NULL)
            AppState.exitCode = 2;
    }
    CloseTargetMachine();
    return AppState.exitCode;
}

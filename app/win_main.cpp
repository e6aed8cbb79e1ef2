/*
 * Start-up and exit: the process entry, WinMain and the fatal-error report.
 *
 * Kelvra brings its own process entry instead of the C runtime's start-up code. It needs
 * nothing from the runtime, and the MinGW runtime's way of finding the command-line tail
 * differs from the Windows SDK's for names with quotes or letters above 127
 * ("C:\Tools\Kelvra.exe"/SAVE would lose its option); scripts rely on the latter.
 */
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/command_line_tail.h"
#include "dialog/settings_dialog.h"
#include "resources/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail,
                   int showCommand)
{
    WNDCLASSA windowClass;

    (void)previousInstance;
    (void)showCommand;
    AppState.instance = instance;

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
        MessageBoxA(NULL, AppState.messageText, "Kelvra: Fatal Error", MB_ICONERROR | MB_TOPMOST);
    }
    return AppState.exitCode;
}

/* The process entry (the linker's default name for a GUI program's entry point). */
extern "C" void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    int showCommand = SW_SHOWDEFAULT;

    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        showCommand = startup.wShowWindow;
    ExitProcess(
        WinMain(GetModuleHandleA(NULL), NULL, CommandLineTail(GetCommandLineA()), showCommand));
}

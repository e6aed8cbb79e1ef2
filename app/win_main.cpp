/* Start-up and exit: WinMain runs the settings dialog, reports when it cannot, and ends every
 * run with the report line. */
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line.h"
#include "fleet/list_run.h"
#include "app/report_line.h"
#include "app/target_machine.h"
#include "dialog/settings_dialog.h"
#include "fleet/restart_request.h"
#include "resources/resource.h"

/* Another machine's failure before any dialog: without /QUIT a box with the reason, and the
 * exit code 2, so that a script walking many machines can tell it apart. */
static int StopForTarget(void)
{
    AppState.exitCode = 2;
    if (AppState.autoQuit != 1)
        MessageBoxA(NULL, AppState.messageText, "Kelvra", MB_ICONERROR | MB_OK);
    return AppState.exitCode;
}

/* Runs what the command line asks for. *listLinesWritten is 1 when a list run has written a
 * line for each machine: there is no line of the run's own to write then. */
static int Run(HINSTANCE instance, LPSTR commandLineTail, BOOL *listLinesWritten)
{
    WNDCLASSA windowClass;

    AppState.instance = instance;

    /* Kelvra's own dialog does not use this class: template 101 names none, so it is of the
     * system's dialog class. "DlgClass" is a dialog-manager class (DefDlgProcA,
     * DLGWINDOWEXTRA) of Kelvra's module for a template that names it. When it cannot be
     * registered, Kelvra stops before any window: with exit code 0 on this machine, and 2
     * when the command line named another, where nothing was done. */
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
    {
        RecordFailure(GetLastError());
        ParseCommandLine(commandLineTail);
        return AppState.computerName != NULL ? 2 : 0;
    }

    ParseCommandLine(commandLineTail);

    /* A restart asked for in a form Kelvra cannot take: nothing is done anywhere, for a
     * restart at another time than asked, or a run without it, is no answer. */
    if (AppState.restartRefused)
    {
        RecordFailureText(IDS_RESTART_REFUSED);
        return StopForTarget();
    }

    /* A list of machines: each is a run of its own, in a child process; nothing here
     * touches a registry. */
    if (AppState.machineListRun)
    {
        int exitCode = RunMachineList(listLinesWritten);

        if (!*listLinesWritten)
            return StopForTarget();
        return exitCode;
    }

    /* Stopping a restart reads and writes nothing else. */
    if (AppState.restartAsked == RESTART_ABORT)
        return AbortRestart();

    if (AppState.computerName != NULL)
    {
        /* Until the connection is made there is no registry to work on: a path that reached
         * for one anyway would fail, never fall back to this machine's. */
        AppState.registryRoot = NULL;
        if (!OpenTargetMachine())
            return StopForTarget();
        /* Nothing can be done there: the dialog still shows why, but for a script this is no
         * "as asked". */
        if (AppState.platformSupported != 1)
        {
            RecordFailureText(IDS_WINDOWS_NOT_SUPPORTED);
            AppState.exitCode = 2;
        }
    }

    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_KELVRA), NULL, SettingsDialogProc, 0) == -1)
    {
        RecordFailure(GetLastError());
        /* /QUIT promises a run without user interaction: a startup script must not wait for a
         * click that nobody can give. The exit code of 0 then tells that nothing was saved. */
        if (AppState.autoQuit != 1)
            MessageBoxA(NULL, AppState.messageText, "Kelvra: Fatal Error",
                        MB_ICONERROR | MB_TOPMOST);
        /* Nothing was done on the other machine, and that is no "nothing needed doing". */
        if (AppState.computerName != NULL)
            AppState.exitCode = 2;
    }
    /* Once the dialog has ended, with the machine's registry still open. */
    FinishRestart();
    return AppState.exitCode;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLineTail,
                   int showCommand)
{
    BOOL listLinesWritten = 0;
    int exitCode;

    (void)previousInstance;
    (void)showCommand;
    exitCode = Run(instance, commandLineTail, &listLinesWritten);
    CloseTargetMachine();
    if (!listLinesWritten)
        WriteReportLine();
    return exitCode;
}

/*
 * The process entry, in place of the C runtime's start-up code.
 *
 * Kelvra needs nothing from the runtime, and the MinGW runtime finds the command-line tail
 * differently from the Windows SDK's runtime for names with quotes or letters above 127:
 * "C:\Tools\Kelvra.exe"/SAVE would lose its option. Scripts rely on the SDK's way.
 */
#include <windows.h>

#include "app/command_line_tail.h"

/* The linker's default entry point for a GUI program. */
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

/*
 * The process entry, in place of the C runtime's start-up code.
 *
 * Kelvra needs nothing from a runtime, and it finds the command-line tail as the start-up code
 * of the classic Microsoft C runtime did, the one that programs for Windows 2000 and XP were
 * built with: after a quoted program name the tail starts right after the closing quote, so
 * "C:\Tools\Kelvra.exe"/SAVE keeps its option. The MinGW runtime and today's Universal CRT
 * would take /SAVE for part of the name there. Scripts rely on the classic rule.
 *
 * The linker is told to start the program here and to fail when no such symbol exists (see
 * CMakeLists.txt): a name it cannot find, such as the one that WINAPI would give this function
 * on i686 (_WinMainCRTStartup@0), would otherwise start the program silently at the first byte
 * of its code, whatever function that is.
 */
#include <windows.h>

#include "app/app_state.h"
#include "app/command_line_tail.h"

extern "C" void WinMainCRTStartup(void)
{
    STARTUPINFOA startup;
    int showCommand = SW_SHOWDEFAULT;
    int exitCode;

    GetStartupInfoA(&startup);
    if (startup.dwFlags & STARTF_USESHOWWINDOW)
        showCommand = startup.wShowWindow;
    exitCode =
        WinMain(GetModuleHandleA(NULL), NULL, CommandLineTail(GetCommandLineA()), showCommand);
    /* A worker given up on a machine that does not answer may still be inside
     * RegConnectRegistryA. ExitProcess would end it wherever it is and then call every DLL's
     * detach code, which can wait for a lock that the ended worker held, in the network
     * libraries that it was inside: the process would never end. TerminateProcess calls no
     * detach code. Everything the run had to do is done by now (its writes returned, its line
     * is written with a WriteFile that has returned), and the worker only ever reads, so
     * nothing is cut short. Windows still ends the process only once the worker's pending I/O
     * is cancelled; the list run takes a child's line without waiting for that. */
    if (AppState.workerLeftRunning)
        TerminateProcess(GetCurrentProcess(), (UINT)exitCode);
    ExitProcess((UINT)exitCode);
}

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

#include "app/command_line_tail.h"

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

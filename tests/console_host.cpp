/* Gives the program that its command line names a console of its own as standard output and
 * error, and tells what that console shows once the program has ended: exits with the
 * program's exit code when the console is blank, 0xC0DE0000 plus the length of the text when
 * it is not, 0xC0DEFFFF when the console or the program cannot be had. A process of its own:
 * a test program that gave up its console for a new one lost its own output under 32-bit
 * Wine, where the test runner reads it. */
#include <windows.h>

#include <string>

#include "app/command_line_tail.h"

int main()
{
    const DWORD failed = 0xC0DEFFFF;
    std::string command = CommandLineTail(GetCommandLineA());
    while (!command.empty() && command[0] == ' ')
        command.erase(0, 1);
    FreeConsole();
    if (!AllocConsole())
        return (int)failed;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE console =
        CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, NULL);
    if (console == INVALID_HANDLE_VALUE || GetFileType(console) != FILE_TYPE_CHAR)
        return (int)failed;
    COORD origin = {0, 0};
    DWORD cells = 80 * 25, done;
    FillConsoleOutputCharacterA(console, ' ', cells, origin, &done);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = console;
    startup.hStdError = console;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, command.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return (int)failed;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = failed;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string screen(cells, '?');
    ReadConsoleOutputCharacterA(console, screen.data(), cells, origin, &done);
    screen.erase(screen.find_last_not_of(' ') + 1);
    if (!screen.empty())
        return (int)(0xC0DE0000 + screen.size());
    return (int)exitCode;
}

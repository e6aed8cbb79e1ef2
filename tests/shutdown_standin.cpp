/* Stands in for Windows' shutdown.exe when a test runs a document's script: appends its
 * arguments, one line per call, to shutdown.log beside itself, and restarts nothing. When
 * shutdown.fail lies beside it, it then fails as shutdown.exe does for a machine it cannot
 * reach, with error 53. */
#include <windows.h>

#include "app/command_line_tail.h"

int main()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    while (length > 0 && path[length - 1] != '\\')
        length--;
    lstrcpyA(path + length, "shutdown.log");
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (log == INVALID_HANDLE_VALUE)
        return 1;
    char *arguments = CommandLineTail(GetCommandLineA());
    DWORD written;
    WriteFile(log, arguments, lstrlenA(arguments), &written, NULL);
    WriteFile(log, "\r\n", 2, &written, NULL);
    CloseHandle(log);
    lstrcpyA(path + length, "shutdown.fail");
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return ERROR_BAD_NETPATH;
    return 0;
}

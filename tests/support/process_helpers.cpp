#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "support/process_helpers.h"

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\'));
}

DWORD Scaled(DWORD ms)
{
    char factor[16] = "";
    DWORD length = GetEnvironmentVariableA("KELVRA_TIME_FACTOR", factor, sizeof(factor));
    DWORD times = length > 0 && length < sizeof(factor) ? strtoul(factor, NULL, 10) : 0;
    return ms * (times > 0 ? times : 1);
}

BOOL StartTestProcess(char *commandLine, BOOL inherit, STARTUPINFOA *startup,
                      PROCESS_INFORMATION *process)
{
    if (CreateProcessA(NULL, commandLine, NULL, NULL, inherit, 0, NULL, NULL, startup, process))
        return TRUE;
    if (GetLastError() != ERROR_INTERNAL_ERROR)
        return FALSE;
    std::printf("Wine refused to start %s with error 1359; starting it once more\n", commandLine);
    std::fflush(stdout);
    Sleep(100);
    return CreateProcessA(NULL, commandLine, NULL, NULL, inherit, 0, NULL, NULL, startup, process);
}

ChildProcess::ChildProcess(const std::string &commandLine, Caller where) : process_()
{
    CALLER_TRACE(where);
    /* The child's standard handles lead nowhere, and this program's own are not inherited:
     * whatever the child starts, Wine's crash debugger included, must not hold the test
     * runner's pipe open once the test has ended. */
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE})
        SetHandleInformation(GetStdHandle(which), HANDLE_FLAG_INHERIT, 0);
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), NULL, TRUE};
    HANDLE nowhere =
        CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, NULL);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nowhere;
    std::string writable = commandLine;
    if (!StartTestProcess(&writable[0], TRUE, &startup, &process_))
    {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        process_ = PROCESS_INFORMATION();
    }
    CloseHandle(nowhere);
}

ChildProcess::~ChildProcess()
{
    if (process_.hProcess == NULL)
        return;
    if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
    {
        TerminateProcess(process_.hProcess, 0xDEAD);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

namespace
{

struct WindowSearch
{
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    WindowSearch *search = (WindowSearch *)lParam;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && IsWindowVisible(window) &&
        GetWindow(window, GW_OWNER) == search->owner)
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND ChildProcess::WaitForWindow(HWND owner, DWORD timeoutMs, Caller where)
{
    CALLER_TRACE(where);
    timeoutMs = Scaled(timeoutMs);
    DWORD start = GetTickCount();
    do
    {
        WindowSearch search = {process_.dwProcessId, owner, NULL};
        EnumWindows(MatchWindow, (LPARAM)&search);
        if (search.found != NULL)
            return search.found;
        if (process_.hProcess == NULL ||
            WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0)
            break;
    } while (GetTickCount() - start < timeoutMs);
    ADD_FAILURE() << "no window appeared";
    return NULL;
}

DWORD ChildProcess::WaitForExit(DWORD timeoutMs, Caller where)
{
    CALLER_TRACE(where);
    DWORD exitCode = 0xDEADBEEF;
    if (process_.hProcess == NULL)
        return exitCode;
    timeoutMs = Scaled(timeoutMs);
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        ADD_FAILURE() << "the process did not end within " << timeoutMs << " ms";
    else
        EXPECT_TRUE(GetExitCodeProcess(process_.hProcess, &exitCode));
    return exitCode;
}

DWORD ChildProcess::CloseAndWait(HWND window, Caller where)
{
    CALLER_TRACE(where);
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return WaitForExit();
}

std::string ComputerName(Caller where)
{
    CALLER_TRACE(where);
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    if (!GetComputerNameA(name, &size))
    {
        ADD_FAILURE() << "no computer name: error " << GetLastError();
        return "";
    }
    return name;
}

DWORD RunProcess(const std::string &commandLine, DWORD timeoutMs, Caller where)
{
    CALLER_TRACE(where);
    ChildProcess process(commandLine);
    return process.WaitForExit(timeoutMs);
}

EmulatedVersion::EmulatedVersion(const std::string &exeName, const std::string &version,
                                 Caller where)
    : key_("Software\\Wine\\AppDefaults\\" + exeName)
{
    CALLER_TRACE(where);
    RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
    if (version.empty())
        return;
    HKEY key;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL,
                                  &key, NULL);
    EXPECT_EQ(ERROR_SUCCESS, result);
    if (result != ERROR_SUCCESS)
        return;
    result = RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE *)version.c_str(),
                            (DWORD)version.size() + 1);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, result);
}

EmulatedVersion::~EmulatedVersion()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
}

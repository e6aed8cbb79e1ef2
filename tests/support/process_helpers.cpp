#include <windows.h>

#include <gtest/gtest.h>

#include "support/process_helpers.h"

std::string ProgramDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\'));
}

ChildProcess::ChildProcess(const std::string &commandLine) : process_()
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string writable = commandLine;
    if (!CreateProcessA(NULL, &writable[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process_))
    {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        process_ = PROCESS_INFORMATION();
    }
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

HWND ChildProcess::WaitForWindow(HWND owner, DWORD timeoutMs)
{
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

DWORD ChildProcess::WaitForExit(DWORD timeoutMs)
{
    DWORD exitCode = 0xDEADBEEF;
    if (process_.hProcess == NULL)
        return exitCode;
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        ADD_FAILURE() << "the process did not end within " << timeoutMs << " ms";
    else
        EXPECT_TRUE(GetExitCodeProcess(process_.hProcess, &exitCode));
    return exitCode;
}

DWORD RunProcess(const std::string &commandLine, DWORD timeoutMs)
{
    ChildProcess process(commandLine);
    return process.WaitForExit(timeoutMs);
}

EmulatedVersion::EmulatedVersion(const std::string &exeName, const std::string &version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName)
{
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

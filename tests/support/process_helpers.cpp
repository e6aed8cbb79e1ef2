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

DWORD RunProcess(const std::string &commandLine, DWORD timeoutMs)
{
    STARTUPINFOA startup = {};
    PROCESS_INFORMATION process = {};
    startup.cb = sizeof(startup);
    std::string writable = commandLine;
    if (!CreateProcessA(NULL, &writable[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    {
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << GetLastError();
        return 0xDEADBEEF;
    }
    DWORD exitCode = 0xDEADBEEF;
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
    {
        ADD_FAILURE() << commandLine << " did not end within " << timeoutMs << " ms";
        TerminateProcess(process.hProcess, 0xDEAD);
        WaitForSingleObject(process.hProcess, 5000);
    }
    else
    {
        EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode;
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

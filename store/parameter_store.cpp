#include <windows.h>

#include "app/app_state.h"
#include "store/parameter_store.h"

LONG ReadDwordValue(HKEY root, const char *subkey, const char *valueName, DWORD *value)
{
    HKEY key;
    BYTE data[4] = {0, 0, 0, 0};
    DWORD size = sizeof(data);
    DWORD type;
    LONG result;

    result = RegOpenKeyExA(root, subkey, 0, KEY_READ, &key);
    if (result != ERROR_SUCCESS)
        return result;
    result = RegQueryValueExA(key, valueName, NULL, &type, data, &size);
    /* Nothing useful can be done when closing a key fails. */
    RegCloseKey(key);

    /* Longer than a DWORD: there, but not a value Kelvra can take. */
    if (result == ERROR_MORE_DATA)
        return ERROR_INVALID_DATA;
    if (result != ERROR_SUCCESS)
        return result;
    if (type != REG_DWORD)
        return ERROR_INVALID_DATA;
    /* The size is not checked: a REG_DWORD stored short reads its missing bytes as 0. */
    CopyMemory(value, data, sizeof(data));
    return ERROR_SUCCESS;
}

BOOL WriteDwordValue(HKEY root, const char *subkey, const char *valueName, DWORD value)
{
    HKEY key;
    LONG result;

    result = RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS)
    {
        RecordFailure(result);
        return 0;
    }
    result = RegSetValueExA(key, valueName, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
    {
        RecordFailure(result);
        return 0;
    }
    return 1;
}

/* The record that Windows 2000 and every later system accept from GetVersionExA. */
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA must be 148 bytes");

BOOL IsPlatformSupported(void)
{
    OSVERSIONINFOA version;

    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        return 0;
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
}

#define WINDOWS_NT_VERSION_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"

LONG ReadTargetPlatform(HKEY root, BOOL *supported)
{
    HKEY key;
    char version[16];
    DWORD size = sizeof(version);
    DWORD type;
    DWORD major = 0;
    DWORD i;
    LONG result;

    *supported = 0;
    result = RegOpenKeyExA(root, WINDOWS_NT_VERSION_KEY, 0, KEY_QUERY_VALUE, &key);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    result = RegQueryValueExA(key, "CurrentVersion", NULL, &type, (BYTE *)version, &size);
    RegCloseKey(key);
    /* Absent, or too long or of a type that no version is written in: no version of the NT
     * family that Kelvra knows. */
    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_MORE_DATA)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    if (type != REG_SZ || size == 0)
        return ERROR_SUCCESS;
    /* The data need not end in a zero: the digits are read within the size. */
    for (i = 0; i < size && version[i] >= '0' && version[i] <= '9' && major < 1000; i++)
        major = major * 10 + (DWORD)(version[i] - '0');
    *supported = i > 0 && major >= 5;
    return ERROR_SUCCESS;
}

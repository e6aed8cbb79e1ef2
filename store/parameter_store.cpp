#include <windows.h>

#include "app/app_state.h"
#include "store/parameter_store.h"

BOOL ReadDwordValue(const char *subkey, const char *valueName, DWORD *value)
{
    HKEY key;
    BYTE data[4] = {0, 0, 0, 0};
    DWORD size = sizeof(data);
    DWORD type;
    LONG result;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    result = RegQueryValueExA(key, valueName, NULL, &type, data, &size);
    /* Nothing useful can be done when closing a key fails. */
    RegCloseKey(key);

    if (result != ERROR_SUCCESS)
        return result == ERROR_FILE_NOT_FOUND; /* absent: the caller's default stands */
    if (type != REG_DWORD)
        return 0;
    /* The size is not checked: a REG_DWORD stored short reads its missing bytes as 0. */
    CopyMemory(value, data, sizeof(data));
    return 1;
}

BOOL WriteDwordValue(const char *subkey, const char *valueName, DWORD value)
{
    HKEY key;
    LONG result;

    result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_ALL_ACCESS, &key);
    if (result != ERROR_SUCCESS)
    {
        FormatErrorText(result);
        return 0;
    }
    result = RegSetValueExA(key, valueName, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
    {
        FormatErrorText(result);
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

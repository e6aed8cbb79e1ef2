#include <windows.h>

#include "app/app_state.h"
#include "app/target_machine.h"
#include "store/parameter_store.h"

/* Copies from to, up to most characters or to from's zero, and returns how many it copied.
 * Byte by byte: the runtime's memcpy is no import that Windows 2000 has to give Kelvra. */
static DWORD CopyText(char *to, const char *from, DWORD most)
{
    DWORD i;

    for (i = 0; i < most && from[i] != '\0'; i++)
        to[i] = from[i];
    return i;
}

/* prefix, two backslashes and the name, with a zero, into buffer; the caller has checked the
 * name's length against the buffer's size. */
static void BuildName(char *buffer, const char *prefix)
{
    DWORD length = CopyText(buffer, prefix, TARGET_TITLE_SIZE);

    length += CopyText(buffer + length, "\\\\", 2);
    length += CopyText(buffer + length, AppState.computerName, AppState.computerNameLength);
    buffer[length] = '\0';
}

/* A read that leaves the default is no failure: only one that could not be made at all. */
static BOOL ReadSetting(const char *valueName, DWORD *value)
{
    LONG result = ReadDwordValue(AppState.registryRoot, TCPIP_PARAMETERS_KEY, valueName, value);

    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_DATA)
        return 1;
    FormatErrorText(result);
    return 0;
}

BOOL OpenTargetMachine(void)
{
    char name[2 + COMPUTER_NAME_LIMIT + 1];
    HKEY root;
    LONG result;

    if (AppState.computerNameLength > COMPUTER_NAME_LIMIT)
    {
        FormatErrorText(ERROR_INVALID_COMPUTERNAME);
        return 0;
    }
    BuildName(name, "");
    result = RegConnectRegistryA(name, HKEY_LOCAL_MACHINE, &root);
    if (result != ERROR_SUCCESS)
    {
        FormatErrorText(result);
        return 0;
    }
    AppState.registryRoot = root;

    result = ReadTargetPlatform(root, &AppState.platformSupported);
    if (result != ERROR_SUCCESS)
    {
        FormatErrorText(result);
        return 0;
    }
    if (AppState.platformSupported != 1)
        return 1;
    AppState.disableMediaSense = 0;
    if (!ReadSetting(MEDIA_SENSE_VALUE, &AppState.disableMediaSense))
        return 0;
    AppState.ipAutoconfigEnabled = 1;
    return ReadSetting(APIPA_VALUE, &AppState.ipAutoconfigEnabled);
}

void CloseTargetMachine(void)
{
    if (AppState.registryRoot != HKEY_LOCAL_MACHINE)
        RegCloseKey(AppState.registryRoot);
    AppState.registryRoot = HKEY_LOCAL_MACHINE;
}

void TargetTitle(char *title)
{
    if (AppState.computerNameLength > COMPUTER_NAME_LIMIT)
        title[CopyText(title, "Kelvra", TARGET_TITLE_SIZE)] = '\0';
    else
        BuildName(title, "Kelvra - ");
}

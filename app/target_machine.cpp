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

/* What the worker finds on the other machine. Only the worker writes it, and WinMain's thread
 * reads it only once the worker has ended within the time limit: a worker that is late keeps
 * it to itself, so nothing it learns afterwards can reach the run. */
struct TargetReading
{
    char name[2 + COMPUTER_NAME_LIMIT + 1];
    HKEY root;
    BOOL supported;
    DWORD disableMediaSense;
    DWORD ipAutoconfigEnabled;
    AdapterSettings adapterSettings;
    LONG result;
};
static TargetReading reading;

/* A read that leaves the default is no failure: only one that could not be made at all. */
static LONG ReadSetting(HKEY root, const char *valueName, DWORD *value)
{
    LONG result = ReadDwordValue(root, TCPIP_PARAMETERS_KEY, valueName, value);

    if (result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_DATA)
        return ERROR_SUCCESS;
    return result;
}

/* The worker: connects, then reads the version and both settings, each with its default.
 * Nothing here writes, and the name it connects to is never empty (WinMain refuses an empty
 * one), so a worker that outlives its time limit can do no harm: at worst it holds a
 * connection until the process ends. */
static DWORD WINAPI ConnectAndRead(LPVOID parameter)
{
    TargetReading *target = (TargetReading *)parameter;
    HKEY root;

    target->result = RegConnectRegistryA(target->name, HKEY_LOCAL_MACHINE, &root);
    if (target->result != ERROR_SUCCESS)
        return 0;
    target->root = root;
    target->result = ReadTargetPlatform(root, &target->supported);
    if (target->result != ERROR_SUCCESS || target->supported != 1)
        return 0;
    target->disableMediaSense = 0;
    target->result = ReadSetting(root, MEDIA_SENSE_VALUE, &target->disableMediaSense);
    if (target->result != ERROR_SUCCESS)
        return 0;
    target->ipAutoconfigEnabled = 1;
    target->result = ReadSetting(root, APIPA_VALUE, &target->ipAutoconfigEnabled);
    if (target->result == ERROR_SUCCESS)
        ReadAdapterSettings(root, &target->adapterSettings);
    return 0;
}

BOOL OpenTargetMachine(void)
{
    HANDLE worker;
    DWORD waited;

    if (AppState.computerNameRefused || AppState.computerNameLength == 0 ||
        AppState.computerNameLength > COMPUTER_NAME_LIMIT)
    {
        RecordFailure(ERROR_INVALID_COMPUTERNAME);
        return 0;
    }
    BuildName(reading.name, "");
    reading.root = NULL;
    reading.result = ERROR_SUCCESS;

    /* RegConnectRegistry has no time limit of its own: against a machine that is off it waits
     * for TCP to give up. The worker does the waiting; this thread waits once, as long as the
     * limit allows, and goes on without it when the limit passes. */
    worker = CreateThread(NULL, 0, ConnectAndRead, &reading, 0, NULL);
    if (worker == NULL)
    {
        RecordFailure(GetLastError());
        return 0;
    }
    waited = WaitForSingleObject(worker, AppState.timeoutSeconds * 1000);
    CloseHandle(worker);
    if (waited != WAIT_OBJECT_0)
    {
        AppState.workerLeftRunning = 1;
        RecordFailure(waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError());
        return 0;
    }
    if (reading.root != NULL)
        AppState.registryRoot = reading.root;
    if (reading.result != ERROR_SUCCESS)
    {
        RecordFailure(reading.result);
        return 0;
    }
    AppState.platformSupported = reading.supported;
    if (AppState.platformSupported != 1)
        return 1;
    AppState.disableMediaSense = reading.disableMediaSense;
    AppState.ipAutoconfigEnabled = reading.ipAutoconfigEnabled;
    AppState.adapterSettings = &reading.adapterSettings;
    return 1;
}

void CloseTargetMachine(void)
{
    if (AppState.registryRoot != HKEY_LOCAL_MACHINE && AppState.registryRoot != NULL)
        RegCloseKey(AppState.registryRoot);
    AppState.registryRoot = HKEY_LOCAL_MACHINE;
}

BOOL IsMachineName(const char *name, DWORD length)
{
    DWORD i;

    if (length == 0 || length > COMPUTER_NAME_LIMIT || name[0] == '@')
        return 0;
    for (i = 0; i < length; i++)
    {
        unsigned char c = (unsigned char)name[i];

        if (c <= ' ' || c == '"' || c == '/' || c == 0x7F)
            return 0;
    }
    return 1;
}

void TargetTitle(char *title)
{
    if (AppState.computerNameLength > COMPUTER_NAME_LIMIT)
        title[CopyText(title, "Kelvra", TARGET_TITLE_SIZE)] = '\0';
    else
        BuildName(title, "Kelvra - ");
}

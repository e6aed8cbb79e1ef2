#include <windows.h>

#include "fleet/machine_list.h"
#include "app/target_machine.h"

static BOOL IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

/* Whether two names are one machine: computer names do not tell letter case apart. */
static BOOL IsSameName(const MachineEntry *a, const char *name, DWORD length)
{
    return a->length == length && CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a->name,
                                                 (int)length, name, (int)length) == CSTR_EQUAL;
}

/* Adds the line from start to end, unless it names no machine or one already on the list. */
static void AddLine(MachineList *list, const char *start, const char *end)
{
    DWORD length;
    DWORD i;
    BOOL valid = 1;

    while (start < end && IsBlank(*start))
        start++;
    while (end > start && IsBlank(end[-1]))
        end--;
    if (start == end || *start == ';')
        return;
    if (end - start >= 2 && start[0] == '\\' && start[1] == '\\')
        start += 2;
    length = (DWORD)(end - start);
    /* What the child's command line would read as something else is no name: a '/' would
     * end it there, and a leading '@' would make it a list. */
    if (length == 0 || length > COMPUTER_NAME_LIMIT || start[0] == '@')
        valid = 0;
    for (i = 0; i < length && valid; i++)
    {
        if (start[i] == ' ' || start[i] == '\t' || start[i] == '"' || start[i] == '/')
            valid = 0;
    }
    for (i = 0; i < list->count; i++)
    {
        if (IsSameName(&list->entries[i], start, length))
            return;
    }
    list->entries[list->count].name = start;
    list->entries[list->count].length = length;
    list->entries[list->count].valid = valid;
    list->count++;
}

LONG ReadMachineList(const char *path, MachineList *list)
{
    HANDLE file;
    DWORD size;
    DWORD read = 0;
    DWORD lines = 1;
    DWORD i;
    const char *start;
    LONG result = ERROR_SUCCESS;

    list->text = NULL;
    list->entries = NULL;
    list->count = 0;
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return (LONG)GetLastError();
    size = GetFileSize(file, NULL);
    if (size == INVALID_FILE_SIZE || size > MACHINE_LIST_FILE_LIMIT)
        result = size == INVALID_FILE_SIZE ? (LONG)GetLastError() : ERROR_FILE_TOO_LARGE;
    else
    {
        list->text = (char *)HeapAlloc(GetProcessHeap(), 0, size + 1);
        if (list->text == NULL)
            result = ERROR_NOT_ENOUGH_MEMORY;
        else if (!ReadFile(file, list->text, size, &read, NULL))
            result = (LONG)GetLastError();
        else if (read != size)
            result = ERROR_READ_FAULT;
    }
    CloseHandle(file);
    if (result != ERROR_SUCCESS)
    {
        FreeMachineList(list);
        return result;
    }

    /* Room for one entry a line: there can be no more machines than lines. */
    for (i = 0; i < size; i++)
    {
        if (list->text[i] == '\n')
            lines++;
    }
    list->entries = (MachineEntry *)HeapAlloc(GetProcessHeap(), 0, lines * sizeof(MachineEntry));
    if (list->entries == NULL)
    {
        FreeMachineList(list);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    start = list->text;
    for (i = 0; i < size; i++)
    {
        if (list->text[i] == '\n')
        {
            AddLine(list, start, list->text + i);
            start = list->text + i + 1;
        }
    }
    AddLine(list, start, list->text + size);
    return ERROR_SUCCESS;
}

void FreeMachineList(MachineList *list)
{
    if (list->text != NULL)
        HeapFree(GetProcessHeap(), 0, list->text);
    if (list->entries != NULL)
        HeapFree(GetProcessHeap(), 0, list->entries);
    list->text = NULL;
    list->entries = NULL;
    list->count = 0;
}

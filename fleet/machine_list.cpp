#include <windows.h>

#include "app/target_machine.h"
#include "fleet/machine_list.h"

/* Fills list->entries, of room for every line that can name a machine, line by line. */
struct ListReader
{
    MachineList *list;
    DWORD room;
};

static BOOL IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

/* Adds the line from start to end, unless it is blank or a comment; exact is 0 when its
 * characters had no exact equal in the ANSI code page. */
static void AddLine(ListReader *reader, const char *start, const char *end, BOOL exact)
{
    MachineEntry *entry;

    while (start < end && IsBlank(*start))
        start++;
    while (end > start && IsBlank(end[-1]))
        end--;
    if (start == end || *start == ';' || reader->list->count == reader->room)
        return;
    entry = &reader->list->entries[reader->list->count++];
    entry->text = start;
    entry->textLength = (DWORD)(end - start);
    if (end - start >= 2 && start[0] == '\\' && start[1] == '\\')
        start += 2;
    entry->name = start;
    entry->length = (DWORD)(end - start);
    entry->valid = exact && IsMachineName(entry->name, entry->length);
}

/* Adds each line of ANSI text: CR LF, LF or a lone CR ends one. */
static void AddAnsiLines(ListReader *reader, const char *text, DWORD size)
{
    DWORD start = 0;
    DWORD i;

    for (i = 0; i < size; i++)
    {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        AddLine(reader, text + start, text + i, 1);
        if (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n')
            i++;
        start = i + 1;
    }
    AddLine(reader, text + start, text + size, 1);
}

/* The most lines that can name a machine in text: no more than it has line ends, nor than it
 * has characters that are neither a blank nor a line end. */
static DWORD MostAnsiLines(const char *text, DWORD size)
{
    DWORD ends = 1;
    DWORD filled = 0;
    DWORD i;

    for (i = 0; i < size; i++)
    {
        if (text[i] == '\r' || text[i] == '\n')
            ends++;
        else if (!IsBlank(text[i]))
            filled++;
    }
    return ends < filled ? ends : filled;
}

static DWORD MostUnicodeLines(const WCHAR *units, DWORD count)
{
    DWORD ends = 1;
    DWORD filled = 0;
    DWORD i;

    for (i = 0; i < count; i++)
    {
        if (units[i] == L'\r' || units[i] == L'\n')
            ends++;
        else if (units[i] != L' ' && units[i] != L'\t')
            filled++;
    }
    return ends < filled ? ends : filled;
}

/* One line of UTF-16 into the ANSI text at *out, with the system's own conversion. A line that
 * does not come back the same from the ANSI code page lost a character on the way (one that
 * the code page lacks became '?', or its nearest look-alike): it is no name Kelvra can take. */
static void AddUnicodeLine(ListReader *reader, const WCHAR *line, DWORD count, char **out,
                           DWORD *room, WCHAR *check)
{
    int length = 0;
    BOOL exact = 1;
    int i;

    if (count > 0)
    {
        length = WideCharToMultiByte(CP_ACP, 0, line, (int)count, *out, (int)*room, NULL, NULL);
        exact = length > 0 &&
                MultiByteToWideChar(CP_ACP, 0, *out, length, check, (int)count) == (int)count;
        for (i = 0; exact && i < (int)count; i++)
            exact = check[i] == line[i];
    }
    AddLine(reader, *out, *out + length, exact);
    *out += length;
    *room -= (DWORD)length;
}

/* Converts count units of UTF-16 into the list's ANSI text, a line at a time. */
static LONG AddUnicodeLines(MachineList *list, const WCHAR *units, DWORD count)
{
    /* A character of a double-byte code page takes at most two bytes for its one unit. */
    DWORD room = count * 2 + 1;
    ListReader reader = {list, MostUnicodeLines(units, count)};
    WCHAR *check = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (count + 1) * sizeof(WCHAR));
    char *out;
    DWORD start = 0;
    DWORD i;

    list->text = (char *)HeapAlloc(GetProcessHeap(), 0, room);
    list->entries =
        (MachineEntry *)HeapAlloc(GetProcessHeap(), 0, (reader.room + 1) * sizeof(MachineEntry));
    if (check == NULL || list->text == NULL || list->entries == NULL)
    {
        if (check != NULL)
            HeapFree(GetProcessHeap(), 0, check);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    out = list->text;
    for (i = 0; i < count; i++)
    {
        if (units[i] != L'\r' && units[i] != L'\n')
            continue;
        AddUnicodeLine(&reader, units + start, i - start, &out, &room, check);
        if (units[i] == L'\r' && i + 1 < count && units[i + 1] == L'\n')
            i++;
        start = i + 1;
    }
    AddUnicodeLine(&reader, units + start, count - start, &out, &room, check);
    HeapFree(GetProcessHeap(), 0, check);
    return ERROR_SUCCESS;
}

/* UTF-8 text into *units, *count of them, to be freed by the caller. Windows 2000 and XP drop a
 * byte that is no UTF-8 without a word (MultiByteToWideChar's reference: "Windows XP: If this
 * flag is not set, the function silently drops illegal code points"), and a name with a byte
 * dropped would be another machine's: text that does not come back to the same bytes is
 * refused whole, with ERROR_NO_UNICODE_TRANSLATION. */
static LONG ReadUtf8(const char *text, DWORD size, WCHAR **units, DWORD *count)
{
    char *back;
    LONG result = ERROR_SUCCESS;
    DWORD i;

    *count = (DWORD)MultiByteToWideChar(CP_UTF8, 0, text, (int)size, NULL, 0);
    if (*count == 0)
        return (LONG)GetLastError();
    *units = (WCHAR *)HeapAlloc(GetProcessHeap(), 0, (*count + 1) * sizeof(WCHAR));
    back = (char *)HeapAlloc(GetProcessHeap(), 0, size);
    if (*units == NULL || back == NULL)
        result = ERROR_NOT_ENOUGH_MEMORY;
    else if ((DWORD)MultiByteToWideChar(CP_UTF8, 0, text, (int)size, *units, (int)*count) !=
                 *count ||
             (DWORD)WideCharToMultiByte(CP_UTF8, 0, *units, (int)*count, back, (int)size, NULL,
                                        NULL) != size)
        result = ERROR_NO_UNICODE_TRANSLATION;
    for (i = 0; result == ERROR_SUCCESS && i < size; i++)
    {
        if (back[i] != text[i])
            result = ERROR_NO_UNICODE_TRANSLATION;
    }
    if (back != NULL)
        HeapFree(GetProcessHeap(), 0, back);
    if (result != ERROR_SUCCESS && *units != NULL)
        HeapFree(GetProcessHeap(), 0, *units);
    if (result != ERROR_SUCCESS)
        *units = NULL;
    return result;
}

/* Lists in UTF-16 as Notepad saves "Unicode" (FF FE) and "Unicode big endian" (FE FF), and in
 * UTF-8 with its mark (EF BB BF), read into ANSI; ANSI text, with no mark, as it is. Takes
 * bytes over: it becomes the list's text, or is freed. */
static LONG ReadListText(MachineList *list, char *bytes, DWORD size)
{
    const BYTE *mark = (const BYTE *)bytes;
    WCHAR *units = NULL;
    DWORD count = 0;
    LONG result;
    DWORD i;

    if (size >= 2 && ((mark[0] == 0xFF && mark[1] == 0xFE) || (mark[0] == 0xFE && mark[1] == 0xFF)))
    {
        count = (size - 2) / 2;
        units = (WCHAR *)(bytes + 2);
        for (i = 0; mark[0] == 0xFE && i < count; i++)
            units[i] = (WCHAR)((units[i] >> 8) | (units[i] << 8));
        result = AddUnicodeLines(list, units, count);
        HeapFree(GetProcessHeap(), 0, bytes);
        return result;
    }
    if (size >= 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF)
    {
        if (size > 3)
        {
            result = ReadUtf8(bytes + 3, size - 3, &units, &count);
            if (result != ERROR_SUCCESS)
            {
                HeapFree(GetProcessHeap(), 0, bytes);
                return result;
            }
        }
        HeapFree(GetProcessHeap(), 0, bytes);
        result = AddUnicodeLines(list, units, count);
        if (units != NULL)
            HeapFree(GetProcessHeap(), 0, units);
        return result;
    }

    ListReader reader = {list, MostAnsiLines(bytes, size)};
    list->text = bytes;
    list->entries =
        (MachineEntry *)HeapAlloc(GetProcessHeap(), 0, (reader.room + 1) * sizeof(MachineEntry));
    if (list->entries == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    AddAnsiLines(&reader, bytes, size);
    return ERROR_SUCCESS;
}

/* Computer names do not tell letter case apart, and travel as ASCII: only ASCII letters are
 * folded, the same on every system whatever the user's locale (a Turkish one would not take
 * 'I' and 'i' for one letter), and never the second byte of a double-byte character. */
static BYTE FoldedAt(const char *name, DWORD i, BOOL *trailNext)
{
    BYTE c = (BYTE)name[i];
    BOOL trail = *trailNext;

    *trailNext = !trail && c >= 0x80 && IsDBCSLeadByte(c);
    if (!trail && c >= 'a' && c <= 'z')
        return (BYTE)(c - 'a' + 'A');
    return c;
}

static DWORD NameHash(const MachineEntry *entry)
{
    DWORD hash = 2166136261u;
    BOOL trail = 0;
    DWORD i;

    for (i = 0; i < entry->length; i++)
        hash = (hash ^ FoldedAt(entry->name, i, &trail)) * 16777619u;
    return hash;
}

static BOOL IsSameName(const MachineEntry *a, const MachineEntry *b)
{
    BOOL trailA = 0;
    BOOL trailB = 0;
    DWORD i;

    if (a->length != b->length)
        return 0;
    for (i = 0; i < a->length; i++)
    {
        if (FoldedAt(a->name, i, &trailA) != FoldedAt(b->name, i, &trailB))
            return 0;
    }
    return 1;
}

/* Keeps each machine once, where the list names it first, in one pass over a hash table of
 * entry numbers: a list of hundreds of thousands of lines takes no longer to read than to
 * scan. A line that names no machine is kept every time: each gets a line of the report. */
static LONG DropRepeatedNames(MachineList *list)
{
    DWORD size = 16;
    DWORD *slots;
    DWORD kept = 0;
    DWORD i;

    while (size < list->count * 2)
        size *= 2;
    slots = (DWORD *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size * sizeof(DWORD));
    if (slots == NULL)
        return ERROR_NOT_ENOUGH_MEMORY;
    for (i = 0; i < list->count; i++)
    {
        const MachineEntry *entry = &list->entries[i];
        DWORD slot = NameHash(entry) & (size - 1);
        BOOL repeated = 0;

        /* A slot holds 1 + the number of a kept entry, 0 while empty. */
        while (entry->valid && slots[slot] != 0 && !repeated)
        {
            repeated = IsSameName(&list->entries[slots[slot] - 1], entry);
            slot = (slot + 1) & (size - 1);
        }
        if (repeated)
            continue;
        list->entries[kept] = *entry;
        if (entry->valid)
            slots[slot] = kept + 1;
        kept++;
    }
    list->count = kept;
    HeapFree(GetProcessHeap(), 0, slots);
    return ERROR_SUCCESS;
}

LONG ReadMachineList(const char *path, MachineList *list)
{
    HANDLE file;
    DWORD size;
    DWORD read = 0;
    char *bytes = NULL;
    DWORD error;
    LONG result = ERROR_SUCCESS;

    list->text = NULL;
    list->entries = NULL;
    list->count = 0;
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return (LONG)GetLastError();
    /* INVALID_FILE_SIZE is also the low part of a size of 4 GiB or more; only with an error
     * beside it is it a failure. Either way such a file is no list to read. */
    size = GetFileSize(file, NULL);
    error = size == INVALID_FILE_SIZE ? GetLastError() : NO_ERROR;
    if (error != NO_ERROR)
        result = (LONG)error;
    else if (size > MACHINE_LIST_FILE_LIMIT)
        result = ERROR_FILE_TOO_LARGE;
    else
    {
        bytes = (char *)HeapAlloc(GetProcessHeap(), 0, size + 1);
        if (bytes == NULL)
            result = ERROR_NOT_ENOUGH_MEMORY;
        else if (!ReadFile(file, bytes, size, &read, NULL))
            result = (LONG)GetLastError();
        else if (read != size)
            result = ERROR_READ_FAULT;
    }
    CloseHandle(file);
    if (result == ERROR_SUCCESS)
        result = ReadListText(list, bytes, size);
    else if (bytes != NULL)
        HeapFree(GetProcessHeap(), 0, bytes);
    if (result == ERROR_SUCCESS)
        result = DropRepeatedNames(list);
    if (result != ERROR_SUCCESS)
        FreeMachineList(list);
    return result;
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

#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "app/target_machine.h"
#include "dialog/results_window.h"
#include "resources/resource.h"

enum RowState
{
    ROW_WAITING,
    ROW_RUNNING,
    ROW_ENDED
};

/* The columns, in their order on screen. */
enum Column
{
    COLUMN_MACHINE,
    COLUMN_OUTCOME,
    COLUMN_MEDIA_SENSE,
    COLUMN_APIPA,
    COLUMN_REASON,
    COLUMN_COUNT
};

/* A running row says for how long once it has run this long: before, every row would tick. */
#define RUNNING_SHOWN_AFTER_MS 3000

#define TICK_TIMER 1

/* Room for a row's longest field: a reason of 1022 characters after its code. */
#define ROW_TEXT_SIZE 1100

static HICON LoadKelvraIcon(int size)
{
    return (HICON)LoadImageA(AppState.instance, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON, size,
                             size, 0);
}

static void LoadText(UINT id, char *text, int size)
{
    if (LoadStringA(AppState.instance, id, text, size) <= 0)
        text[0] = '\0';
}

/* Copies one CSV field from line at *at into text (unquoted, zero-terminated, cut to size) and
 * moves *at past the comma after it. */
static void ReadField(const char *line, DWORD length, DWORD *at, char *text, DWORD size)
{
    DWORD i = *at;
    DWORD n = 0;
    BOOL quoted = 0;

    for (; i < length; i++)
    {
        char c = line[i];

        if (c == '"')
        {
            /* A doubled quote inside quotes is one quote of the text. */
            if (quoted && i + 1 < length && line[i + 1] == '"')
                i++;
            else
            {
                quoted = !quoted;
                continue;
            }
        }
        else if (c == ',' && !quoted)
            break;
        if (n + 1 < size)
            text[n++] = c;
    }
    text[n] = '\0';
    *at = i < length ? i + 1 : i;
}

/* Field number field (0 the machine, 5 the reason's text) of a report line. */
static void LineField(const ResultRow *row, DWORD field, char *text, DWORD size)
{
    DWORD length = row->length;
    DWORD at = 0;
    DWORD i;

    text[0] = '\0';
    if (row->line == NULL)
        return;
    if (length >= 2 && row->line[length - 2] == '\r')
        length -= 2;
    for (i = 0; i <= field; i++)
        ReadField(row->line, length, &at, text, size);
}

/* What the row of the list's entry shows in column, into text of size bytes. */
static void RowText(const ResultsWindow *results, DWORD entry, int column, char *text, DWORD size)
{
    const ResultRow *row = &results->rows[entry];
    const MachineEntry *machine = &results->entries[entry];
    char format[64];
    char code[16];
    char reason[ROW_TEXT_SIZE];
    char withCode[ROW_TEXT_SIZE];
    DWORD i;

    text[0] = '\0';
    if (column == COLUMN_MACHINE)
    {
        /* As the list writes it, as the report line does. */
        for (i = 0; i < machine->textLength && i + 1 < size; i++)
            text[i] = machine->text[i];
        text[i] = '\0';
    }
    else if (row->state != ROW_ENDED)
    {
        DWORD spent = GetTickCount() - row->started;

        if (column != COLUMN_OUTCOME)
            return;
        if (row->state == ROW_WAITING)
            LoadText(IDS_ROW_WAITING, text, (int)size);
        else if (spent < RUNNING_SHOWN_AFTER_MS)
            LoadText(IDS_ROW_RUNNING, text, (int)size);
        else
        {
            LoadText(IDS_ROW_RUNNING_FOR, format, sizeof(format));
            wsprintfA(text, format, spent / 1000);
        }
    }
    else if (column != COLUMN_REASON)
        LineField(row, (DWORD)column, text, size);
    else
    {
        /* Windows' error number before its text; Kelvra's own reasons have none. */
        LineField(row, 4, code, sizeof(code));
        LineField(row, 5, reason, sizeof(reason));
        if (code[0] == '\0')
        {
            for (i = 0; reason[i] != '\0' && i + 1 < size; i++)
                text[i] = reason[i];
            text[i] = '\0';
        }
        else
        {
            /* wsprintfA writes at most 1024 characters; the list view asks with less room. */
            LoadText(IDS_REASON_WITH_CODE, format, sizeof(format));
            wsprintfA(withCode, format, code, reason);
            for (i = 0; withCode[i] != '\0' && i + 1 < size; i++)
                text[i] = withCode[i];
            text[i] = '\0';
        }
    }
}

/* How an outcome ranks when the rows are sorted by it: the failed first, the unfinished last. */
static int OutcomeRank(const ResultsWindow *results, DWORD entry)
{
    static const char *const outcomes[] = {"failed", "changed", "as asked"};
    char text[16];
    int i;
    int k;

    if (results->rows[entry].state == ROW_WAITING)
        return 5;
    if (results->rows[entry].state == ROW_RUNNING)
        return 4;
    LineField(&results->rows[entry], 1, text, sizeof(text));
    for (i = 0; i < 3; i++)
    {
        for (k = 0; text[k] != '\0' && text[k] == outcomes[i][k]; k++)
            ;
        if (text[k] == outcomes[i][k])
            return i;
    }
    return 3;
}

/* Whether entry a goes before entry b in the sorted column; equal rows keep the list's order. */
static BOOL SortsBefore(const ResultsWindow *results, DWORD a, DWORD b)
{
    char textA[ROW_TEXT_SIZE];
    char textB[ROW_TEXT_SIZE];
    int order;

    if (results->sortColumn == COLUMN_OUTCOME)
        order = OutcomeRank(results, a) - OutcomeRank(results, b);
    else
    {
        RowText(results, a, results->sortColumn, textA, sizeof(textA));
        RowText(results, b, results->sortColumn, textB, sizeof(textB));
        order = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, textA, -1, textB, -1) - 2;
    }
    if (results->sortDown)
        order = -order;
    return order != 0 ? order < 0 : a < b;
}

/* Moves order[at] down the heap of count places until neither child sorts after it. */
static void SiftDown(ResultsWindow *results, DWORD at, DWORD count)
{
    DWORD *order = results->order;

    for (;;)
    {
        DWORD child = 2 * at + 1;
        DWORD kept;

        if (child >= count)
            return;
        if (child + 1 < count && SortsBefore(results, order[child], order[child + 1]))
            child++;
        if (!SortsBefore(results, order[at], order[child]))
            return;
        kept = order[at];
        order[at] = order[child];
        order[child] = kept;
        at = child;
    }
}

/* Sorts the rows by column: a heap sort, in place, in n log n even for thousands of rows. A
 * second click on the same column sorts it the other way. */
static void SortRows(ResultsWindow *results, int column)
{
    DWORD i;

    results->sortDown = results->sortColumn == column && !results->sortDown;
    results->sortColumn = column;
    for (i = results->count / 2; i > 0; i--)
        SiftDown(results, i - 1, results->count);
    for (i = results->count; i > 1; i--)
    {
        DWORD kept = results->order[0];

        results->order[0] = results->order[i - 1];
        results->order[i - 1] = kept;
        SiftDown(results, 0, i - 1);
    }
    /* The selection was of places, which now hold other machines. */
    ListView_SetItemState(results->rowsView, -1, 0, LVIS_SELECTED);
    InvalidateRect(results->rowsView, NULL, FALSE);
}

/* Widens column to text, as the list view measures it in its own font. */
static void FitColumn(ResultsWindow *results, int column, const char *text)
{
    int width = ListView_GetStringWidth(results->rowsView, text) + 16;

    if (width > ListView_GetColumnWidth(results->rowsView, column))
        ListView_SetColumnWidth(results->rowsView, column, width);
}

static void AddColumns(ResultsWindow *results)
{
    static const UINT headings[COLUMN_COUNT] = {IDS_COLUMN_MACHINE, IDS_COLUMN_OUTCOME,
                                                IDS_COLUMN_MEDIA_SENSE, IDS_COLUMN_APIPA,
                                                IDS_COLUMN_REASON};
    char text[ROW_TEXT_SIZE];
    char format[64];
    LVCOLUMNA column;
    DWORD longest = 0;
    DWORD i;
    int c;

    for (c = 0; c < COLUMN_COUNT; c++)
    {
        LoadText(headings[c], text, sizeof(text));
        ZeroMemory(&column, sizeof(column));
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = text;
        column.cx = 0;
        column.iSubItem = c;
        SendMessageA(results->rowsView, LVM_INSERTCOLUMNA, (WPARAM)c, (LPARAM)&column);
        FitColumn(results, c, text);
    }
    /* What these columns can say, measured once; the machines' by the longest name, and the
     * reasons' as they come. */
    LoadText(IDS_ROW_WAITING, text, sizeof(text));
    FitColumn(results, COLUMN_OUTCOME, text);
    LoadText(IDS_ROW_RUNNING_FOR, format, sizeof(format));
    wsprintfA(text, format, 9999);
    FitColumn(results, COLUMN_OUTCOME, text);
    FitColumn(results, COLUMN_OUTCOME, "as asked");
    FitColumn(results, COLUMN_APIPA, "off (on on 32 adapters)");
    for (i = 1; i < results->count; i++)
    {
        if (results->entries[i].length > results->entries[longest].length)
            longest = i;
    }
    RowText(results, longest, COLUMN_MACHINE, text, sizeof(text));
    FitColumn(results, COLUMN_MACHINE, text);
}

/* Puts the controls where the window's size has room for them: the rows take what is left. */
static void LayOut(ResultsWindow *results)
{
    RECT client;
    RECT units = {7, 10, 70, 18}; /* margin, a line, a button's width and height */
    int margin;
    int line;
    int buttonWidth;
    int buttonHeight;
    int width;
    int bottom;

    GetClientRect(results->window, &client);
    MapDialogRect(results->window, &units);
    margin = units.left;
    line = units.top;
    buttonWidth = units.right;
    buttonHeight = units.bottom;
    width = client.right - 2 * margin;
    bottom = client.bottom - margin - buttonHeight;
    MoveWindow(GetDlgItem(results->window, IDC_RESULTS_BAR), margin, margin, width, line, TRUE);
    /* Two lines: the counts, and at the end a word on the machines that did not answer. */
    MoveWindow(GetDlgItem(results->window, IDC_PROGRESS_TEXT), margin, 2 * margin + line, width,
               2 * line, TRUE);
    MoveWindow(results->rowsView, margin, 3 * margin + 3 * line, width,
               bottom - margin - (3 * margin + 3 * line), TRUE);
    MoveWindow(GetDlgItem(results->window, IDC_PROGRESS_CLOSE), client.right - margin - buttonWidth,
               bottom, buttonWidth, buttonHeight, TRUE);
    MoveWindow(GetDlgItem(results->window, IDC_RESULTS_COPY),
               client.right - 2 * margin - 2 * buttonWidth, bottom, buttonWidth, buttonHeight,
               TRUE);
}

/* The place of each row that goes on the clipboard, in the order on show: the selected ones
 * when any are, else all; rows without a line have none to give. Returns the next such place
 * from after, or count. */
static DWORD NextCopied(const ResultsWindow *results, DWORD after, BOOL selectedOnly)
{
    DWORD at;

    for (at = after; at < results->count; at++)
    {
        if (results->rows[results->order[at]].line != NULL &&
            (!selectedOnly || ListView_GetItemState(results->rowsView, at, LVIS_SELECTED) != 0))
            return at;
    }
    return results->count;
}

/* A moveable copy of the lines, zero-terminated, as the clipboard takes it; NULL without memory
 * or lines. */
static HGLOBAL CopiedLines(const ResultsWindow *results, BOOL selectedOnly)
{
    SIZE_T size = 1;
    HGLOBAL memory;
    char *text;
    DWORD at;

    for (at = NextCopied(results, 0, selectedOnly); at < results->count;
         at = NextCopied(results, at + 1, selectedOnly))
        size += results->rows[results->order[at]].length;
    if (size == 1)
        return NULL;
    memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    text = memory != NULL ? (char *)GlobalLock(memory) : NULL;
    if (text == NULL)
    {
        if (memory != NULL)
            GlobalFree(memory);
        return NULL;
    }
    for (at = NextCopied(results, 0, selectedOnly); at < results->count;
         at = NextCopied(results, at + 1, selectedOnly))
    {
        const ResultRow *row = &results->rows[results->order[at]];
        DWORD i;

        for (i = 0; i < row->length; i++)
            *text++ = row->line[i];
    }
    *text = '\0';
    GlobalUnlock(memory);
    return memory;
}

/* Puts the report lines of the rows on the clipboard: as text, which pastes as the report, and
 * as CSV, the form that the lines have already, which a spreadsheet pastes into its columns. */
static void CopyRows(ResultsWindow *results)
{
    BOOL selectedOnly = ListView_GetSelectedCount(results->rowsView) > 0;
    UINT csv = RegisterClipboardFormatA("Csv");
    HGLOBAL text = CopiedLines(results, selectedOnly);
    HGLOBAL spreadsheet = csv != 0 ? CopiedLines(results, selectedOnly) : NULL;

    if (text != NULL && OpenClipboard(results->window))
    {
        EmptyClipboard();
        /* The clipboard owns what it took; what it refused is still ours. */
        if (SetClipboardData(CF_TEXT, text) != NULL)
            text = NULL;
        if (spreadsheet != NULL && SetClipboardData(csv, spreadsheet) != NULL)
            spreadsheet = NULL;
        CloseClipboard();
    }
    if (text != NULL)
        GlobalFree(text);
    if (spreadsheet != NULL)
        GlobalFree(spreadsheet);
}

/* Starts Kelvra for the machine at place in its own process, its dialog for that machine, as
 * "Kelvra.exe /COMPUTER=name" would: no /QUIT, and nothing of this run's. */
static void OpenRow(ResultsWindow *results, int place)
{
    char commandLine[MAX_PATH + COMPUTER_NAME_LIMIT + 32];
    char caption[64];
    const MachineEntry *machine;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD length;
    DWORD i;

    if (place < 0 || (DWORD)place >= results->count)
        return;
    machine = &results->entries[results->order[place]];
    /* A line that names no machine has no dialog to open. */
    if (!machine->valid || machine->length > COMPUTER_NAME_LIMIT ||
        lstrlenA(results->programPath) >= MAX_PATH)
        return;
    length = (DWORD)wsprintfA(commandLine, "\"%s\" /COMPUTER=", results->programPath);
    for (i = 0; i < machine->length; i++)
        commandLine[length++] = machine->name[i];
    commandLine[length] = '\0';
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
    {
        FormatErrorText(GetLastError());
        GetWindowTextA(results->window, caption, sizeof(caption));
        MessageBoxA(results->window, AppState.messageText, caption, MB_OK | MB_ICONSTOP);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

static INT_PTR Notified(ResultsWindow *results, const NMHDR *header)
{
    if (header->idFrom != IDC_RESULTS_LIST)
        return 0;
    switch (header->code)
    {
        case LVN_GETDISPINFOA:
        {
            LVITEMA *item = &((NMLVDISPINFOA *)header)->item;

            if ((item->mask & LVIF_TEXT) != 0 && item->cchTextMax > 0 && item->iItem >= 0 &&
                (DWORD)item->iItem < results->count)
                RowText(results, results->order[item->iItem], item->iSubItem, item->pszText,
                        (DWORD)item->cchTextMax);
            return 1;
        }
        case LVN_COLUMNCLICK:
            SortRows(results, ((const NMLISTVIEW *)header)->iSubItem);
            return 1;
        case LVN_KEYDOWN:
            if (((const NMLVKEYDOWN *)header)->wVKey == 'C' && GetKeyState(VK_CONTROL) < 0)
                CopyRows(results);
            return 1;
        case NM_DBLCLK:
        {
            /* The row under the click: the notification's iItem is only valid for a click on
             * the first column; elsewhere in a row NM_DBLCLK's reference asks for
             * LVM_SUBITEMHITTEST at the click's point. */
            LVHITTESTINFO hit;

            ZeroMemory(&hit, sizeof(hit));
            hit.pt = ((const NMITEMACTIVATE *)header)->ptAction;
            OpenRow(results, ListView_SubItemHitTest(results->rowsView, &hit));
            return 1;
        }
    }
    return 0;
}

static INT_PTR CALLBACK ResultsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ResultsWindow *results = (ResultsWindow *)GetWindowLongPtrA(window, DWLP_USER);
    RECT size;

    if (message == WM_INITDIALOG)
    {
        results = (ResultsWindow *)lParam;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        results->window = window;
        results->rowsView = GetDlgItem(window, IDC_RESULTS_LIST);
        /* The window's own icons: the dialog class's belongs to every dialog. */
        results->smallIcon = LoadKelvraIcon(16);
        results->largeIcon = LoadKelvraIcon(32);
        SendMessageA(window, WM_SETICON, ICON_SMALL, (LPARAM)results->smallIcon);
        SendMessageA(window, WM_SETICON, ICON_BIG, (LPARAM)results->largeIcon);
        GetWindowRect(window, &size);
        results->least.x = size.right - size.left;
        results->least.y = size.bottom - size.top;
        return 1;
    }
    if (results == NULL)
        return 0;
    switch (message)
    {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_PROGRESS_CLOSE || LOWORD(wParam) == IDCANCEL)
                results->closeAsked = 1;
            else if (LOWORD(wParam) == IDC_RESULTS_COPY)
                CopyRows(results);
            /* Enter, which the dialog manager makes IDOK: the row that has the focus. */
            else if (LOWORD(wParam) == IDOK)
                OpenRow(results, ListView_GetNextItem(results->rowsView, -1, LVNI_FOCUSED));
            return 1;
        case WM_NOTIFY:
            return Notified(results, (const NMHDR *)lParam);
        case WM_TIMER:
            /* The running rows' seconds. */
            InvalidateRect(results->rowsView, NULL, FALSE);
            return 1;
        case WM_SIZE:
            LayOut(results);
            return 1;
        case WM_GETMINMAXINFO:
            ((MINMAXINFO *)lParam)->ptMinTrackSize = results->least;
            return 1;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE)
            {
                results->closeAsked = 1;
                return 1;
            }
            return 0;
    }
    return 0;
}

BOOL OpenResultsWindow(ResultsWindow *results, const MachineEntry *entries, DWORD count,
                       const char *programPath)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    DWORD i;

    ZeroMemory(results, sizeof(*results));
    results->entries = entries;
    results->count = count;
    results->programPath = programPath;
    results->sortColumn = -1;
    results->rows =
        (ResultRow *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(ResultRow));
    results->order = (DWORD *)HeapAlloc(GetProcessHeap(), 0, count * sizeof(DWORD));
    /* Without the common controls there is no list to show: the run goes on without a window,
     * as under /QUIT, its lines still written. */
    if (results->rows == NULL || results->order == NULL || !InitCommonControlsEx(&controls) ||
        CreateDialogParamA(AppState.instance, MAKEINTRESOURCEA(IDD_PROGRESS), NULL, ResultsProc,
                           (LPARAM)results) == NULL)
    {
        CloseResultsWindow(results);
        return 0;
    }
    for (i = 0; i < count; i++)
        results->order[i] = i;
    ListView_SetExtendedListViewStyle(results->rowsView, LVS_EX_FULLROWSELECT);
    AddColumns(results);
    ListView_SetItemCountEx(results->rowsView, count, 0);
    SendDlgItemMessageA(results->window, IDC_RESULTS_BAR, PBM_SETRANGE32, 0, (LPARAM)count);
    LayOut(results);
    /* Without the timer, which a lack of timers could refuse, a running row's seconds move only
     * when something else has the rows drawn: worth no more than that. */
    SetTimer(results->window, TICK_TIMER, 1000, NULL);
    ShowWindow(results->window, SW_SHOW);
    return 1;
}

void ShowRowRunning(ResultsWindow *results, DWORD entry)
{
    if (results->window == NULL || entry >= results->count)
        return;
    results->rows[entry].state = ROW_RUNNING;
    results->rows[entry].started = GetTickCount();
    InvalidateRect(results->rowsView, NULL, FALSE);
}

void ShowRowResult(ResultsWindow *results, DWORD entry, const char *line, DWORD length)
{
    char text[ROW_TEXT_SIZE];

    if (results->window == NULL || entry >= results->count)
        return;
    results->rows[entry].state = ROW_ENDED;
    results->rows[entry].line = line;
    results->rows[entry].length = line != NULL ? length : 0;
    RowText(results, entry, COLUMN_APIPA, text, sizeof(text));
    FitColumn(results, COLUMN_APIPA, text);
    RowText(results, entry, COLUMN_REASON, text, sizeof(text));
    FitColumn(results, COLUMN_REASON, text);
    InvalidateRect(results->rowsView, NULL, FALSE);
}

void ShowCounts(ResultsWindow *results, const ListCounts *counts, BOOL finished)
{
    char format[256];
    char text[512];
    DWORD done = counts->changed + counts->asAsked + counts->failed;
    int length;

    if (results->window == NULL)
        return;
    SendDlgItemMessageA(results->window, IDC_RESULTS_BAR, PBM_SETPOS, done, 0);
    if (finished && !results->finished)
    {
        results->finished = 1;
        KillTimer(results->window, TICK_TIMER);
    }
    if (LoadStringA(AppState.instance, finished ? IDS_LIST_FINISHED : IDS_LIST_PROGRESS, format,
                    sizeof(format)) <= 0)
        return;
    length = wsprintfA(text, format, done, counts->total, counts->changed, counts->asAsked,
                       counts->failed);
    /* Machines that did not answer in time may only have waited behind others, as on a console
     * of XP SP2, which queues connection attempts: the last counts say what to do about them. */
    if (finished && counts->timedOut > 0 &&
        LoadStringA(AppState.instance, IDS_LIST_RERUN_TIMED_OUT, format, sizeof(format)) > 0)
        wsprintfA(text + length, format, counts->timedOut);
    SetDlgItemTextA(results->window, IDC_PROGRESS_TEXT, text);
}

BOOL IsResultsWindowClosed(const ResultsWindow *results)
{
    return results->closeAsked;
}

void PumpResultsWindow(ResultsWindow *results)
{
    MSG message;

    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
    {
        if (results->window == NULL || !IsDialogMessageA(results->window, &message))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void CloseResultsWindow(ResultsWindow *results)
{
    if (results->window != NULL)
        DestroyWindow(results->window);
    if (results->smallIcon != NULL)
        DestroyIcon(results->smallIcon);
    if (results->largeIcon != NULL)
        DestroyIcon(results->largeIcon);
    if (results->rows != NULL)
        HeapFree(GetProcessHeap(), 0, results->rows);
    if (results->order != NULL)
        HeapFree(GetProcessHeap(), 0, results->order);
    ZeroMemory(results, sizeof(*results));
}

#include <windows.h>

#include "app/app_state.h"
#include "fleet/list_run.h"
#include "fleet/machine_list.h"
#include "app/report_line.h"
#include "app/target_machine.h"
#include "dialog/results_window.h"
#include "resources/resource.h"

/* How a machine's run ended, as its line says; NOT_ENDED until its line is known. */
enum Outcome
{
    NOT_ENDED,
    ENDED_FAILED,
    ENDED_CHANGED,
    ENDED_AS_ASKED
};

/* What became of one machine: its line, once known, and how it ended. */
struct MachineResult
{
    char *line;
    DWORD length;
    Outcome outcome;
};

/* A child that is running, and the read end of the pipe that is its standard output. */
struct Child
{
    HANDLE process;
    HANDLE output;
    DWORD entry;
    DWORD started;
};

static MachineList list;
static MachineResult *results;
static Child children[MAX_CHILDREN];
static DWORD running;
static ListCounts counts;
static ResultsWindow window; /* not open under /QUIT */

/* Keeps line as the machine's result, outcome as it says. */
static void KeepLine(DWORD entry, const char *line, DWORD length, Outcome outcome)
{
    char *copy = (char *)HeapAlloc(GetProcessHeap(), 0, length);
    DWORD i;

    if (copy != NULL)
    {
        for (i = 0; i < length; i++)
            copy[i] = line[i];
    }
    results[entry].line = copy;
    results[entry].length = copy != NULL ? length : 0;
    results[entry].outcome = outcome;
    ShowRowResult(&window, entry, copy, length);
    if (outcome == ENDED_CHANGED)
        counts.changed++;
    else if (outcome == ENDED_AS_ASKED)
        counts.asAsked++;
    else
        counts.failed++;
}

/* A failed line of the run's own for a machine: Windows' text for code, or, with a stringId,
 * Kelvra's own text. */
static void KeepFailure(DWORD entry, DWORD code, UINT stringId)
{
    char line[REPORT_LINE_SIZE];
    const MachineEntry *machine = &list.entries[entry];

    if (stringId != 0)
        RecordFailureText(stringId);
    else
        FormatErrorText(code);
    KeepLine(entry, line,
             FormatReportLine(line, machine->name, machine->length, OUTCOME_FAILED, STATE_UNKNOWN,
                              STATE_UNKNOWN, 0, code, AppState.messageText),
             ENDED_FAILED);
}

/* The outcome that a child's line gives, after its machine's field; NOT_ENDED when the text is
 * no line of Kelvra's: one line, ending in CR LF. */
static Outcome LineOutcome(const char *line, DWORD length)
{
    static const char *const outcomes[] = {OUTCOME_FAILED, OUTCOME_CHANGED, OUTCOME_AS_ASKED};
    static const Outcome ended[] = {ENDED_FAILED, ENDED_CHANGED, ENDED_AS_ASKED};
    DWORD i = 0;
    DWORD o;
    BOOL quoted = 0;

    if (length < 2 || line[length - 2] != '\r' || line[length - 1] != '\n')
        return NOT_ENDED;
    for (o = 0; o + 2 < length; o++)
    {
        if (line[o] == '\r' || line[o] == '\n')
            return NOT_ENDED;
    }
    /* The machine's field, quoted as CSV quotes it when it holds a comma. */
    while (i < length && (quoted || line[i] != ','))
    {
        if (line[i] == '"')
            quoted = !quoted;
        i++;
    }
    i++;
    for (o = 0; o < sizeof(outcomes) / sizeof(outcomes[0]); o++)
    {
        DWORD n = (DWORD)lstrlenA(outcomes[o]);
        DWORD k = 0;

        while (k < n && i + k < length && line[i + k] == outcomes[o][k])
            k++;
        if (k == n && i + n < length && line[i + n] == ',')
            return ended[o];
    }
    return NOT_ENDED;
}

/* Appends text to the command line being built in buffer, of size bytes. */
static void AppendArgument(char *buffer, DWORD size, DWORD *length, const char *text, DWORD count)
{
    DWORD i;

    for (i = 0; i < count && text[i] != '\0' && *length + 1 < size; i++)
        buffer[(*length)++] = text[i];
    buffer[*length] = '\0';
}

/* The child's command line: this program, the machine, the run's own options, /QUIT. */
static void ChildCommandLine(char *buffer, DWORD size, const MachineEntry *machine)
{
    char path[MAX_PATH + 1];
    char timeout[24];
    DWORD length = 0;
    DWORD pathLength = GetModuleFileNameA(NULL, path, MAX_PATH);

    path[pathLength < MAX_PATH ? pathLength : MAX_PATH] = '\0';
    AppendArgument(buffer, size, &length, "\"", 1);
    AppendArgument(buffer, size, &length, path, MAX_PATH);
    AppendArgument(buffer, size, &length, "\" /COMPUTER=", 12);
    AppendArgument(buffer, size, &length, machine->name, machine->length);
    if (AppState.requestedDisableMediaSense != NOT_REQUESTED)
        AppendArgument(
            buffer, size, &length,
            AppState.requestedDisableMediaSense == 1 ? " /MEDIASENSE=OFF" : " /MEDIASENSE=ON", 32);
    if (AppState.requestedApipaEnabled != NOT_REQUESTED)
        AppendArgument(buffer, size, &length,
                       AppState.requestedApipaEnabled == 1 ? " /APIPA=ON" : " /APIPA=OFF", 32);
    if (AppState.autoSave == 1)
        AppendArgument(buffer, size, &length, " /SAVE", 32);
    wsprintfA(timeout, " /TIMEOUT=%u /QUIT", AppState.timeoutSeconds);
    AppendArgument(buffer, size, &length, timeout, sizeof(timeout));
}

/* Starts the child for entry, its standard output a pipe of the run's own. Returns 1, or 0
 * with the machine's failed line kept. */
static BOOL StartChild(DWORD entry)
{
    char commandLine[MAX_PATH + COMPUTER_NAME_LIMIT + 128];
    HANDLE readEnd;
    HANDLE writeEnd;
    HANDLE inherited;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    BOOL started;
    DWORD error;

    ChildCommandLine(commandLine, sizeof(commandLine), &list.entries[entry]);
    if (!CreatePipe(&readEnd, &writeEnd, NULL, REPORT_LINE_SIZE * 2))
    {
        KeepFailure(entry, GetLastError(), 0);
        return 0;
    }
    /* Only this child may hold the write end: one that another child held too would not end
     * when this one does. The run starts one child at a time, on one thread, so the handle is
     * inheritable only while this child is being made. */
    if (!DuplicateHandle(GetCurrentProcess(), writeEnd, GetCurrentProcess(), &inherited, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
    {
        error = GetLastError();
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        KeepFailure(entry, error, 0);
        return 0;
    }
    CloseHandle(writeEnd);
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = inherited;
    started =
        CreateProcessA(NULL, commandLine, NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process);
    error = GetLastError();
    CloseHandle(inherited);
    if (!started)
    {
        CloseHandle(readEnd);
        KeepFailure(entry, error, 0);
        return 0;
    }
    CloseHandle(process.hThread);
    children[running].process = process.hProcess;
    children[running].output = readEnd;
    children[running].entry = entry;
    children[running].started = GetTickCount();
    running++;
    return 1;
}

/* Takes the child in slot off the list of running ones. */
static void ForgetChild(DWORD slot)
{
    CloseHandle(children[slot].process);
    CloseHandle(children[slot].output);
    children[slot] = children[--running];
}

/* The child in slot has ended: its line, if it wrote a whole one, or a failed line with its
 * exit code. Never waits: what the pipe holds is all there is once the child has ended. */
static void CollectChild(DWORD slot)
{
    char line[REPORT_LINE_SIZE + 1];
    DWORD length = 0;
    DWORD available = 0;
    DWORD read;
    DWORD exitCode = 0;
    Outcome outcome;

    while (length < sizeof(line) &&
           PeekNamedPipe(children[slot].output, NULL, 0, NULL, &available, NULL) && available > 0 &&
           ReadFile(children[slot].output, line + length, sizeof(line) - length, &read, NULL) &&
           read > 0)
        length += read;
    GetExitCodeProcess(children[slot].process, &exitCode);
    outcome = length <= REPORT_LINE_SIZE ? LineOutcome(line, length) : NOT_ENDED;
    if (outcome != NOT_ENDED)
        KeepLine(children[slot].entry, line, length, outcome);
    else
        KeepFailure(children[slot].entry, exitCode, IDS_CHILD_NO_LINE);
    ForgetChild(slot);
}

/* Writes the lines that are known, in the list's order, up to the first that is not. */
static void WriteReadyLines(DWORD *written)
{
    while (*written < list.count && results[*written].outcome != NOT_ENDED)
    {
        WriteOutputLine(results[*written].line, results[*written].length);
        (*written)++;
    }
}

/* The time limit of a child, in ms: its own, and the margin for starting and writing. */
static DWORD ChildLimit(void)
{
    return (AppState.timeoutSeconds + CHILD_MARGIN_SECONDS) * 1000;
}

static void RunChildren(void)
{
    DWORD next = 0;
    DWORD written = 0;
    HANDLE handles[MAX_CHILDREN];
    DWORD i;

    for (;;)
    {
        DWORD wait = ChildLimit();
        DWORD now;

        /* What came for the window first: a wait wakes only for what comes after it. */
        PumpResultsWindow(&window);
        while (running < MAX_CHILDREN && next < list.count && !IsResultsWindowClosed(&window))
        {
            if (!list.entries[next].valid)
                KeepFailure(next, ERROR_INVALID_COMPUTERNAME, 0);
            else if (StartChild(next))
                ShowRowRunning(&window, next);
            next++;
            /* A burst of starts takes seconds on a loaded console: the window answers meanwhile. */
            PumpResultsWindow(&window);
        }
        WriteReadyLines(&written);
        ShowCounts(&window, &counts, 0);
        if (running == 0)
            break;

        /* Until the first child ends, a message comes, or the next limit passes. */
        now = GetTickCount();
        for (i = 0; i < running; i++)
        {
            DWORD spent = now - children[i].started;
            DWORD left = spent < ChildLimit() ? ChildLimit() - spent : 0;

            handles[i] = children[i].process;
            if (left < wait)
                wait = left;
        }
        MsgWaitForMultipleObjects(running, handles, FALSE, wait, QS_ALLINPUT);

        /* Every child that has ended, not only the one the wait names: it names the first in
         * the array, and one further on could wait behind ever new ones, until its limit
         * passed although it had ended. */
        for (i = running; i > 0; i--)
        {
            if (WaitForSingleObject(children[i - 1].process, 0) == WAIT_OBJECT_0)
                CollectChild(i - 1);
        }

        /* A child past its limit is given up, never killed: it may be inside a write on its
         * machine, and ending it there would leave that write's outcome unknown. Its line says
         * that it may still change the machine. */
        now = GetTickCount();
        for (i = running; i > 0; i--)
        {
            if (now - children[i - 1].started >= ChildLimit())
            {
                KeepFailure(children[i - 1].entry, ERROR_TIMEOUT, IDS_CHILD_TIMED_OUT);
                ForgetChild(i - 1);
            }
        }
        /* The counts as the rows now stand, before the window paints them. */
        ShowCounts(&window, &counts, 0);
    }

    /* Closed early: what was never started is no "as asked". */
    for (; next < list.count; next++)
        KeepFailure(next, 0, IDS_LIST_NOT_DONE);
    WriteReadyLines(&written);
}

/* The run's own output is no child's: one that a child held open would keep a pipe that reads
 * it open for as long as that child runs, however long the run gave it. Looked up rather than
 * imported: Windows 95, 98 and Me lack the function, and Kelvra must still start there to say
 * that it does not support them. */
static void KeepStandardHandles(void)
{
    typedef BOOL(WINAPI * SetHandleInformationFunction)(HANDLE, DWORD, DWORD);
    static const DWORD standard[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    SetHandleInformationFunction setInformation =
        (SetHandleInformationFunction)(void *)GetProcAddress(GetModuleHandleA("KERNEL32.DLL"),
                                                             "SetHandleInformation");
    DWORD i;

    for (i = 0; setInformation != NULL && i < 3; i++)
        setInformation(GetStdHandle(standard[i]), HANDLE_FLAG_INHERIT, 0);
}

int RunMachineList(BOOL *linesWritten)
{
    char path[MAX_PATH];
    char programPath[MAX_PATH + 1];
    DWORD length = AppState.computerNameLength;
    DWORD programLength;
    LONG result;
    DWORD i;

    KeepStandardHandles();
    *linesWritten = 0;

    if (length == 0 || length >= MAX_PATH)
    {
        RecordFailure(length == 0 ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
        return 2;
    }
    for (i = 0; i < length; i++)
        path[i] = AppState.computerName[i];
    path[length] = '\0';
    result = ReadMachineList(path, &list);
    if (result != ERROR_SUCCESS)
    {
        RecordFailure(result);
        return 2;
    }
    if (list.count == 0)
    {
        FreeMachineList(&list);
        RecordFailureText(IDS_LIST_EMPTY);
        return 2;
    }
    results = (MachineResult *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                         list.count * sizeof(MachineResult));
    if (results == NULL)
    {
        FreeMachineList(&list);
        RecordFailure(ERROR_NOT_ENOUGH_MEMORY);
        return 2;
    }
    ZeroMemory(&counts, sizeof(counts));
    counts.total = list.count;

    *linesWritten = 1;
    if (AppState.autoQuit != 1)
    {
        programLength = GetModuleFileNameA(NULL, programPath, MAX_PATH);
        programPath[programLength < MAX_PATH ? programLength : MAX_PATH] = '\0';
        OpenResultsWindow(&window, list.entries, list.count, programPath);
    }
    RunChildren();
    /* The rows stay on show until the person closes the window; one who closed it early has
     * seen enough. */
    if (window.window != NULL)
    {
        if (!IsResultsWindowClosed(&window))
            ShowCounts(&window, &counts, 1);
        while (!IsResultsWindowClosed(&window))
        {
            WaitMessage();
            PumpResultsWindow(&window);
        }
        CloseResultsWindow(&window);
    }

    for (i = 0; i < list.count; i++)
    {
        if (results[i].line != NULL)
            HeapFree(GetProcessHeap(), 0, results[i].line);
    }
    HeapFree(GetProcessHeap(), 0, results);
    FreeMachineList(&list);
    if (counts.failed > 0)
        return 2;
    return counts.changed > 0 ? 1 : 0;
}

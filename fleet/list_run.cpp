#include <windows.h>

#include "app/app_state.h"
#include "app/report_line.h"
#include "app/target_machine.h"
#include "dialog/results_window.h"
#include "fleet/child_process.h"
#include "fleet/list_run.h"
#include "fleet/machine_list.h"
#include "fleet/restart_request.h"
#include "resources/resource.h"

/* Every kind of input that Windows 2000 knows, for MsgWaitForMultipleObjects: QS_ALLINPUT as
 * its headers had it. Today's headers add QS_RAWINPUT, which came with XP, and Windows 2000
 * refuses the whole wait for it (GetQueueStatus: "Windows 2000: This flag is not supported"). */
#define WINDOWS_2000_ALL_INPUT                                                                     \
    (QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_KEY | QS_POSTMESSAGE | QS_TIMER | QS_PAINT |               \
     QS_SENDMESSAGE | QS_HOTKEY)

/* How often, at the most, the run looks for lines of children that have not ended: a wait can
 * wake for a process that ends, not for a line in a pipe. */
#define LINE_POLL_MS 250

/* What became of one machine: its line, once known, and how it ended. */
struct MachineResult
{
    char *line;
    DWORD length;
    LineOutcomeKind outcome; /* LINE_INCOMPLETE until its line is known */
    /* The console's own machine, changed: its child left the restart to the run, which asks
     * for it once every line is written. */
    BOOL consoleLeft;
};

/* One list run, from the list read to the last line written: made by RunMachineList and
 * handed to every step, so that nothing of it outlives the run or reaches the next. */
struct ListRun
{
    char program[MAX_PATH]; /* Kelvra's own path, which each child is started from */
    MachineList list;
    MachineResult *results;
    ChildProcess *children; /* MAX_CHILDREN of them, the first running in use */
    DWORD running;
    DWORD next;    /* the first machine of the list not started yet */
    DWORD written; /* the machines whose lines are written, in the list's order */
    ListCounts counts;
    /* A machine was changed but not restarted as asked: Windows refused the request, or its
     * run could not tell whether it is the console. Its line says "changed", and the run's
     * exit code must still say that something needs a person. */
    BOOL restartMissed;
    ResultsWindow window; /* not open under /QUIT */
};

/* Keeps line as the machine's result, outcome as it says. */
static void KeepLine(ListRun *run, DWORD entry, const char *line, DWORD length,
                     LineOutcomeKind outcome)
{
    char *copy = (char *)HeapAlloc(GetProcessHeap(), 0, length);
    DWORD i;

    if (copy != NULL)
    {
        for (i = 0; i < length; i++)
            copy[i] = line[i];
    }
    run->results[entry].line = copy;
    run->results[entry].length = copy != NULL ? length : 0;
    run->results[entry].outcome = outcome;
    ShowRowResult(&run->window, entry, copy, run->results[entry].length);
    if (outcome == LINE_CHANGED)
        run->counts.changed++;
    else if (outcome == LINE_AS_ASKED)
        run->counts.asAsked++;
    else
        run->counts.failed++;
    if (outcome == LINE_FAILED && LineCode(line, length) == ERROR_TIMEOUT)
        run->counts.timedOut++;
}

/* A failed line of the run's own for a machine: Windows' text for code, or, with a stringId,
 * Kelvra's own text. codeGiven writes a code of 0 too, as a child's exit code. */
static void KeepFailure(ListRun *run, DWORD entry, DWORD code, BOOL codeGiven, UINT stringId)
{
    char line[REPORT_LINE_SIZE];
    const MachineEntry *machine = &run->list.entries[entry];

    if (stringId != 0)
        RecordFailureText(stringId);
    else
        FormatErrorText(code);
    KeepLine(run, entry, line,
             FormatReportLine(line, machine->text, machine->textLength, OUTCOME_FAILED,
                              STATE_UNKNOWN, STATE_UNKNOWN, 0, code, codeGiven,
                              AppState.messageText),
             LINE_FAILED);
}

/* The child's line, its machine's field given back as the list wrote it, so that every line of
 * the report can be found in the list: "\\\\pc042" stays so, and so does its letter case. */
static void KeepChildLine(ListRun *run, const ChildProcess *child, LineOutcomeKind outcome)
{
    char line[REPORT_LINE_SIZE + 2 * COMPUTER_NAME_LIMIT + 2];
    const MachineEntry *machine = &run->list.entries[child->entry];

    KeepLine(
        run, child->entry, line,
        ReplaceMachineField(line, machine->text, machine->textLength, child->line, child->length),
        outcome);
}

/* Takes the child in slot off the list of running ones. */
static void ForgetChild(ListRun *run, DWORD slot)
{
    CloseChildProcess(&run->children[slot]);
    run->children[slot] = run->children[--run->running];
}

/* Starts the child for the next machine of the list, or keeps its failed line. */
static void StartNext(ListRun *run)
{
    DWORD entry = run->next++;
    DWORD error;

    if (!run->list.entries[entry].valid)
    {
        KeepFailure(run, entry, ERROR_INVALID_COMPUTERNAME, 0, 0);
        return;
    }
    error = StartChildProcess(&run->children[run->running], run->program, &run->list.entries[entry],
                              entry);
    if (error != ERROR_SUCCESS)
        KeepFailure(run, entry, error, 0, 0);
    else
    {
        run->running++;
        ShowRowRunning(&run->window, entry);
    }
}

/* Takes every child whose line is whole, ended or not: a child whose worker still waits on a
 * machine that is off may take long to end after its line (Windows ends a process only once
 * its pending network I/O is cancelled), and it has nothing more to say. A child that has
 * ended without a whole line gets a failed line with its exit code, whatever that is. */
static void CollectChildren(ListRun *run)
{
    DWORD i;

    for (i = run->running; i > 0; i--)
    {
        ChildProcess *child = &run->children[i - 1];
        BOOL ended = WaitForSingleObject(child->process, 0) == WAIT_OBJECT_0;
        /* Read after the test: what an ended child wrote is all in the pipe by then. */
        LineOutcomeKind outcome = ReadChildLine(child);
        DWORD exitCode = 0;

        if (outcome != LINE_INCOMPLETE)
        {
            KeepChildLine(run, child, outcome);
            /* The child says so in its line, which is all the run may wait for. */
            run->results[child->entry].consoleLeft =
                outcome == LINE_CHANGED && IsLineText(child->line, child->length, IDS_RESTART_LAST);
            if (outcome == LINE_CHANGED &&
                (LineCode(child->line, child->length) != 0 ||
                 IsLineText(child->line, child->length, IDS_CONSOLE_UNKNOWN)))
                run->restartMissed = 1;
        }
        else if (ended)
        {
            GetExitCodeProcess(child->process, &exitCode);
            KeepFailure(run, child->entry, exitCode, 1, IDS_CHILD_NO_LINE);
        }
        else
            continue;
        ForgetChild(run, i - 1);
    }
}

/* Writes the lines that are known, in the list's order, up to the first that is not. */
static void WriteReadyLines(ListRun *run)
{
    while (run->written < run->list.count && run->results[run->written].outcome != LINE_INCOMPLETE)
    {
        WriteOutputLine(run->results[run->written].line, run->results[run->written].length);
        run->written++;
    }
}

/* The time limit of a child, in ms: its own, and the margin for starting and writing. */
static DWORD ChildLimit(void)
{
    return (AppState.timeoutSeconds + CHILD_MARGIN_SECONDS) * 1000;
}

/* Waits until a child ends, a message comes, a child's limit passes or it is time to look for
 * lines written by children that have not ended. Returns 1, or 0 when the wait failed. */
static BOOL WaitForChildren(ListRun *run)
{
    HANDLE handles[MAX_CHILDREN];
    DWORD wait = LINE_POLL_MS;
    DWORD now = GetTickCount();
    DWORD i;

    for (i = 0; i < run->running; i++)
    {
        DWORD spent = now - run->children[i].started;
        DWORD left = spent < ChildLimit() ? ChildLimit() - spent : 0;

        handles[i] = run->children[i].process;
        if (left < wait)
            wait = left;
    }
    return MsgWaitForMultipleObjects(run->running, handles, FALSE, wait, WINDOWS_2000_ALL_INPUT) !=
           WAIT_FAILED;
}

/* A child past its limit is given up, never killed: it may be inside a write on its machine,
 * and ending it there would leave that write's outcome unknown. Its line says that it may still
 * change the machine. */
static void GiveUpLateChildren(ListRun *run)
{
    DWORD now = GetTickCount();
    DWORD i;

    for (i = run->running; i > 0; i--)
    {
        if (now - run->children[i - 1].started >= ChildLimit())
        {
            KeepFailure(run, run->children[i - 1].entry, ERROR_TIMEOUT, 0, IDS_CHILD_TIMED_OUT);
            ForgetChild(run, i - 1);
        }
    }
}

static void RunChildren(ListRun *run)
{
    DWORD waitError = ERROR_SUCCESS;

    for (;;)
    {
        /* What came for the window first: a wait wakes only for what comes after it. */
        PumpResultsWindow(&run->window);
        while (run->running < MAX_CHILDREN && run->next < run->list.count &&
               !IsResultsWindowClosed(&run->window))
        {
            StartNext(run);
            /* A burst of starts takes seconds on a loaded console: the window answers
             * meanwhile. */
            PumpResultsWindow(&run->window);
        }
        WriteReadyLines(run);
        ShowCounts(&run->window, &run->counts, 0);
        if (run->running == 0)
            break;
        if (!WaitForChildren(run))
        {
            waitError = GetLastError();
            break;
        }
        CollectChildren(run);
        GiveUpLateChildren(run);
        /* The counts as the rows now stand, before the window paints them. */
        ShowCounts(&run->window, &run->counts, 0);
    }

    /* A wait that fails would fail again at once, and a loop around it would spin while the
     * children run: the run stops, and says why for each machine it has no line for. */
    if (waitError != ERROR_SUCCESS)
    {
        while (run->running > 0)
        {
            KeepFailure(run, run->children[0].entry, waitError, 1, IDS_LIST_WAIT_FAILED);
            ForgetChild(run, 0);
        }
        while (run->next < run->list.count)
            KeepFailure(run, run->next++, waitError, 1, IDS_LIST_WAIT_FAILED);
    }
    /* Closed early: what was never started is no "as asked". */
    while (run->next < run->list.count)
        KeepFailure(run, run->next++, 0, 0, IDS_LIST_NOT_DONE);
    WriteReadyLines(run);
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

/* Kelvra's own path, for every child, found once: a path that GetModuleFileNameA cut at
 * MAX_PATH, or whose characters the ANSI code page lacks (they come back as '?' or a
 * look-alike, and name no file), would fail every child's start, one failed line per machine
 * for one cause. The path must come back from the ANSI code page as the system has it. */
static DWORD FindProgram(ListRun *run)
{
    WCHAR wide[MAX_PATH + 1];
    WCHAR back[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(NULL, run->program, MAX_PATH);
    DWORD wideLength;
    DWORD i;

    if (length == 0)
        return GetLastError();
    wideLength = GetModuleFileNameW(NULL, wide, MAX_PATH + 1);
    if (wideLength == 0)
        return GetLastError();
    if (length >= MAX_PATH || wideLength >= MAX_PATH)
        return ERROR_FILENAME_EXCED_RANGE;
    run->program[length] = '\0';
    if ((DWORD)MultiByteToWideChar(CP_ACP, 0, run->program, (int)length, back, MAX_PATH) !=
        wideLength)
        return ERROR_NO_UNICODE_TRANSLATION;
    for (i = 0; i < wideLength; i++)
    {
        if (back[i] != wide[i])
            return ERROR_NO_UNICODE_TRANSLATION;
    }
    return ERROR_SUCCESS;
}

/* Reads the list that AppState names into run. Returns 1, or 0 with the failure recorded. */
static BOOL OpenList(ListRun *run)
{
    char path[MAX_PATH];
    DWORD length = AppState.computerNameLength;
    LONG result;
    DWORD i;

    if (length == 0 || length >= MAX_PATH)
    {
        RecordFailure(length == 0 ? ERROR_INVALID_NAME : ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    for (i = 0; i < length; i++)
        path[i] = AppState.computerName[i];
    path[length] = '\0';
    result = ReadMachineList(path, &run->list);
    if (result != ERROR_SUCCESS)
    {
        RecordFailure(result);
        return 0;
    }
    if (run->list.count == 0)
    {
        RecordFailureText(IDS_LIST_EMPTY);
        return 0;
    }
    run->results = (MachineResult *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                              run->list.count * sizeof(MachineResult));
    run->children =
        (ChildProcess *)HeapAlloc(GetProcessHeap(), 0, MAX_CHILDREN * sizeof(ChildProcess));
    if (run->results == NULL || run->children == NULL)
    {
        RecordFailure(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return 1;
}

/* Gives back what the run took. */
static void CloseList(ListRun *run)
{
    DWORD i;

    for (i = 0; run->results != NULL && i < run->list.count; i++)
    {
        if (run->results[i].line != NULL)
            HeapFree(GetProcessHeap(), 0, run->results[i].line);
    }
    if (run->results != NULL)
        HeapFree(GetProcessHeap(), 0, run->results);
    if (run->children != NULL)
        HeapFree(GetProcessHeap(), 0, run->children);
    FreeMachineList(&run->list);
}

/* The rows stay on show until the person closes the window; one who closed it early has seen
 * enough. */
static void ShowUntilClosed(ListRun *run)
{
    if (run->window.window == NULL)
        return;
    if (!IsResultsWindowClosed(&run->window))
        ShowCounts(&run->window, &run->counts, 1);
    while (!IsResultsWindowClosed(&run->window))
    {
        WaitMessage();
        PumpResultsWindow(&run->window);
    }
    CloseResultsWindow(&run->window);
}

int RunMachineList(BOOL *linesWritten)
{
    ListRun run;
    DWORD error;
    int restartExitCode = 0;
    DWORD i;

    ZeroMemory(&run, sizeof(run));
    KeepStandardHandles();
    *linesWritten = 0;

    error = FindProgram(&run);
    if (error != ERROR_SUCCESS)
    {
        /* Windows' code, and Kelvra's own words for what to do about it. */
        RecordFailureText(IDS_PROGRAM_PATH_UNUSABLE);
        AppState.failureCode = error;
        return 2;
    }
    if (!OpenList(&run))
    {
        CloseList(&run);
        return 2;
    }
    run.counts.total = run.list.count;

    *linesWritten = 1;
    if (AppState.autoQuit != 1)
        OpenResultsWindow(&run.window, run.list.entries, run.list.count, run.program);
    RunChildren(&run);
    /* Every line is written: now, and only now, the console's own machine. */
    for (i = 0; i < run.list.count; i++)
    {
        if (run.results[i].consoleLeft)
            restartExitCode =
                RestartConsoleLast(run.results[i].line, run.results[i].length, restartExitCode);
    }
    ShowUntilClosed(&run);
    CloseList(&run);
    if (run.counts.failed > 0 || run.restartMissed || restartExitCode == 2)
        return 2;
    return run.counts.changed > 0 ? 1 : 0;
}

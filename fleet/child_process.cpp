#include <windows.h>

#include "app/app_state.h"
#include "app/target_machine.h"
#include "fleet/child_process.h"
#include "fleet/restart_request.h"

/* Appends text to the command line being built in buffer, of size bytes. */
static void AppendArgument(char *buffer, DWORD size, DWORD *length, const char *text, DWORD count)
{
    DWORD i;

    for (i = 0; i < count && text[i] != '\0' && *length + 1 < size; i++)
        buffer[(*length)++] = text[i];
    buffer[*length] = '\0';
}

/* The child's command line: the program, the machine, the run's own options, /QUIT. */
static void ChildCommandLine(char *buffer, DWORD size, const char *program,
                             const MachineEntry *machine)
{
    char timeout[24];
    char restart[CHILD_RESTART_OPTION_SIZE];
    DWORD length = 0;

    AppendArgument(buffer, size, &length, "\"", 1);
    AppendArgument(buffer, size, &length, program, MAX_PATH);
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
    /* The run's /RESTART, and /CONSOLELAST, which keeps the console's own machine from
     * restarting before the list is done. */
    ChildRestartOption(restart);
    AppendArgument(buffer, size, &length, restart, sizeof(restart));
}

DWORD StartChildProcess(ChildProcess *child, const char *program, const MachineEntry *machine,
                        DWORD entry)
{
    char commandLine[MAX_PATH + COMPUTER_NAME_LIMIT + 128 + CHILD_RESTART_OPTION_SIZE];
    HANDLE readEnd;
    HANDLE writeEnd;
    HANDLE inherited;
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    BOOL started;
    DWORD error;

    ChildCommandLine(commandLine, sizeof(commandLine), program, machine);
    if (!CreatePipe(&readEnd, &writeEnd, NULL, REPORT_LINE_SIZE * 2))
        return GetLastError();
    /* Only this child may hold the write end: one that another child held too would not end
     * when this one does. The run starts one child at a time, on one thread, so the handle is
     * inheritable only while this child is being made. */
    if (!DuplicateHandle(GetCurrentProcess(), writeEnd, GetCurrentProcess(), &inherited, 0, TRUE,
                         DUPLICATE_SAME_ACCESS))
    {
        error = GetLastError();
        CloseHandle(readEnd);
        CloseHandle(writeEnd);
        return error;
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
        return error;
    }
    CloseHandle(process.hThread);
    child->process = process.hProcess;
    child->output = readEnd;
    child->entry = entry;
    child->started = GetTickCount();
    child->length = 0;
    return ERROR_SUCCESS;
}

LineOutcomeKind ReadChildLine(ChildProcess *child)
{
    DWORD available = 0;
    DWORD read;

    /* Only what is there: a read of an anonymous pipe would wait for more. */
    while (child->length < sizeof(child->line) &&
           PeekNamedPipe(child->output, NULL, 0, NULL, &available, NULL) && available > 0 &&
           ReadFile(child->output, child->line + child->length, sizeof(child->line) - child->length,
                    &read, NULL) &&
           read > 0)
        child->length += read;
    if (child->length > REPORT_LINE_SIZE)
        return LINE_INCOMPLETE;
    return LineOutcome(child->line, child->length);
}

void CloseChildProcess(ChildProcess *child)
{
    CloseHandle(child->process);
    CloseHandle(child->output);
    child->process = NULL;
    child->output = NULL;
}

#include <windows.h>

#include "app/app_state.h"
#include "app/report_line.h"
#include "app/target_machine.h"
#include "store/adapter_settings.h"

/* The line, as it is built. */
struct LineBuilder
{
    char *text;
    DWORD length;
};

static void Append(LineBuilder *line, const char *text, DWORD length)
{
    DWORD i;

    for (i = 0; i < length; i++)
        line->text[line->length++] = text[i];
}

static void AppendText(LineBuilder *line, const char *text)
{
    Append(line, text, (DWORD)lstrlenA(text));
}

/* A field as CSV writes it: in quotes, with each quote doubled, when it holds a comma or a
 * quote. Line breaks inside a system text become blanks, so that the record stays one line,
 * and the line break that ends such a text is left off. */
static void AppendField(LineBuilder *line, const char *field, DWORD length)
{
    BOOL quoted = 0;
    DWORD i;

    while (length > 0 &&
           (field[length - 1] == '\r' || field[length - 1] == '\n' || field[length - 1] == ' '))
        length--;
    for (i = 0; i < length; i++)
    {
        if (field[i] == ',' || field[i] == '"')
            quoted = 1;
    }
    if (quoted)
        Append(line, "\"", 1);
    for (i = 0; i < length; i++)
    {
        char c = field[i];

        if (c == '"')
            Append(line, "\"", 1);
        if (c == '\r' || c == '\n')
            c = ' ';
        Append(line, &c, 1);
    }
    if (quoted)
        Append(line, "\"", 1);
}

static void AppendState(LineBuilder *line, LONG featureOn)
{
    if (featureOn == 1)
        AppendText(line, "on");
    else if (featureOn == 0)
        AppendText(line, "off");
}

static void AppendNumber(LineBuilder *line, DWORD number)
{
    char digits[10];
    DWORD count = 0;

    do
    {
        digits[count++] = (char)('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (count > 0)
        Append(line, &digits[--count], 1);
}

DWORD FormatReportLine(char *text, const char *machine, DWORD machineLength, const char *outcome,
                       LONG mediaSenseOn, LONG apipaOn, DWORD apipaApart, DWORD code,
                       const char *reason)
{
    LineBuilder line = {text, 0};

    /* A name too long to be one is left out: the text says it was refused. */
    if (machineLength <= COMPUTER_NAME_LIMIT)
        AppendField(&line, machine, machineLength);
    AppendText(&line, ",");
    AppendText(&line, outcome);
    AppendText(&line, ",");
    AppendState(&line, mediaSenseOn);
    AppendText(&line, ",");
    AppendState(&line, apipaOn);
    if (apipaApart != 0 && apipaOn != STATE_UNKNOWN)
    {
        /* "on (off on 2 adapters)": the first word stays the state in Parameters. */
        AppendText(&line, " (");
        AppendState(&line, !apipaOn);
        AppendText(&line, " on ");
        AppendNumber(&line, apipaApart);
        AppendText(&line, apipaApart == 1 ? " adapter)" : " adapters)");
    }
    AppendText(&line, ",");
    return AppendReportLineEnd(text, line.length, code, reason);
}

DWORD AppendReportLineEnd(char *text, DWORD length, DWORD code, const char *reason)
{
    LineBuilder line = {text, length};

    if (code != 0)
        AppendNumber(&line, code);
    AppendText(&line, ",");
    if (reason != NULL)
        AppendField(&line, reason, (DWORD)lstrlenA(reason));
    AppendText(&line, "\r\n");
    return line.length;
}

DWORD BuildReportLine(char *text)
{
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    const char *machine = AppState.computerName;
    DWORD length = AppState.computerNameLength;
    const char *outcome = OUTCOME_AS_ASKED;
    DWORD code = 0;
    BOOL reported = 0;

    if (machine == NULL)
    {
        length = sizeof(name);
        if (!GetComputerNameA(name, &length))
            length = 0;
        machine = name;
    }
    /* A run that failed in anything says so, even beside a write that succeeded: a script
     * must look at such a machine before it restarts it. */
    if (AppState.runFailed)
        outcome = OUTCOME_FAILED;
    else if (AppState.valueWritten)
        outcome = OUTCOME_CHANGED;
    /* A line that is no failure says what became of a restart request, where there was one:
     * the value stays written whatever Windows answered. */
    if (AppState.runFailed || AppState.restartReported)
    {
        code = AppState.runFailed ? AppState.failureCode : AppState.restartCode;
        reported = 1;
    }
    return FormatReportLine(text, machine, length, outcome, AppState.mediaSenseOn, AppState.apipaOn,
                            CountAdaptersApart(AppState.adapterSettings, AppState.apipaOn), code,
                            reported ? AppState.messageText : NULL);
}

void WriteOutputLine(const char *line, DWORD length)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written;
    DWORD type;

    if (output == NULL || output == INVALID_HANDLE_VALUE)
        return;
    /* A file or a pipe is what a script reads; a console shows nobody a GUI program's output,
     * and a run started from an icon has nothing at all. */
    type = GetFileType(output);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE)
        return;
    /* One call, so that lines of runs that share a log never interleave inside a line. */
    WriteFile(output, line, length, &written, NULL);
}

void WriteReportLine(void)
{
    char line[REPORT_LINE_SIZE];

    WriteOutputLine(line, BuildReportLine(line));
}

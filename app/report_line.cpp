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
 * and the line break that ends such a text is left off; any other control character (a NUL or
 * a tab in a list's line) becomes a '?', so that no reader of the report stops or splits
 * there. */
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
        else if ((unsigned char)c < ' ')
            c = '?';
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

/* The machine's field: a name too long to be one keeps a start that a reader can find in the
 * list or the command line, marked as cut; the text says that it was refused. */
static void AppendMachine(LineBuilder *line, const char *machine, DWORD length)
{
    DWORD kept = 0;

    if (length <= COMPUTER_NAME_LIMIT)
    {
        AppendField(line, machine, length);
        return;
    }
    /* Never half of a double-byte character. */
    while (kept < MACHINE_FIELD_CUT)
        kept += IsDBCSLeadByte((BYTE)machine[kept]) && kept + 1 < MACHINE_FIELD_CUT ? 2 : 1;
    AppendField(line, machine, kept);
    AppendText(line, "...");
}

DWORD FormatReportLine(char *text, const char *machine, DWORD machineLength, const char *outcome,
                       LONG mediaSenseOn, LONG apipaOn, DWORD apipaApart, DWORD code,
                       BOOL codeGiven, const char *reason)
{
    LineBuilder line = {text, 0};

    AppendMachine(&line, machine, machineLength);
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
    return AppendReportLineEnd(text, line.length, code, codeGiven, reason);
}

DWORD AppendReportLineEnd(char *text, DWORD length, DWORD code, BOOL codeGiven, const char *reason)
{
    LineBuilder line = {text, length};

    if (code != 0 || codeGiven)
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
                            CountAdaptersApart(AppState.adapterSettings, AppState.apipaOn), code, 0,
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
    /* One call, so that lines of runs that share a log never interleave inside a line. A file
     * is written at its end, wherever this handle's own position is: runs that opened one log
     * with ">>" before either wrote would otherwise write at the same place, one line over the
     * other. Both offsets 0xFFFFFFFF ask for that, as FILE_APPEND_DATA access would (WriteFile's
     * reference); a pipe has no position, and is written as it is. */
    if (type == FILE_TYPE_DISK)
    {
        OVERLAPPED atEnd;

        ZeroMemory(&atEnd, sizeof(atEnd));
        atEnd.Offset = 0xFFFFFFFF;
        atEnd.OffsetHigh = 0xFFFFFFFF;
        WriteFile(output, line, length, &written, &atEnd);
    }
    else
        WriteFile(output, line, length, &written, NULL);
}

DWORD MachineFieldEnd(const char *line, DWORD length)
{
    DWORD i = 0;
    BOOL quoted = 0;

    while (i < length && (quoted || line[i] != ','))
    {
        if (line[i] == '"')
            quoted = !quoted;
        i++;
    }
    return i;
}

LineOutcomeKind LineOutcome(const char *line, DWORD length)
{
    static const char *const outcomes[] = {OUTCOME_FAILED, OUTCOME_CHANGED, OUTCOME_AS_ASKED};
    static const LineOutcomeKind kinds[] = {LINE_FAILED, LINE_CHANGED, LINE_AS_ASKED};
    DWORD i;
    DWORD o;

    if (length < 2 || line[length - 2] != '\r' || line[length - 1] != '\n')
        return LINE_INCOMPLETE;
    for (i = 0; i + 2 < length; i++)
    {
        if (line[i] == '\r' || line[i] == '\n')
            return LINE_INCOMPLETE;
    }
    i = MachineFieldEnd(line, length) + 1;
    for (o = 0; o < sizeof(outcomes) / sizeof(outcomes[0]); o++)
    {
        DWORD n = (DWORD)lstrlenA(outcomes[o]);
        DWORD k = 0;

        while (k < n && i + k < length && line[i + k] == outcomes[o][k])
            k++;
        if (k == n && i + n < length && line[i + n] == ',')
            return kinds[o];
    }
    return LINE_INCOMPLETE;
}

DWORD LineCode(const char *line, DWORD length)
{
    DWORD i = MachineFieldEnd(line, length);
    DWORD commas = 0;
    DWORD code = 0;

    /* The outcome and the two states hold no comma. */
    while (i < length && commas < 4)
    {
        if (line[i] == ',')
            commas++;
        i++;
    }
    while (i < length && line[i] >= '0' && line[i] <= '9')
        code = code * 10 + (DWORD)(line[i++] - '0');
    return code;
}

BOOL IsLineText(const char *line, DWORD length, UINT stringId)
{
    char text[MESSAGE_TEXT_SIZE];
    DWORD i = MachineFieldEnd(line, length);
    DWORD commas = 0;
    DWORD k;

    /* The outcome, the two states and the code hold no comma. */
    while (i < length && commas < 5)
    {
        if (line[i] == ',')
            commas++;
        i++;
    }
    if (commas < 5 || LoadStringA(AppState.instance, stringId, text, sizeof(text)) <= 0)
        return 0;
    for (k = 0; text[k] != '\0'; k++)
    {
        if (i + k >= length || line[i + k] != text[k])
            return 0;
    }
    return i + k + 2 == length;
}

DWORD ReplaceMachineField(char *text, const char *machine, DWORD machineLength, const char *line,
                          DWORD length)
{
    LineBuilder out = {text, 0};
    DWORD rest = MachineFieldEnd(line, length);

    AppendMachine(&out, machine, machineLength);
    Append(&out, line + rest, length - rest);
    return out.length;
}

void WriteReportLine(void)
{
    char line[REPORT_LINE_SIZE];

    WriteOutputLine(line, BuildReportLine(line));
}

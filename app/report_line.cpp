#include <windows.h>

#include "app/app_state.h"
#include "app/report_line.h"
#include "app/target_machine.h"

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

DWORD BuildReportLine(char *text)
{
    LineBuilder line = {text, 0};

    /* A name too long to be one is left out: the text says it was refused. */
    if (AppState.computerName != NULL)
    {
        if (AppState.computerNameLength <= COMPUTER_NAME_LIMIT)
            AppendField(&line, AppState.computerName, AppState.computerNameLength);
    }
    else
    {
        char name[MAX_COMPUTERNAME_LENGTH + 1];
        DWORD size = sizeof(name);

        if (GetComputerNameA(name, &size))
            AppendField(&line, name, size);
    }
    /* A run that failed in anything says so, even beside a write that succeeded: a script
     * must look at such a machine before it restarts it. */
    if (AppState.runFailed)
        AppendText(&line, ",failed,");
    else if (AppState.valueWritten)
        AppendText(&line, ",changed,");
    else
        AppendText(&line, ",as asked,");
    AppendState(&line, AppState.mediaSenseOn);
    AppendText(&line, ",");
    AppendState(&line, AppState.apipaOn);
    AppendText(&line, ",");
    if (AppState.runFailed)
    {
        if (AppState.failureCode != 0)
            AppendNumber(&line, AppState.failureCode);
        AppendText(&line, ",");
        AppendField(&line, AppState.messageText, (DWORD)lstrlenA(AppState.messageText));
    }
    else
        AppendText(&line, ",");
    AppendText(&line, "\r\n");
    return line.length;
}

void WriteReportLine(void)
{
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    char line[REPORT_LINE_SIZE];
    DWORD length;
    DWORD written;
    DWORD type;

    if (output == NULL || output == INVALID_HANDLE_VALUE)
        return;
    /* A file or a pipe is what a script reads; a console shows nobody a GUI program's output,
     * and a run started from an icon has nothing at all. */
    type = GetFileType(output);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE)
        return;
    length = BuildReportLine(line);
    /* One call, so that lines of runs that share a log never interleave inside a line. */
    WriteFile(output, line, length, &written, NULL);
}

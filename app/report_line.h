/*
 * The report line: when standard output is a file or a pipe, every run ends by writing one
 * line there, for a script to keep:
 *     machine,outcome,media sense,apipa,code,text
 * machine as /COMPUTER= named it (without "\\\\"), or this machine's own name; outcome
 * "failed", "changed" or "as asked"; each feature "on", "off" or empty where it could not be
 * read, APIPA followed by "(off on 2 adapters)" where adapters have a setting of their own in
 * the other state; the Windows error that made the run fail and its text, or two empty fields.
 */
#ifndef KELVRA_REPORT_LINE_H
#define KELVRA_REPORT_LINE_H

#include <windows.h>

/* Room for the longest line: a name of 255 characters and a text of 1022, each with every
 * character a quote doubled, the outcome, the states with the adapters apart, a ten-digit code,
 * commas and CR LF. */
#define REPORT_LINE_SIZE (2 * 255 + 2 * 1022 + 96)

#define OUTCOME_FAILED "failed"
#define OUTCOME_CHANGED "changed"
#define OUTCOME_AS_ASKED "as asked"

/* How much of a machine's field longer than any name the line keeps, before "...". */
#define MACHINE_FIELD_CUT 64

/* A line of these fields into line, of REPORT_LINE_SIZE bytes: a feature STATE_UNKNOWN, a code
 * 0 (unless codeGiven, as for a process's exit code) and a reason NULL leave their fields
 * empty. apipaApart adapters with a setting of their own in the other state follow the APIPA
 * state in brackets: "on (off on 1 adapter)". A machine longer than a name can be is cut, and
 * marked so. Returns its length, CR LF included, with no zero after it. */
DWORD FormatReportLine(char *line, const char *machine, DWORD machineLength, const char *outcome,
                       LONG mediaSenseOn, LONG apipaOn, DWORD apipaApart, DWORD code,
                       BOOL codeGiven, const char *reason);

/* The line's last two fields, code (empty for 0 unless codeGiven) and reason, and its CR LF,
 * appended to the length bytes in line, which hold a line's first four fields and their commas.
 * Returns the new length. */
DWORD AppendReportLineEnd(char *line, DWORD length, DWORD code, BOOL codeGiven, const char *reason);

/* Builds the line of what AppState records into line, as FormatReportLine does. */
DWORD BuildReportLine(char *line);

/* What a text says of the run that wrote it: LINE_INCOMPLETE unless it is one whole line of
 * Kelvra's, ending in CR LF, whose second field is an outcome. */
enum LineOutcomeKind
{
    LINE_INCOMPLETE,
    LINE_FAILED,
    LINE_CHANGED,
    LINE_AS_ASKED
};
LineOutcomeKind LineOutcome(const char *line, DWORD length);

/* The code of a whole line (its fifth field), 0 where that is empty. */
DWORD LineCode(const char *line, DWORD length);

/* Whether the text of a whole line (its sixth field) is string-table entry stringId. */
BOOL IsLineText(const char *line, DWORD length, UINT stringId);

/* Where the machine's field of a line ends: the index of the comma after it, or length. */
DWORD MachineFieldEnd(const char *line, DWORD length);

/* The line of length bytes with its machine's field replaced by machine, as FormatReportLine
 * writes that field, into text, which has room for the line and a field of
 * 2 * COMPUTER_NAME_LIMIT + 2 bytes. Returns the new line's length. */
DWORD ReplaceMachineField(char *text, const char *machine, DWORD machineLength, const char *line,
                          DWORD length);

/* Writes length bytes of line to standard output with one WriteFile call, when that is a file
 * (at its end) or a pipe; to a console, or with no standard output, it writes nothing. */
void WriteOutputLine(const char *line, DWORD length);

/* Writes the line of what AppState records, as WriteOutputLine does. */
void WriteReportLine(void);

#endif

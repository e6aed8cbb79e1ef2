/*
 * The window of a list run without /QUIT: a progress bar, the counts, and a row per machine of
 * the list, in its order, that says whether the machine waits, runs or how it ended and why.
 * Its rows are read from the run's own records when they are drawn: the window copies no text.
 * Copy puts the ended rows' report lines on the clipboard; a double-click (or Enter) on a row
 * starts Kelvra for that machine in a process of its own. Close during the run stops it.
 */
#ifndef KELVRA_RESULTS_WINDOW_H
#define KELVRA_RESULTS_WINDOW_H

#include <windows.h>

#include "fleet/machine_list.h"

/* Counts of a list run: machines on the list, and how many of them ended which way; timedOut
 * of the failed ones did not answer within their time limit. */
struct ListCounts
{
    DWORD total;
    DWORD changed;
    DWORD asAsked;
    DWORD failed;
    DWORD timedOut;
};

/* What the window knows of a machine: its report line, once it has one (the run's own copy,
 * never the window's), or since when its child runs. */
struct ResultRow
{
    const char *line;
    DWORD length;
    DWORD started; /* GetTickCount() when its child started */
    DWORD state;   /* ROW_WAITING, ROW_RUNNING or ROW_ENDED */
};

/* The window and all it holds, owned by the run that shows it; zeroed, it is a window that is
 * not open, and every call below then does nothing. */
struct ResultsWindow
{
    HWND window;
    HWND rowsView;
    HICON smallIcon;
    HICON largeIcon;
    BOOL closeAsked;
    BOOL finished;
    const MachineEntry *entries; /* the list's, in its order */
    DWORD count;
    ResultRow *rows;         /* one per entry */
    DWORD *order;            /* the row shown at each place: list order until a column is sorted */
    int sortColumn;          /* -1 while in list order */
    BOOL sortDown;           /* the column sorted the other way, by a second click */
    const char *programPath; /* Kelvra's own, to start it for a row */
    POINT least;             /* the template's size: the window is never made smaller */
};

/* Opens the window, shown, with Kelvra's icon and a row per entry, each "waiting". entries and
 * programPath (zero-terminated) must stay as they are until CloseResultsWindow. Returns 1, or
 * 0 with results zeroed when the window cannot be made: the run then goes on without it. */
BOOL OpenResultsWindow(ResultsWindow *results, const MachineEntry *entries, DWORD count,
                       const char *programPath);

/* The child for the list's entry has started. */
void ShowRowRunning(ResultsWindow *results, DWORD entry);

/* The list's entry has its report line, of length bytes with its CR LF; line must stay as it
 * is until CloseResultsWindow. A NULL line is a row that ended without one. */
void ShowRowResult(ResultsWindow *results, DWORD entry, const char *line, DWORD length);

/* Shows the counts: as the run goes on, or, when finished is 1, as it ended. */
void ShowCounts(ResultsWindow *results, const ListCounts *counts, BOOL finished);

/* 1 once the person has asked to close the window (its Close button or the title bar's). */
BOOL IsResultsWindowClosed(const ResultsWindow *results);

/* Handles what the window's messages ask, without waiting. */
void PumpResultsWindow(ResultsWindow *results);

/* Destroys the window and what it holds, and zeroes results. */
void CloseResultsWindow(ResultsWindow *results);

#endif

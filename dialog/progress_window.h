/*
 * The small window of a list run without /QUIT: how many machines are done, and how each
 * ended, with a Close button that stops the run early.
 */
#ifndef KELVRA_PROGRESS_WINDOW_H
#define KELVRA_PROGRESS_WINDOW_H

#include <windows.h>

/* Counts of a list run: machines on the list, and how many of them ended which way. */
struct ListCounts
{
    DWORD total;
    DWORD changed;
    DWORD asAsked;
    DWORD failed;
};

/* Opens the window, shown, with Kelvra's icon; NULL when it cannot be made. */
HWND OpenProgressWindow(void);

/* Shows the counts: as the run goes on, or, when finished is 1, as it ended. */
void ShowProgress(HWND window, const ListCounts *counts, BOOL finished);

/* 1 once the person has asked to close the window (its Close button or the title bar's). */
BOOL IsProgressWindowClosed(void);

/* Handles what the window's messages ask, without waiting. */
void PumpProgressWindow(HWND window);

/* Destroys the window and what it holds. */
void CloseProgressWindow(HWND window);

#endif

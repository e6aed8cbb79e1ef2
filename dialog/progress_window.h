/*
 * The small window of a list run without /QUIT: how many machines are done, and how each
 * ended, with a Close button that stops the run early.
 */
#ifndef KELVRA_PROGRESS_WINDOW_H
#define KELVRA_PROGRESS_WINDOW_H

#include <windows.h>

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

/* The window of one run: made by OpenProgressWindow, handed to each call, gone with
 * CloseProgressWindow. A run without the window has handle NULL, and every call does nothing. */
struct ProgressWindow
{
    HWND handle;
    BOOL closeAsked; /* the person has asked to close it: its Close button or the title bar's */
    HICON smallIcon;
    HICON largeIcon;
};

/* Opens the window, shown, with Kelvra's icon; window->handle is NULL when it cannot be
 * made. */
void OpenProgressWindow(ProgressWindow *window);

/* Shows the counts: as the run goes on, or, when finished is 1, as it ended. */
void ShowProgress(ProgressWindow *window, const ListCounts *counts, BOOL finished);

/* Handles what the window's messages ask, without waiting. */
void PumpProgressWindow(ProgressWindow *window);

/* Destroys the window and what it holds. */
void CloseProgressWindow(ProgressWindow *window);

#endif

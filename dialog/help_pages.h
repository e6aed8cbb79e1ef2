/*
 * The four help pages of the dialog's text area, stepped through with Back and Next:
 * introduction, Media Sense, APIPA, command line.
 */
#ifndef KELVRA_HELP_PAGES_H
#define KELVRA_HELP_PAGES_H

#include <windows.h>

#define PAGE_COUNT 4
#define PAGE_APIPA 2

/* Shows page 0 to 3 with Back, Next and the focus to match; does nothing for any other. */
void ShowPage(HWND dialog, DWORD page);

/* Shows the page's text again, as it now reads: the APIPA page ends with the adapters whose
 * own setting differs from the one in Parameters, and a save can change which they are. */
void ShowPageText(HWND dialog, DWORD page);

#endif

/*
 * The command-line options: /MEDIASENSE=ON|OFF, /APIPA=ON|OFF, /SAVE, /QUIT, /COMPUTER=name,
 * /TIMEOUT=seconds, /RESTART[=seconds|=ABORT] and a list run's /CONSOLELAST, letter case
 * ignored, recorded as requests in AppState.
 */
#ifndef KELVRA_COMMAND_LINE_H
#define KELVRA_COMMAND_LINE_H

#include <windows.h>

/* Records the options of the command-line tail in AppState's request fields; the computer's
 * name is not copied, AppState points into the tail. */
void ParseCommandLine(const char *tail);

/* 1 when text begins with keyword, letter case ignored in the user's locale. */
BOOL MatchKeyword(const char *keyword, const char *text);

#endif

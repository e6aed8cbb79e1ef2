/*
 * What a test and icon_probe.dll, which a hook loads into another program's process, share: how
 * an icon is compared by what it shows, and the two messages of the question and its answer.
 * The probe also answers with the program's own module handle, which another process could
 * otherwise learn only by reading the program's memory; that fails under QEMU's user-mode
 * emulation of 32-bit Wine ("error 998" from the module list).
 */
#ifndef KELVRA_TESTS_ICON_PROBE_H
#define KELVRA_TESTS_ICON_PROBE_H

#include <windows.h>

/* Posted to a window of the probed thread, with the asking thread's id as wParam. */
#define ICON_PROBE_QUESTION "Kelvra test: which icon does this window's class show?"
/* Posted back to the asking thread, with the class icon's fingerprint as wParam and the
 * program's executable module as lParam. */
#define ICON_PROBE_ANSWER (WM_APP + 0x1C0)
/* The WH_GETMESSAGE hook procedure that icon_probe.dll exports. */
#define ICON_PROBE_HOOK "IconProbeHook"

/* A checksum of what the icon shows: its size, its colours and its mask. The same image gives
 * the same number in any process; 0 for no icon. */
DWORD IconFingerprint(HICON icon);

#endif

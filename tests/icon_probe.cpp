/*
 * icon_probe.dll: loaded by a thread hook into the process of a program under test, it answers
 * what no other process can see under Wine: which icon a window's class shows, and where the
 * program's executable lies in its memory. The test posts the question to the window; the hook
 * sees it in that window's own message loop.
 */
#include <windows.h>

#include "support/icon_probe.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK
    IconProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG *message = (const MSG *)lParam;

    /* A message that is only peeked at comes by again when it is taken. */
    if (code == HC_ACTION && wParam == PM_REMOVE &&
        message->message == RegisterWindowMessageA(ICON_PROBE_QUESTION))
    {
        HICON icon = (HICON)GetClassLongPtrA(message->hwnd, GCLP_HICON);
        PostThreadMessageA((DWORD)message->wParam, ICON_PROBE_ANSWER, IconFingerprint(icon),
                           (LPARAM)GetModuleHandleA(NULL));
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

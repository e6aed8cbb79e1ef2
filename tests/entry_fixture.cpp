/* A process entry as a slip would declare it, linked as Kelvra.exe is: the link must fail for a
 * WINAPI entry (on i686 its name becomes _WinMainCRTStartup@0) and for a renamed one, and
 * succeed for the entry declared right. */
#include <windows.h>

#if defined(ENTRY_WINAPI)
extern "C" void WINAPI WinMainCRTStartup(void)
#elif defined(ENTRY_RENAMED)
extern "C" void WinMainStartup(void)
#else
extern "C" void WinMainCRTStartup(void)
#endif
{
    ExitProcess(42);
}

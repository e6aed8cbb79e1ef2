/* Exits with the platform check's verdict, so that a test can ask it of any emulated
 * Windows version; started with "version", exits with the version that the system reports
 * instead, as 0xPPMMmm (platform, major, minor), so that the test sees the emulation take. */
#include <windows.h>

#include "store/parameter_store.h"

int main(int argc, char **argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "version") == 0)
    {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        if (!GetVersionExA(&version))
            return -1;
        return int(version.dwPlatformId << 16 | version.dwMajorVersion << 8 |
                   version.dwMinorVersion);
    }
    return IsPlatformSupported();
}

/* Stands in, for bench/list-bench.sh, for the person who closes a list run's window once it
 * says "All done": polls the window's counts line every 20 ms and then presses Close. Exits
 * with 0 once it has, or with 1 when no such window said so within the seconds given. */
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    const DWORD limit = (argc > 1 ? std::strtoul(argv[1], NULL, 10) : 600) * 1000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < limit)
    {
        HWND window = FindWindowA("#32770", "Kelvra");
        char text[256] = "";
        /* 1100 and 1101: the counts line and Close, as resources/resource.h numbers them */
        if (window != NULL && GetDlgItemTextA(window, 1100, text, sizeof(text)) > 0 &&
            std::strncmp(text, "All done", 8) == 0)
        {
            PostMessageA(window, WM_COMMAND, 1101, 0);
            return 0;
        }
        Sleep(20);
    }
    return 1;
}

/* A program of this build that Wine must be able to run: it says what it is and exits with
 * 42, or, started with "crash", writes through a null pointer. */
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "crash") == 0)
    {
        volatile int *nowhere = nullptr;
        *nowhere = 1;
    }
    std::printf("ran as a %d-bit program\n", int(sizeof(void *) * 8));
    return 42;
}

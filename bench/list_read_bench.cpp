/* How long a list of machines takes to read, duplicates found: a file of short names at the
 * size limit (4 MiB, 419,430 lines of "pNNNNNNN" and CR LF), one name in ten given again in
 * other letter case, read ROUNDS times. Prints the fastest and the slowest read in ms, and the
 * machines found. Run under Wine by bench/list-read-bench.sh.
 *   list_read_bench [LINES] [ROUNDS] */
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "fleet/machine_list.h"

int main(int argc, char **argv)
{
    unsigned lines = argc > 1 ? (unsigned)strtoul(argv[1], NULL, 10) : 419430;
    int rounds = argc > 2 ? atoi(argv[2]) : 5;
    const char *path = "list-read-bench.txt";
    FILE *file = fopen(path, "wb");
    if (file == NULL)
        return 2;
    for (unsigned i = 0; i < lines; i++)
        fprintf(file, i % 10 == 9 ? "P%07u\r\n" : "p%07u\r\n", i % 10 == 9 ? i - 9 : i);
    fclose(file);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double fastest = 1e30, slowest = 0;
    DWORD machines = 0;
    for (int round = 0; round < rounds; round++)
    {
        MachineList list;
        QueryPerformanceCounter(&start);
        LONG result = ReadMachineList(path, &list);
        QueryPerformanceCounter(&end);
        if (result != ERROR_SUCCESS)
        {
            printf("cannot read the list: error %ld\n", result);
            return 2;
        }
        machines = list.count;
        FreeMachineList(&list);
        double ms = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
        fastest = ms < fastest ? ms : fastest;
        slowest = ms > slowest ? ms : slowest;
    }
    printf("%u lines, %lu machines: fastest %.1f ms, slowest %.1f ms of %d reads\n", lines,
           (unsigned long)machines, fastest, slowest, rounds);
    DeleteFileA(path);
    return 0;
}

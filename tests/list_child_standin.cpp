/* Stands in for the Kelvra.exe that a list run starts for each machine, in the tests of the
 * list run: what it does comes from the machine's name, "<what>-<anything>":
 *   sleep<ms>  waits ms, then writes "<name>,as asked,on,on,,alive <n>" and exits with 0, n
 *              being how many stand-ins were alive when it started, itself included;
 *   changed    writes "<name>,changed,off,on,," and exits with 1;
 *   console    writes "<name>,changed,off,on,," and the text with which Kelvra's run on the
 *              console's own machine leaves its restart to the list run under /CONSOLELAST, and
 *              exits with 3, as that run does;
 *   hang       waits ten minutes, and writes nothing;
 *   crash      exits with 0xC0000005, writing nothing;
 *   garbage    writes half a line and exits with 0;
 *   unrestarted  writes "<name>,changed,off,on,1115,..." and exits with 2, as a run whose
 *              restart Windows did not take;
 *   late       writes "<name>,failed,,,1460,No answer." and exits with 2, as a child whose
 *              machine did not answer within its time limit;
 *   linger     writes "<name>,changed,off,on,," and then does not end for ten minutes, as a
 *              child does on Windows whose worker still waits on a machine that is off (the
 *              process ends only once its pending network I/O is cancelled). */
#include <windows.h>

#include <string>

#include "app/command_line_tail.h"

int main()
{
    std::string tail = CommandLineTail(GetCommandLineA());
    size_t at = tail.find("/COMPUTER=");
    std::string name = at == std::string::npos ? "" : tail.substr(at + 10);
    name = name.substr(0, name.find(' '));
    std::string what = name.substr(0, name.find('-'));

    HANDLE alive = CreateSemaphoreA(NULL, 0, 100000, "kelvra-list-standins-alive");
    LONG before = 0;
    ReleaseSemaphore(alive, 1, &before);

    std::string line;
    int exitCode = 0;
    if (what.rfind("sleep", 0) == 0)
    {
        Sleep(std::stoul(what.substr(5)));
        line = name + ",as asked,on,on,,alive " + std::to_string(before + 1) + "\r\n";
    }
    else if (what == "changed")
    {
        line = name + ",changed,off,on,,\r\n";
        exitCode = 1;
    }
    else if (what == "console")
    {
        line = name +
               ",changed,off,on,,This is the console's own machine: the list run asks for its "
               "restart once every line is written.\r\n";
        exitCode = 3;
    }
    else if (what == "hang")
        Sleep(600000);
    else if (what == "crash")
        exitCode = (int)0xC0000005;
    else if (what == "unrestarted")
    {
        line = name + ",changed,off,on,1115,\"The value was written, but Windows did not take the "
                      "restart: A system shutdown is in progress. Restart this machine by "
                      "hand.\"\r\n";
        exitCode = 2;
    }
    else if (what == "late")
    {
        line = name + ",failed,,,1460,No answer.\r\n";
        exitCode = 2;
    }
    else if (what == "garbage")
        line = name + ",as ask";
    else if (what == "linger")
    {
        line = name + ",changed,off,on,,\r\n";
        DWORD written;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), (DWORD)line.size(), &written, NULL);
        Sleep(600000);
        return 1;
    }

    WaitForSingleObject(alive, 0);
    DWORD written;
    if (!line.empty())
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), (DWORD)line.size(), &written, NULL);
    return exitCode;
}

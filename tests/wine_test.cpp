/* What every other test relies on from Wine: that a program of this build runs and returns
 * its code, and that a program that crashes ends at once instead of waiting in a debugger. */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/import_slot.h"
#include "support/process_helpers.h"

namespace
{

std::string Probe()
{
    return "\"" + ProgramDirectory() + "\\wine_probe.exe\"";
}

} // namespace

TEST(WineTest, AProgramOfThisBuildRunsAndReturnsItsCode)
{
    EXPECT_EQ(42u, RunProcess(Probe()));
}

TEST(WineTest, ACrashingProgramEndsAtOnceWithItsExceptionCode)
{
    /* Well under CTest's timeout: a crash that waits for a debugger fails here, not there. */
    DWORD exitCode = RunProcess(Probe() + " crash", 15000);
    char emulated[2] = "";
    GetEnvironmentVariableA("KELVRA_EMULATED", emulated, sizeof(emulated));
    if (emulated[0] == '1')
    {
        /* Under QEMU's emulation Wine misreads the fault's kind (as an illegal instruction):
         * what matters is that a crash never passes for a program's own exit code. Windows
         * gives EXCEPTION_ACCESS_VIOLATION, as below. */
        EXPECT_GE(exitCode, 0xC0000000u) << "not an exception code: " << std::hex << exitCode;
    }
    else
        EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), exitCode);
}

namespace
{

#ifdef _WIN64
extern "C" decltype(&CreateProcessA) importedCreateProcessA __asm__("__imp_CreateProcessA");
#else
extern "C" decltype(&CreateProcessA) importedCreateProcessA __asm__("__imp__CreateProcessA@40");
#endif

decltype(&CreateProcessA) realCreateProcessA;
DWORD refusal; /* the error of the first start */
int starts;

/* The first start is refused, as Wine 8 now and then refuses one; the next ones are made. */
BOOL WINAPI RefuseFirstStart(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                             LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags,
                             LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                             LPPROCESS_INFORMATION information)
{
    if (++starts == 1)
    {
        SetLastError(refusal);
        return FALSE;
    }
    return realCreateProcessA(application, commandLine, process, thread, inherit, flags,
                              environment, directory, startup, information);
}

} // namespace

TEST(WineTest, OnlyAStartThatWineRefusedWithItsInternalErrorIsMadeAgain)
{
    const struct
    {
        const char *what;
        DWORD refusal;
        BOOL started;
        int starts;
    } cases[] = {
        {.what = "1359, Wine's internal error",
         .refusal = ERROR_INTERNAL_ERROR,
         .started = TRUE,
         .starts = 2},
        {.what = "any other error", .refusal = ERROR_ACCESS_DENIED, .started = FALSE, .starts = 1},
    };
    realCreateProcessA = importedCreateProcessA;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        refusal = c.refusal;
        starts = 0;
        std::string command = Probe();
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        BOOL started;
        {
            ImportSlot slot(importedCreateProcessA, &RefuseFirstStart);
            started = StartTestProcess(command.data(), FALSE, &startup, &process);
        }
        EXPECT_EQ(c.started, started);
        EXPECT_EQ(c.starts, starts);
        if (started)
        {
            EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(process.hProcess, Scaled(15000)));
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
}

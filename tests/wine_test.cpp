/* What every other test relies on from Wine: that a program of this build runs and returns
 * its code, and that a program that crashes ends at once instead of waiting in a debugger. */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

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

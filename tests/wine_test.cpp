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
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), RunProcess(Probe() + " crash", 15000));
}

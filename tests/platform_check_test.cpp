#include <windows.h>

#include <gtest/gtest.h>

#include "support/process_helpers.h"

TEST(PlatformCheckTest, OnlyTheNtFamilyFromWindows2000OnIsSupported)
{
    const struct
    {
        const char *version; /* as Wine names it; empty for Wine's default, Windows 7 */
        DWORD expected;
    } cases[] = {
        {"win98", 0}, {"nt40", 0}, {"win2k", 1}, {"winxp", 1}, {"", 1},
    };
    const std::string probe = ProgramDirectory() + "\\platform_probe.exe";
    for (const auto &c : cases)
    {
        SCOPED_TRACE(std::string("version \"") + c.version + "\"");
        EmulatedVersion version("platform_probe.exe", c.version);
        EXPECT_EQ(c.expected, RunProcess("\"" + probe + "\""));
    }
}

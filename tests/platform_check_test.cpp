#include <windows.h>

#include <gtest/gtest.h>

#include "support/process_helpers.h"

TEST(PlatformCheckTest, OnlyTheNtFamilyFromWindows2000OnIsSupported)
{
    /* Every system that the documents name, and what Windows reports for it: platform 1 is the
     * Windows 95 family, 2 the NT family. */
    const struct
    {
        const char *version; /* as Wine names it; empty for Wine's default, Windows 7 */
        DWORD reported;      /* 0xPPMMmm: platform, major and minor version */
        DWORD expected;
    } cases[] = {
        {"win95", 0x010400, 0},   {"win98", 0x01040A, 0}, {"winme", 0x01045A, 0},
        {"nt40", 0x020400, 0},    {"win2k", 0x020500, 1}, {"winxp", 0x020501, 1},
        {"win2003", 0x020502, 1}, {"vista", 0x020600, 1}, {"", 0x020601, 1},
    };
    const std::string probe = ProgramDirectory() + "\\platform_probe.exe";
    for (const auto &c : cases)
    {
        SCOPED_TRACE(std::string("version \"") + c.version + "\"");
        EmulatedVersion version("platform_probe.exe", c.version);
        EXPECT_EQ(c.reported, RunProcess("\"" + probe + "\" version")) << "Wine did not emulate it";
        EXPECT_EQ(c.expected, RunProcess("\"" + probe + "\""));
    }
}

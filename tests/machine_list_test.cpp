#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fleet/machine_list.h"
#include "support/process_helpers.h"

using namespace std::string_literals;

namespace
{

/* A name as read, and whether Kelvra can take it; "!name" for one it cannot. */
std::vector<std::string> ReadBack(const std::string &content)
{
    const std::string path = ProgramDirectory() + "\\machine-list.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << content;
    }
    MachineList list;
    EXPECT_EQ(ERROR_SUCCESS, ReadMachineList(path.c_str(), &list));
    std::vector<std::string> names;
    for (DWORD i = 0; i < list.count; i++)
        names.push_back((list.entries[i].valid ? "" : "!") +
                        std::string(list.entries[i].name, list.entries[i].length));
    FreeMachineList(&list);
    return names;
}

/* A file's bytes in UTF-16, little or big endian, with the mark that Notepad writes. */
std::string Utf8(const std::wstring &text)
{
    char bytes[256];
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), bytes,
                                     sizeof(bytes), NULL, NULL);
    return std::string(bytes, length);
}

std::string Utf16(const std::wstring &text, bool bigEndian)
{
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text)
    {
        char low = char(c & 0xFF), high = char((c >> 8) & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

} // namespace

TEST(MachineListTest, ReadsOneNamePerLineEachMachineOnce)
{
    const std::string longName(256, 'n'), longest(255, 'n');
    const struct
    {
        const char *what;
        std::string content;
        std::vector<std::string> names;
    } cases[] = {
        {.what = "CR LF, LF, and no line break at the end",
         .content = "pc1\r\npc2\npc3",
         .names = {"pc1", "pc2", "pc3"}},
        {.what = "blanks and tabs around a name, a leading \\\\",
         .content = "  pc1\t\r\n\t\\\\pc2  \r\n\\\\pc3\r\n",
         .names = {"pc1", "pc2", "pc3"}},
        {.what = "blank lines and comments",
         .content = "\r\n; the plant\r\npc1\r\n   \r\n\t; the office\r\n;\r\npc2\r\n\r\n",
         .names = {"pc1", "pc2"}},
        {.what = "the same machine again, letter case and \\\\ aside",
         .content = "PC1\r\npc2\r\npc1\r\n\\\\Pc1\r\npc2\r\n",
         .names = {"PC1", "pc2"}},
        {.what = "names Kelvra cannot take keep their place",
         .content = "pc1\r\n" + longName + "\r\n" + longest + "\r\npc 2\r\n\"pc3\"\r\npc/4\r\n" +
                    "@list.txt\r\n\\\\\r\npc5\r\n",
         .names = {"pc1", "!" + longName, longest, "!pc 2", "!\"pc3\"", "!pc/4", "!@list.txt", "!",
                   "pc5"}},
        {.what = "a lone CR ends a line too",
         .content = "pc1\rpc2\r\npc3\n\rpc4\r",
         .names = {"pc1", "pc2", "pc3", "pc4"}},
        {.what = "a control character inside makes no shorter name of a line",
         .content = "VM\0-not-a-name\r\nVM\r\nVM\0x\r\nvm\0y\r\npc\tX\r\nPC\x01\r\n"s,
         .names = {"!VM\0-not-a-name"s, "VM", "!VM\0x"s, "!vm\0y"s, "!pc\tX", "!PC\x01"}},
        {.what = "only ASCII letters are one machine whatever their case",
         .content = "PC-LIB\r\npc-lib\r\nPC-\xC9\r\npc-\xE9\r\nPc-Lib\r\n",
         .names = {"PC-LIB", "PC-\xC9", "pc-\xE9"}},
        {.what = "UTF-8 as Notepad saves it, its mark skipped",
         .content = "\xEF\xBB\xBFpc01\r\nPC01\r\npc02",
         .names = {"pc01", "pc02"}},
        {.what = "UTF-16 as Notepad saves \"Unicode\"",
         .content = Utf16(L"pc01\r\n\\\\PC01\r\n  pc02\t\r\n; a comment\rpc 3", false),
         .names = {"pc01", "pc02", "!pc 3"}},
        {.what = "UTF-16 as Notepad saves \"Unicode big endian\"",
         .content = Utf16(L"pc01\npc02", true),
         .names = {"pc01", "pc02"}},
        {.what = "UTF-16 with a NUL inside a name",
         .content = Utf16(std::wstring(L"pc\0x", 4), false),
         .names = {"!pc\0x"s}},
        {.what = "UTF-8 and UTF-16 that hold nothing but their mark",
         .content = "\xEF\xBB\xBF",
         .names = {}},
        {.what = "nothing but comments", .content = "; a\r\n;b\r\n\r\n", .names = {}},
        {.what = "an empty file", .content = "", .names = {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.names, ReadBack(c.content)) << c.what;
}

TEST(MachineListTest, AUnicodeNameIsTakenOnlyWhereTheCodePageHoldsItExactly)
{
    /* The system's own conversion is the oracle: a name comes through where the ANSI code page
     * has each of its characters, and is no name Kelvra can take where one would be lost. */
    for (const std::wstring name : {L"pc-\u00E9t\u00E9", L"pc-\u4E2D", L"pc-\u0101", L"\u2215pc"})
    {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << int(name[name.size() - 1]));
        char ansi[64] = {};
        int length = WideCharToMultiByte(CP_ACP, 0, name.c_str(), int(name.size()), ansi,
                                         sizeof(ansi), NULL, NULL);
        wchar_t back[64] = {};
        MultiByteToWideChar(CP_ACP, 0, ansi, length, back, 64);
        const bool exact = name == back;
        const std::string read = std::string(exact ? "" : "!") + std::string(ansi, length);
        EXPECT_EQ(std::vector<std::string>{read}, ReadBack(Utf16(name, false)));
        EXPECT_EQ(std::vector<std::string>{read},
                  ReadBack("\xEF\xBB\xBF" + std::string(ansi, 0) + Utf8(name)));
    }
}

TEST(MachineListTest, AFileThatCannotBeReadIsAnError)
{
    MachineList list;
    const std::string missing = ProgramDirectory() + "\\no-such-list.txt";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadMachineList(missing.c_str(), &list));
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(ERROR_ACCESS_DENIED, ReadMachineList(ProgramDirectory().c_str(), &list))
        << "a folder";
    /* Windows 2000 and XP would drop such a byte without a word and read "pc042", another
     * machine; Wine reads U+FFFD there. Either way the list is refused. */
    const std::string path = ProgramDirectory() + "\\machine-list.txt";
    for (const char *name : {"pc0\xFF"
                                    "42",
                                    "pc0\xC0\xAF"
                                    "42",
                                    "pc042\xE2\x82"})
    {
        SCOPED_TRACE(name);
        std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBFpc041\r\n" << name << "\r\n";
        EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, ReadMachineList(path.c_str(), &list));
        EXPECT_EQ(0u, list.count);
    }
}

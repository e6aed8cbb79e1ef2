#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "fleet/machine_list.h"
#include "support/process_helpers.h"

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
        {.what = "nothing but comments", .content = "; a\r\n;b\r\n\r\n", .names = {}},
        {.what = "an empty file", .content = "", .names = {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.names, ReadBack(c.content)) << c.what;
}

TEST(MachineListTest, AFileThatCannotBeReadIsAnError)
{
    MachineList list;
    const std::string missing = ProgramDirectory() + "\\no-such-list.txt";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadMachineList(missing.c_str(), &list));
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(ERROR_ACCESS_DENIED, ReadMachineList(ProgramDirectory().c_str(), &list))
        << "a folder";
}

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/command_line_tail.h"

TEST(CommandLineTailTest, SkipsTheProgramNameAndTheBlanksAfterIt)
{
    const struct
    {
        const char *commandLine;
        const char *tail;
    } cases[] = {
        {"Kelvra.exe /SAVE", "/SAVE"},
        {"Kelvra.exe", ""},
        {"", ""},
        {"Kelvra.exe  \t /SAVE /QUIT ", "/SAVE /QUIT "},
        {"Kelvra.exe\x01\x1F /SAVE", "/SAVE"},
        /* a name in quotes runs to the next quote, blanks included... */
        {"\"C:\\Program Files\\Kelvra\\Kelvra.exe\" /QUIT", "/QUIT"},
        {"\"C:\\Tools\\Kelvra.exe\"/SAVE", "/SAVE"},
        {"\"C:\\Tools\\Kel\"vra.exe /SAVE", "vra.exe /SAVE"},
        {"\"\" /SAVE", "/SAVE"},
        /* ...or to the end when there is none */
        {"\"C:\\Program Files\\Kelvra.exe /SAVE", ""},
        /* letters above 127 belong to an unquoted name and to the tail */
        {"C:\\Pr\xF8gram\\Kelvra.exe /SAVE", "/SAVE"},
        {"Kelvra.exe \xA0/SAVE", "\xA0/SAVE"},
        {"Kelvra.exe \xE9t\xE9 /SAVE", "\xE9t\xE9 /SAVE"},
    };
    for (const auto &c : cases)
    {
        std::string commandLine = c.commandLine;
        char *tail = CommandLineTail(&commandLine[0]);
        EXPECT_EQ(c.tail, std::string(tail)) << "command line [" << c.commandLine << "]";
        EXPECT_EQ(&commandLine[commandLine.size() - std::string(c.tail).size()], tail)
            << "not a pointer into [" << c.commandLine << "]";
    }
}

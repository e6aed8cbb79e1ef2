/*
 * The command line under a double-byte ANSI code page (932, Japanese), where a lead byte takes
 * the byte after it along. This program runs with a Japanese locale; every text ends right
 * before memory that may not be read, so a reader that takes a last lead byte's partner from
 * beyond the end crashes the test.
 */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/command_line_tail.h"
#include "support/page_end.h"

TEST(CommandLineDbcsTest, RunsUnderCodePage932)
{
    ASSERT_EQ(932u, GetACP()) << "the Japanese locale did not take: is ja_JP.UTF-8 installed?";
    ASSERT_TRUE(IsDBCSLeadByte(0x81));
}

TEST(CommandLineDbcsTest, ALeadByteInAQuotedNameTakesTheNextByteButNeverTheEnd)
{
    const struct
    {
        const char *what;
        const char *commandLine;
        const char *tail;
    } cases[] = {
        {.what = "a last lead byte inside the quotes",
         .commandLine = "\"C:\\Tools\\\x81",
         .tail = ""},
        {.what = "a lead byte alone in the quotes", .commandLine = "\"\x81", .tail = ""},
        /* 0x81 0x22 is one character: its second byte is no closing quote */
        {.what = "a quote that is a trail byte", .commandLine = "\"C:\\\x81\" /SAVE", .tail = ""},
        {.what = "a whole character before the closing quote",
         .commandLine = "\"C:\\\x83\x5C\" /SAVE",
         .tail = "/SAVE"},
        {.what = "a last lead byte in the tail",
         .commandLine = "Kelvra.exe /SAVE\x81",
         .tail = "/SAVE\x81"},
    };
    PageEnd page;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        char *commandLine = page.Place(c.commandLine);
        char *tail = CommandLineTail(commandLine);
        EXPECT_EQ(c.tail, std::string(tail));
        EXPECT_EQ(commandLine + lstrlenA(commandLine) - lstrlenA(c.tail), tail);
    }
}

TEST(CommandLineDbcsTest, ATailEndingInALeadByteAsksForNothingItDoesNotSay)
{
    const struct
    {
        const char *tail;
        LONG mediaSense, apipa;
        BOOL save;
    } cases[] = {
        {.tail = "/\x81", .mediaSense = NOT_REQUESTED, .apipa = NOT_REQUESTED, .save = 0},
        {.tail = "/MEDIASENSE=\x81",
         .mediaSense = NOT_REQUESTED,
         .apipa = NOT_REQUESTED,
         .save = 0},
        {.tail = "/MEDIASENSE=O\x81",
         .mediaSense = NOT_REQUESTED,
         .apipa = NOT_REQUESTED,
         .save = 0},
        {.tail = "/APIPA=OF\x81", .mediaSense = NOT_REQUESTED, .apipa = NOT_REQUESTED, .save = 0},
        {.tail = "/SAV\x81", .mediaSense = NOT_REQUESTED, .apipa = NOT_REQUESTED, .save = 0},
        {.tail = "/MEDIASENSE=OFF /SAVE\x81", .mediaSense = 1, .apipa = NOT_REQUESTED, .save = 1},
    };
    PageEnd page;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "tail \"" << c.tail << "\"");
        AppState.requestedDisableMediaSense = NOT_REQUESTED;
        AppState.requestedApipaEnabled = NOT_REQUESTED;
        AppState.autoSave = 0;
        AppState.autoQuit = 0;
        ParseCommandLine(page.Place(c.tail));
        EXPECT_EQ(c.mediaSense, AppState.requestedDisableMediaSense);
        EXPECT_EQ(c.apipa, AppState.requestedApipaEnabled);
        EXPECT_EQ(c.save, AppState.autoSave);
        EXPECT_EQ(0, AppState.autoQuit);
    }
}

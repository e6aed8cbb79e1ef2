#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/report_line.h"
#include "support/app_state_helpers.h"
#include "support/process_helpers.h"

namespace
{

/* What a run recorded, as the report line reads it; name NULL for this machine. */
struct RecordedRun
{
    const char *name = NULL;
    DWORD nameLength = 0; /* 0: the whole of name */
    BOOL failed = 0;
    DWORD code = 0;
    const char *text = "";
    BOOL written = 0;
    LONG mediaSenseOn = STATE_UNKNOWN;
    LONG apipaOn = STATE_UNKNOWN;
    /* The own states of the adapters with an APIPA setting of their own, '0' or '1' each. */
    const char *adapters = "";
};

std::string LineOf(const RecordedRun &run)
{
    AppState = START_STATE;
    if (run.name != NULL)
    {
        AppState.computerName = run.name;
        AppState.computerNameLength = run.nameLength != 0 ? run.nameLength : lstrlenA(run.name);
    }
    AppState.runFailed = run.failed;
    AppState.failureCode = run.code;
    lstrcpynA(AppState.messageText, run.text, sizeof(AppState.messageText));
    AppState.valueWritten = run.written;
    AppState.mediaSenseOn = run.mediaSenseOn;
    AppState.apipaOn = run.apipaOn;
    static AdapterSettings settings;
    settings.count = 0;
    for (const char *state = run.adapters; *state != '\0'; state++)
        settings.adapters[settings.count++].apipaOn = *state - '0';
    AppState.adapterSettings = &settings;
    std::string line(REPORT_LINE_SIZE + 16, '\xA5');
    DWORD length = BuildReportLine(line.data());
    EXPECT_LE(length, DWORD(REPORT_LINE_SIZE));
    EXPECT_EQ('\xA5', line[REPORT_LINE_SIZE]) << "written past its buffer";
    return line.substr(0, length);
}

std::string OwnName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof(name);
    EXPECT_TRUE(GetComputerNameA(name, &size));
    return name;
}

} // namespace

TEST(ReportLineTest, SaysWhatTheRunDidInSixFields)
{
    const std::string own = OwnName();
    const struct
    {
        const char *what;
        RecordedRun run;
        std::string line;
    } cases[] = {
        {.what = "this machine, nothing to do",
         .run = {.mediaSenseOn = 1, .apipaOn = 1},
         .line = own + ",as asked,on,on,,\r\n"},
        {.what = "this machine, a value written",
         .run = {.written = 1, .mediaSenseOn = 0, .apipaOn = 1},
         .line = own + ",changed,off,on,,\r\n"},
        {.what = "another machine, APIPA turned off",
         .run = {.name = "pc042", .written = 1, .mediaSenseOn = 1, .apipaOn = 0},
         .line = "pc042,changed,on,off,,\r\n"},
        {.what = "a failure beats a write that succeeded",
         .run = {.name = "pc042",
                 .failed = 1,
                 .code = 5,
                 .text = "Access is denied.\r\n",
                 .written = 1,
                 .mediaSenseOn = 0,
                 .apipaOn = 1},
         .line = "pc042,failed,off,on,5,Access is denied.\r\n"},
        {.what = "unreachable: no state known",
         .run = {.name = "pc042",
                 .failed = 1,
                 .code = 53,
                 .text = "The network path was not found.\r\n"},
         .line = "pc042,failed,,,53,The network path was not found.\r\n"},
        {.what = "a failure of Kelvra's own has no code",
         .run = {.name = "nt4box", .failed = 1, .text = "Not supported."},
         .line = "nt4box,failed,,,,Not supported.\r\n"},
        {.what = "the largest code",
         .run = {.name = "x", .failed = 1, .code = 0xFFFFFFFF, .text = "t"},
         .line = "x,failed,,,4294967295,t\r\n"},
        {.what = "a text with a comma is quoted",
         .run = {.name = "x", .failed = 1, .code = 1460, .text = "Timed out, sorry.\r\n"},
         .line = "x,failed,,,1460,\"Timed out, sorry.\"\r\n"},
        {.what = "a quote in a text is doubled",
         .run = {.name = "x", .failed = 1, .code = 2, .text = "No \"file\".\r\n"},
         .line = "x,failed,,,2,\"No \"\"file\"\".\"\r\n"},
        {.what = "line breaks inside a text become blanks",
         .run = {.name = "x", .failed = 1, .code = 2, .text = "One.\r\nTwo.\r\n"},
         .line = "x,failed,,,2,One.  Two.\r\n"},
        {.what = "a name with a comma is quoted",
         .run = {.name = "a,b", .mediaSenseOn = 1, .apipaOn = 0},
         .line = "\"a,b\",as asked,on,off,,\r\n"},
        {.what = "a name is only its own length of the tail",
         .run = {.name = "pc042 /SAVE", .nameLength = 5, .mediaSenseOn = 1, .apipaOn = 1},
         .line = "pc042,as asked,on,on,,\r\n"},
        /* adapters with a setting of their own follow the state, in brackets */
        {.what = "one adapter off",
         .run = {.mediaSenseOn = 1, .apipaOn = 1, .adapters = "0"},
         .line = own + ",as asked,on,on (off on 1 adapter),,\r\n"},
        {.what = "two adapters on, one as Parameters",
         .run = {.name = "pc042", .written = 1, .mediaSenseOn = 0, .apipaOn = 0, .adapters = "101"},
         .line = "pc042,changed,off,off (on on 2 adapters),,\r\n"},
        {.what = "every adapter as Parameters",
         .run = {.mediaSenseOn = 1, .apipaOn = 0, .adapters = "00"},
         .line = own + ",as asked,on,off,,\r\n"},
        {.what = "APIPA not read: no adapters either",
         .run = {.name = "x", .failed = 1, .code = 5, .text = "Denied.", .adapters = "1"},
         .line = "x,failed,,,5,Denied.\r\n"},
        {.what = "a refused name is empty",
         .run = {.name = "", .failed = 1, .code = 1210, .text = "Bad name.\r\n"},
         .line = ",failed,,,1210,Bad name.\r\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.line, LineOf(c.run)) << c.what;
}

TEST(ReportLineTest, TheLongestNameAndTextFitTheirBuffer)
{
    /* A name of 255 characters and a text of 1022, every one of them a quote: both doubled. */
    const std::string name(255, '"'), text(1022, '"');
    const std::string line = LineOf({.name = name.c_str(),
                                     .failed = 1,
                                     .code = 0xFFFFFFFF,
                                     .text = text.c_str(),
                                     .mediaSenseOn = 0,
                                     .apipaOn = 0,
                                     .adapters = "11111111111111111111111111111111"});
    EXPECT_EQ("\"" + std::string(510, '"') + "\",failed,off,off (on on 32 adapters),4294967295,\"" +
                  std::string(2044, '"') + "\"\r\n",
              line);

    /* A name longer than any computer's keeps a start to find it by, marked as cut, and is
     * never copied past the buffer. */
    const std::string longName = "plant-7-" + std::string(40000, 'N');
    EXPECT_EQ("plant-7-" + std::string(56, 'N') + "...,failed,,,1210,t\r\n",
              LineOf({.name = longName.c_str(), .failed = 1, .code = 1210, .text = "t"}));
}

TEST(ReportLineTest, ControlCharactersInAFieldNeverReachTheReport)
{
    /* A NUL would end the field for many readers, a tab split it: each shows as '?'. */
    const std::string name("VM\0x\ty\x1F", 7);
    EXPECT_EQ("VM?x?y?,failed,,,1210,t\r\n", LineOf({.name = name.data(),
                                                     .nameLength = DWORD(name.size()),
                                                     .failed = 1,
                                                     .code = 1210,
                                                     .text = "t"}));
}

TEST(ReportLineTest, RunsThatShareALogNeverWriteOverEachOthersLines)
{
    /* Two runs whose scripts opened one log with ">>" before either wrote: cmd opens the file
     * and moves to its end, so both handles stand at the same place. */
    const std::string log = ProgramDirectory() + "\\shared-log.txt";
    {
        std::ofstream file(log, std::ios::binary);
        file << "earlier run\r\n";
    }
    HANDLE opened[2];
    for (HANDLE &handle : opened)
    {
        handle = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, handle);
        SetFilePointer(handle, 0, NULL, FILE_END);
    }
    const std::string lines[2] = {"pc1,changed,off,on,,\r\n", "pc2,as asked,off,on,,\r\n"};
    HANDLE before = GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 0; i < 2; i++)
    {
        SetStdHandle(STD_OUTPUT_HANDLE, opened[i]);
        WriteOutputLine(lines[i].data(), DWORD(lines[i].size()));
    }
    SetStdHandle(STD_OUTPUT_HANDLE, before);
    for (HANDLE handle : opened)
        CloseHandle(handle);
    std::ifstream file(log, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ("earlier run\r\n" + lines[0] + lines[1], content);
}

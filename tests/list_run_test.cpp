/*
 * The list run in-process, /COMPUTER=@path through WinMain: its children are stand-ins
 * (list_child_standin.exe) that wait, hang, crash or write what a test needs, put in place of
 * Kelvra.exe through the import slot of CreateProcessA. Its standard output is a file here.
 */
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "fleet/list_run.h"
#include "resources/resource.h"
#include "support/app_state_helpers.h"
#include "support/dialog_helpers.h"
#include "support/import_slot.h"
#include "support/process_helpers.h"
#include "support/registry_helpers.h"

namespace
{

#ifdef _WIN64
extern "C" decltype(&CreateProcessA) importedCreateProcessA __asm__("__imp_CreateProcessA");
extern "C" decltype(&InitiateSystemShutdownA)
    importedInitiateSystemShutdownA __asm__("__imp_InitiateSystemShutdownA");
#else
extern "C" decltype(&CreateProcessA) importedCreateProcessA __asm__("__imp__CreateProcessA@40");
extern "C" decltype(&InitiateSystemShutdownA)
    importedInitiateSystemShutdownA __asm__("__imp__InitiateSystemShutdownA@20");
#endif

decltype(&CreateProcessA) realCreateProcessA;
DWORD startDelay;                      /* ms that each start takes before the child's own */
std::vector<std::string> commandLines; /* as the run gave them */
std::vector<HANDLE> standIns;          /* every stand-in started, to end them after the test */

/* Starts the stand-in in place of the program that the command line names; a machine named
 * "nostart-..." cannot be started, as a program that is not there. */
BOOL WINAPI StartStandIn(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                         LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags,
                         LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                         LPPROCESS_INFORMATION information)
{
    std::string line = commandLine;
    commandLines.push_back(line);
    Sleep(startDelay);
    if (line.find("/COMPUTER=nostart") != std::string::npos)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string replaced = "\"" + ProgramDirectory() + "\\list_child_standin.exe\"" +
                           line.substr(line.find('"', 1) + 1);
    BOOL started = realCreateProcessA(application, replaced.data(), process, thread, inherit, flags,
                                      environment, directory, startup, information);
    if (started)
    {
        HANDLE kept;
        DuplicateHandle(GetCurrentProcess(), information->hProcess, GetCurrentProcess(), &kept, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        standIns.push_back(kept);
    }
    return started;
}

/* Reads a pipe to its end, in a thread of its own. */
struct OutputReader
{
    HANDLE pipe;
    std::string content;
};

DWORD WINAPI ReadToEnd(LPVOID parameter)
{
    OutputReader *reader = (OutputReader *)parameter;
    char buffer[4096];
    DWORD read;
    while (ReadFile(reader->pipe, buffer, sizeof(buffer), &read, NULL) && read > 0)
        reader->content.append(buffer, read);
    return 0;
}

/* Where a list run's standard output goes: a pipe that a child must not hold, or a file. */
enum Output
{
    TO_PIPE,
    TO_FILE
};

/* What a list run gave: its exit code, its lines, how long it took. */
struct ListRun
{
    int exitCode;
    std::vector<std::string> lines;
    DWORD ms;
};

class ListRunTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        realCreateProcessA = importedCreateProcessA;
        startDelay = 0;
        commandLines.clear();
        CreateDirectoryA(folder_.c_str(), NULL);
    }
    void TearDown() override
    {
        EndStandIns();
        UnregisterClassA("DlgClass", GetModuleHandleA(NULL));
    }
    void EndStandIns()
    {
        for (HANDLE standIn : standIns)
        {
            TerminateProcess(standIn, 0);
            CloseHandle(standIn);
        }
        standIns.clear();
    }
    /* The list file, its lines ended by CR LF. */
    std::string WriteList(const std::vector<std::string> &names)
    {
        std::ofstream file(list_, std::ios::binary);
        for (const std::string &name : names)
            file << name << "\r\n";
        return list_;
    }
    /* WinMain with this tail, its children stand-ins, its standard output a pipe whose write
     * end may be inherited, as cmd's "| find" gives one: the run must keep it from every child,
     * or a child it left running would hold the pipe open long after the run has ended. */
    ListRun Run(const std::string &tail, Output output = TO_PIPE)
    {
        AppState = START_STATE;
        UnregisterClassA("DlgClass", GetModuleHandleA(NULL));
        SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), NULL, TRUE};
        HANDLE writeEnd;
        OutputReader reader = {NULL, ""};
        EXPECT_TRUE(CreatePipe(&reader.pipe, &writeEnd, &inheritable, 0));
        SetHandleInformation(reader.pipe, HANDLE_FLAG_INHERIT, 0);
        HANDLE thread = CreateThread(NULL, 0, ReadToEnd, &reader, 0, NULL);
        /* A file, where a test reads what is written while the run goes on. */
        if (output == TO_FILE)
        {
            CloseHandle(writeEnd);
            writeEnd = CreateFileA(report_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                   CREATE_ALWAYS, 0, NULL);
            EXPECT_NE(INVALID_HANDLE_VALUE, writeEnd);
        }
        HANDLE before = GetStdHandle(STD_OUTPUT_HANDLE);
        SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
        ListRun run;
        DWORD start = GetTickCount();
        {
            ImportSlot slot(importedCreateProcessA, &StartStandIn);
            run.exitCode = WinMain(GetModuleHandleA(NULL), NULL, const_cast<char *>(tail.c_str()),
                                   SW_SHOWNORMAL);
        }
        run.ms = GetTickCount() - start;
        SetStdHandle(STD_OUTPUT_HANDLE, before);
        CloseHandle(writeEnd);
        if (WaitForSingleObject(thread, Scaled(5000)) != WAIT_OBJECT_0)
        {
            ADD_FAILURE() << "the run's output is held open after the run: a child holds it";
            EndStandIns();
            WaitForSingleObject(thread, INFINITE);
        }
        CloseHandle(thread);
        CloseHandle(reader.pipe);
        if (output == TO_FILE)
        {
            std::ifstream file(report_, std::ios::binary);
            reader.content.assign(std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>());
        }
        const std::string &content = reader.content;
        size_t at = 0;
        for (size_t end; (end = content.find("\r\n", at)) != std::string::npos; at = end + 2)
            run.lines.push_back(content.substr(at, end - at));
        EXPECT_EQ(content.size(), at) << "the output ends inside a line";
        return run;
    }

    const std::string folder_ = ProgramDirectory() + "\\list-run";
    const std::string list_ = folder_ + "\\machines.txt";
    const std::string report_ = folder_ + "\\report.txt";
};

/* A time limit for the children of "seconds" natively: where this build's programs run
 * emulated, 32 stand-ins starting at once take most of a minute just to start. */
std::string Timeout(DWORD seconds)
{
    return " /TIMEOUT=" + std::to_string(Scaled(seconds * 1000) / 1000);
}

} // namespace

TEST_F(ListRunTest, RunsAtMost32AtOnceInTheListsOrderInAboutItsSlowestWave)
{
    /* 40 machines of 1.5 s each: one after another 60 s, 32 at once two waves. Where this
     * build's programs run emulated, Wine's CreateProcess waits seconds for each child to
     * start, so children hardly overlap: there only the cap, the order and the lines show. */
    const bool emulated = Scaled(1000) > 1000;
    std::vector<std::string> names;
    for (int i = 1; i <= 40; i++)
        names.push_back("sleep1500-" + std::to_string(i));
    WriteList(names);

    ListRun run = Run("/COMPUTER=@" + list_ + " /APIPA=OFF /SAVE /QUIT" + Timeout(7));

    EXPECT_EQ(0, run.exitCode);
    ASSERT_EQ(names.size(), run.lines.size());
    int most = 0;
    for (size_t i = 0; i < names.size(); i++)
    {
        std::smatch alive;
        ASSERT_TRUE(std::regex_match(run.lines[i], alive,
                                     std::regex(names[i] + ",as asked,on,on,,alive ([0-9]+)")))
            << run.lines[i];
        most = std::max(most, std::stoi(alive[1]));
    }
    EXPECT_LE(most, MAX_CHILDREN) << "children alive at once";
    if (!emulated)
    {
        EXPECT_GT(most, 8) << "children alive at once: hardly side by side";
        EXPECT_LT(run.ms, 20000u) << "not about the slowest wave";
    }
    /* Every child gets the run's own options and /QUIT, and only its machine. */
    ASSERT_EQ(names.size(), commandLines.size());
    EXPECT_NE(std::string::npos, commandLines[0].find(" /COMPUTER=sleep1500-1 /APIPA=OFF /SAVE" +
                                                      Timeout(7) + " /QUIT"))
        << commandLines[0];
}

TEST_F(ListRunTest, AChildThatHasEndedIsTakenInTimeWhateverItsPlace)
{
    /* Starts that take 0.8 s each, as on a loaded console (or under Wine, which waits for each
     * child to start): 34 children that end at once pile up, ended, for up to 32 x 0.8 s,
     * longer than their limit of 1 + 20 s. Every one that has ended must be taken as it is
     * seen, never reported as not answering. */
    std::vector<std::string> names;
    for (int i = 1; i <= 34; i++)
        names.push_back("sleep0-" + std::to_string(i));
    WriteList(names);
    startDelay = 800;

    ListRun run = Run("/COMPUTER=@" + list_ + " /QUIT /TIMEOUT=1");

    EXPECT_EQ(0, run.exitCode);
    ASSERT_EQ(names.size(), run.lines.size());
    for (size_t i = 0; i < names.size(); i++)
    {
        const std::string want = names[i] + ",as asked,on,on,,alive ";
        EXPECT_EQ(want, run.lines[i].substr(0, want.size()));
    }
}

TEST_F(ListRunTest, AChildThatFailsOrNeverEndsHasItsOwnLineAndTheOthersGoOn)
{
    WriteList({"hang-1", "sleep100-2", "changed-3", "crash-4", "garbage-5", "nostart-6", "bad name",
               "\\\\sleep100-8"});

    ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE /QUIT /TIMEOUT=1");

    EXPECT_EQ(2, run.exitCode);
    const std::string noLine = StringEntry(IDS_CHILD_NO_LINE);
    const std::vector<std::string> want = {
        "hang-1,failed,,,1460," + StringEntry(IDS_CHILD_TIMED_OUT),
        "sleep100-2,as asked,on,on,,alive ",
        "changed-3,changed,off,on,,",
        "crash-4,failed,,,3221225477," + noLine,
        "garbage-5,failed,,,0," + noLine,
        "nostart-6,failed,,,2," + SystemErrorLine(ERROR_FILE_NOT_FOUND),
        "bad name,failed,,,1210," + SystemErrorLine(ERROR_INVALID_COMPUTERNAME),
        /* the machine as the list names it */
        "\\\\sleep100-8,as asked,on,on,,alive ",
    };
    ASSERT_EQ(want.size(), run.lines.size());
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_EQ(want[i], run.lines[i].substr(0, want[i].size()));
    /* The one that never ends is given up after its limit and a margin, and left running: it
     * might be writing. */
    EXPECT_GE(run.ms, (1 + CHILD_MARGIN_SECONDS) * 1000 - 100);
    EXPECT_LT(run.ms, (1 + CHILD_MARGIN_SECONDS) * 1000 + Scaled(5000));
    ASSERT_FALSE(standIns.empty());
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(standIns[0], 0)) << "it was killed";
}

TEST_F(ListRunTest, AListThatCannotBeReadOrNamesNoMachineEndsTheRunAtOnce)
{
    const struct
    {
        const char *what;
        std::vector<std::string> names; /* none: no file at all */
        bool file;
        std::string line;
    } cases[] = {
        {.what = "no such file",
         .names = {},
         .file = false,
         .line = list_ + ",failed,,,2," + SystemErrorLine(ERROR_FILE_NOT_FOUND)},
        {.what = "an empty file",
         .names = {},
         .file = true,
         .line = list_ + ",failed,,,," + StringEntry(IDS_LIST_EMPTY)},
        {.what = "comments and blank lines",
         .names = {"; the plant", "", "   ", "\t;pc042", ";"},
         .file = true,
         .line = list_ + ",failed,,,," + StringEntry(IDS_LIST_EMPTY)},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteFileA(list_.c_str());
        if (c.file)
            WriteList(c.names);
        commandLines.clear();

        ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE /QUIT");

        EXPECT_EQ(2, run.exitCode);
        EXPECT_EQ(std::vector<std::string>{c.line}, run.lines);
        EXPECT_TRUE(commandLines.empty()) << "a child was started";
    }
}

namespace
{

/* The list run's own restart requests, with the report's lines written by then: a stand-in
 * that answers as InitiateSystemShutdown's page says Windows does. */
struct ConsoleRequest
{
    std::string machine;
    DWORD seconds;
    BOOL force;
    size_t linesBefore;
};
std::vector<ConsoleRequest> consoleRequests;
DWORD consoleAnswer;
std::string reportPath;

BOOL WINAPI RecordConsoleRestart(LPSTR machine, LPSTR, DWORD seconds, BOOL force, BOOL)
{
    std::ifstream file(reportPath, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    size_t lines = 0;
    for (size_t at = 0; (at = content.find("\r\n", at)) != std::string::npos; at += 2)
        lines++;
    consoleRequests.push_back({machine ? machine : "(this machine)", seconds, force, lines});
    SetLastError(consoleAnswer);
    return consoleAnswer == 0;
}

} // namespace

TEST_F(ListRunTest, TheConsolesOwnMachineIsRestartedLastAndOnlyByTheListRun)
{
    /* Each child gets the run's /RESTART and /CONSOLELAST; the child whose machine is the
     * console says so in its line, and the run asks for that restart itself, once every
     * line is written, and says in one more line what became of it. */
    WriteList({"changed-1", "console-2", "sleep300-3", "changed-4"});
    reportPath = report_;
    const struct
    {
        const char *what;
        std::string options;
        DWORD answer;
        int exitCode;
        std::vector<std::string> requests; /* "machine,seconds,lines written by then" */
        std::string childOptions;          /* as each child's command line ends */
        std::string last;                  /* the line after the list's own */
    } cases[] = {
        {.what = "taken",
         .options = " /MEDIASENSE=OFF /SAVE /RESTART=90 /QUIT",
         .answer = 0,
         .exitCode = 1,
         .requests = {"(this machine),90,4"},
         .childOptions = " /RESTART=90 /CONSOLELAST",
         .last = "console-2,changed,off,on,,\"Restart requested, in 90 seconds.\""},
        {.what = "refused",
         .options = " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .answer = ERROR_SHUTDOWN_IN_PROGRESS,
         .exitCode = 2,
         .requests = {"(this machine),60,4"},
         .childOptions = " /RESTART=60 /CONSOLELAST",
         .last = "console-2,changed,off,on,1115,"},
        {.what = "stopping restarts",
         .options = " /RESTART=ABORT /QUIT",
         .answer = 0,
         .exitCode = 1,
         .requests = {},
         .childOptions = " /RESTART=ABORT",
         .last = ""},
        {.what = "no restart asked for",
         .options = " /MEDIASENSE=OFF /SAVE /QUIT",
         .answer = 0,
         .exitCode = 1,
         .requests = {},
         .childOptions = "/QUIT",
         .last = ""},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        commandLines.clear();
        consoleRequests.clear();
        consoleAnswer = c.answer;
        ListRun run;
        {
            ImportSlot restart(importedInitiateSystemShutdownA, &RecordConsoleRestart);
            run = Run("/COMPUTER=@" + list_ + c.options, TO_FILE);
        }

        EXPECT_EQ(c.exitCode, run.exitCode);
        std::vector<std::string> requests;
        for (const ConsoleRequest &r : consoleRequests)
        {
            requests.push_back(r.machine + "," + std::to_string(r.seconds) + "," +
                               std::to_string(r.linesBefore));
            EXPECT_EQ(FALSE, r.force) << "applications closed by force";
        }
        EXPECT_EQ(c.requests, requests);
        ASSERT_EQ(4u, commandLines.size());
        for (const std::string &line : commandLines)
            EXPECT_EQ(c.childOptions, line.substr(line.size() - c.childOptions.size())) << line;
        ASSERT_EQ(c.last.empty() ? 4u : 5u, run.lines.size());
        EXPECT_EQ("console-2,changed,off,on,," + StringEntry(IDS_RESTART_LAST), run.lines[1]);
        if (!c.last.empty())
        {
            EXPECT_EQ(c.last, run.lines[4].substr(0, c.last.size()));
        }
    }
}

namespace
{

/* What the progress window showed, and when to press its Close button: at the first text
 * (closeAtFirst) or at the one that says the run is over. */
struct Watch
{
    HHOOK hook;
    std::vector<std::string> texts;
    bool closeAtFirst;
    HWND window;
    /* the window as it was at its first counts */
    std::string caption;
    HICON smallIcon, bigIcon;
    LOGFONTA font;
};
Watch watch;

LRESULT CALLBACK WatchProgress(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *message = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && message->message == WM_SETTEXT &&
        GetDlgCtrlID(message->hwnd) == IDC_PROGRESS_TEXT)
    {
        std::string text = (const char *)message->lParam;
        watch.texts.push_back(text);
        watch.window = GetParent(message->hwnd);
        if (watch.texts.size() == 1)
        {
            watch.caption = WindowText(watch.window);
            watch.smallIcon = (HICON)SendMessageA(watch.window, WM_GETICON, ICON_SMALL, 0);
            watch.bigIcon = (HICON)SendMessageA(watch.window, WM_GETICON, ICON_BIG, 0);
            GetObjectA((HFONT)SendMessageA(watch.window, WM_GETFONT, 0, 0), sizeof(watch.font),
                       &watch.font);
        }
        if (watch.closeAtFirst ? watch.texts.size() == 1 : text.rfind("All done", 0) == 0)
            PostMessageA(watch.window, WM_COMMAND, IDC_PROGRESS_CLOSE, 0);
    }
    return CallNextHookEx(watch.hook, code, wParam, lParam);
}

/* A window that is still open after this long is closed, and the test fails. */
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD)
{
    ADD_FAILURE() << "the progress window was still open after " << Scaled(60000) / 1000 << " s";
    if (watch.window != NULL)
        PostMessageA(watch.window, WM_COMMAND, IDC_PROGRESS_CLOSE, 0);
}

} // namespace

TEST_F(ListRunTest, WithoutQuitAWindowCountsTheMachinesAndCloseStopsTheRun)
{
    const struct
    {
        const char *what;
        int machines; /* "sleep300-<n>", but the second "changed-2" and the third "crash-3" */
        bool late;    /* the third is "late-3" instead: no answer in time */
        bool closeAtFirst;
        int exitCode;
        std::string firstText, lastText;
        int notDone;
    } cases[] = {
        {.what = "closed when all are done",
         .machines = 5,
         .late = false,
         .closeAtFirst = false,
         .exitCode = 2,
         .firstText = "0 of 5 machines done: 0 changed, 0 as asked, 0 failed",
         .lastText = "All done, 5 of 5 machines: 1 changed, 3 as asked, 1 failed",
         .notDone = 0},
        {.what = "closed at once",
         .machines = 40,
         .late = false,
         .closeAtFirst = true,
         .exitCode = 2,
         .firstText = "0 of 40 machines done: 0 changed, 0 as asked, 0 failed",
         .lastText = "32 of 40 machines done: 1 changed, 30 as asked, 1 failed",
         .notDone = 8},
        {.what = "a machine that did not answer in time",
         .machines = 3,
         .late = true,
         .closeAtFirst = false,
         .exitCode = 2,
         .firstText = "0 of 3 machines done: 0 changed, 0 as asked, 0 failed",
         .lastText = "All done, 3 of 3 machines: 1 changed, 1 as asked, 1 failed\r\n"
                     "1 did not answer in time: run them again with a longer /TIMEOUT=.",
         .notDone = 0},
    };
    LOGFONTA settingsFont = {};
    {
        TemplateDialog settings(PlainDialogProc);
        GetObjectA((HFONT)SendMessageA(settings.Handle(), WM_GETFONT, 0, 0), sizeof(settingsFont),
                   &settingsFont);
    }
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        for (int i = 1; i <= c.machines; i++)
            names.push_back(i == 2   ? "changed-2"
                            : i == 3 ? (c.late ? "late-3" : "crash-3")
                                     : "sleep300-" + std::to_string(i));
        WriteList(names);
        watch = {.hook =
                     SetWindowsHookExA(WH_CALLWNDPROC, WatchProgress, NULL, GetCurrentThreadId()),
                 .texts = {},
                 .closeAtFirst = c.closeAtFirst,
                 .window = NULL,
                 .caption = "",
                 .smallIcon = NULL,
                 .bigIcon = NULL,
                 .font = {}};
        UINT_PTR giveUp = SetTimer(NULL, 0, Scaled(60000), GiveUp);

        ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE" + Timeout(30));

        KillTimer(NULL, giveUp);
        UnhookWindowsHookEx(watch.hook);
        EXPECT_EQ(c.exitCode, run.exitCode);
        ASSERT_FALSE(watch.texts.empty()) << "no window, or no counts in it";
        EXPECT_EQ(c.firstText, watch.texts.front());
        EXPECT_EQ(c.lastText, watch.texts.back());
        EXPECT_FALSE(IsWindow(watch.window)) << "the window is left open";
        /* Kelvra's own: its caption, its icon, the settings dialog's font. */
        EXPECT_EQ("Kelvra", watch.caption);
        EXPECT_NE(HICON(NULL), watch.smallIcon);
        EXPECT_NE(HICON(NULL), watch.bigIcon);
        EXPECT_STREQ(settingsFont.lfFaceName, watch.font.lfFaceName);
        EXPECT_EQ(settingsFont.lfHeight, watch.font.lfHeight);
        ASSERT_EQ(names.size(), run.lines.size());
        for (int i = 0; i < c.machines; i++)
        {
            bool done = i < c.machines - c.notDone;
            EXPECT_EQ(done, run.lines[i].find(StringEntry(IDS_LIST_NOT_DONE)) == std::string::npos)
                << run.lines[i];
        }
    }

    /* A run after a closed window starts afresh: nothing of the window outlives its run. */
    WriteList({"sleep0-1"});
    ListRun after = Run("/COMPUTER=@" + list_ + " /QUIT");
    ASSERT_EQ(1u, after.lines.size());
    EXPECT_EQ("sleep0-1,as asked,on,on,,alive ", after.lines[0].substr(0, 31));
}

TEST_F(ListRunTest, AChildThatHasWrittenItsLineIsDoneThoughItsProcessHasNotEnded)
{
    /* On Windows a child whose worker still waits on a machine that is off ends only once that
     * network I/O is cancelled; its line, written before, is all the run needs of it. */
    WriteList({"linger-1", "linger-2", "linger-3", "sleep100-4"});

    ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE /QUIT /TIMEOUT=1");

    EXPECT_EQ(1, run.exitCode);
    const std::vector<std::string> want = {"linger-1,changed,off,on,,", "linger-2,changed,off,on,,",
                                           "linger-3,changed,off,on,,",
                                           "sleep100-4,as asked,on,on,,alive "};
    ASSERT_EQ(want.size(), run.lines.size());
    for (size_t i = 0; i < want.size(); i++)
        EXPECT_EQ(want[i], run.lines[i].substr(0, want[i].size()));
    EXPECT_LT(run.ms, (1 + CHILD_MARGIN_SECONDS) * 1000u) << "it waited for the processes to end";
}

namespace
{

#ifdef _WIN64
extern "C" decltype(&MsgWaitForMultipleObjects)
    importedMsgWaitForMultipleObjects __asm__("__imp_MsgWaitForMultipleObjects");
extern "C" decltype(&GetModuleFileNameA)
    importedGetModuleFileNameA __asm__("__imp_GetModuleFileNameA");
#else
extern "C" decltype(&MsgWaitForMultipleObjects)
    importedMsgWaitForMultipleObjects __asm__("__imp__MsgWaitForMultipleObjects@20");
extern "C" decltype(&GetModuleFileNameA)
    importedGetModuleFileNameA __asm__("__imp__GetModuleFileNameA@12");
#endif

decltype(&MsgWaitForMultipleObjects) realMsgWaitForMultipleObjects;
bool waitAlwaysFails;
DWORD waits;

/* MsgWaitForMultipleObjects as Windows 2000 has it: it takes GetQueueStatus's flags, whose page
 * says of QS_RAWINPUT (0x400) "Windows 2000: This flag is not supported", and it fails for a
 * flag it does not know. Wine takes any. */
DWORD WINAPI Windows2000MsgWait(DWORD count, const HANDLE *handles, BOOL all, DWORD ms, DWORD wake)
{
    waits++;
    if (waitAlwaysFails || (wake & ~0xFFu) != 0)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return realMsgWaitForMultipleObjects(count, handles, all, ms, wake);
}

} // namespace

TEST_F(ListRunTest, ItWaitsAsWindows2000CanAndAWaitThatFailsStopsTheRun)
{
    const std::string waitFailed = ",failed,,,87," + StringEntry(IDS_LIST_WAIT_FAILED);
    const struct
    {
        const char *what;
        bool alwaysFails;
        int exitCode;
        std::vector<std::string> lines;
        DWORD mostWaits; /* a loop around a wait that fails spins thousands of times */
    } cases[] = {
        {.what = "a wait as Windows 2000 makes it",
         .alwaysFails = false,
         .exitCode = 0,
         .lines = {"sleep2000-1,as asked,on,on,,alive ", "sleep2000-2,as asked,on,on,,alive "},
         .mostWaits = Scaled(2000) / 25},
        {.what = "a wait that fails",
         .alwaysFails = true,
         .exitCode = 2,
         .lines = {"sleep2000-1" + waitFailed, "sleep2000-2" + waitFailed},
         .mostWaits = 1},
    };
    realMsgWaitForMultipleObjects = importedMsgWaitForMultipleObjects;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        WriteList({"sleep2000-1", "sleep2000-2"});
        waitAlwaysFails = c.alwaysFails;
        waits = 0;
        ListRun run;
        {
            ImportSlot slot(importedMsgWaitForMultipleObjects, &Windows2000MsgWait);
            run = Run("/COMPUTER=@" + list_ + " /QUIT");
        }
        EXPECT_EQ(c.exitCode, run.exitCode);
        ASSERT_EQ(c.lines.size(), run.lines.size());
        for (size_t i = 0; i < c.lines.size(); i++)
            EXPECT_EQ(c.lines[i], run.lines[i].substr(0, c.lines[i].size()));
        EXPECT_LE(waits, c.mostWaits);
        EndStandIns();
    }
}

namespace
{

decltype(&GetModuleFileNameA) realGetModuleFileNameA;
bool pathCut; /* else a character of the path lost on the way to the ANSI code page */

/* Kelvra's own path as Windows gives it where it cannot: cut at the buffer's size without its
 * zero (GetModuleFileName's page, for Windows 2000 and XP), or with a character that the ANSI
 * code page lacks come back as '?'. */
DWORD WINAPI UnusablePath(HMODULE module, LPSTR path, DWORD size)
{
    DWORD length = realGetModuleFileNameA(module, path, size);
    if (pathCut)
    {
        for (DWORD i = length; i < size; i++)
            path[i] = 'x';
        return size;
    }
    path[length - 5] = '?';
    return length;
}

} // namespace

TEST_F(ListRunTest, AProgramPathThatCannotStartAChildIsRefusedOnceForTheRun)
{
    const struct
    {
        const char *what;
        bool cut;
        DWORD code;
    } cases[] = {
        {.what = "cut at MAX_PATH", .cut = true, .code = ERROR_FILENAME_EXCED_RANGE},
        {.what = "a character lost", .cut = false, .code = ERROR_NO_UNICODE_TRANSLATION},
    };
    realGetModuleFileNameA = importedGetModuleFileNameA;
    WriteList({"sleep0-1", "sleep0-2"});
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        pathCut = c.cut;
        commandLines.clear();
        ListRun run;
        {
            ImportSlot slot(importedGetModuleFileNameA, &UnusablePath);
            run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE /QUIT");
        }
        EXPECT_EQ(2, run.exitCode);
        EXPECT_EQ(std::vector<std::string>{list_ + ",failed,,," + std::to_string(c.code) + "," +
                                           StringEntry(IDS_PROGRAM_PATH_UNUSABLE)},
                  run.lines);
        EXPECT_TRUE(commandLines.empty()) << "a child was started";
    }
}

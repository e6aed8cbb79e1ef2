/*
 * The list run in-process, /COMPUTER=@path through WinMain: its children are stand-ins
 * (list_child_standin.exe) that wait, hang, crash or write what a test needs, put in place of
 * Kelvra.exe through the import slot of CreateProcessA. Its standard output is a file here.
 */
#include <windows.h>
#include <commctrl.h>

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
std::vector<BOOL> inherits;            /* whether each start handed on handles */
/* The results window's Outcome column as each start began, where a window is open. */
std::vector<std::vector<std::string>> outcomesAtStart;

/* The rows of the list run's window, each its five columns as the list view gives them through
 * its messages (it asks the window for them, with the caller's room); empty when no window is
 * open. */
std::vector<std::vector<std::string>> ShownRows()
{
    std::vector<std::vector<std::string>> rows;
    HWND list = GetDlgItem(FindWindowA("#32770", "Kelvra"), IDC_RESULTS_LIST);
    if (list == NULL)
        return rows;
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    for (int item = 0; item < count; item++)
    {
        std::vector<std::string> row;
        for (int column = 0; column < 5; column++)
        {
            /* as much room as a list view gives its window when it draws a row */
            char text[260];
            memset(text, 'x', sizeof(text));
            LVITEMA asked = {};
            asked.iSubItem = column;
            asked.pszText = text;
            asked.cchTextMax = sizeof(text);
            int length = (int)SendMessageA(list, LVM_GETITEMTEXTA, item, (LPARAM)&asked);
            row.push_back(std::string(text, length));
        }
        rows.push_back(row);
    }
    return rows;
}

/* Starts the stand-in in place of the program that the command line names; a machine named
 * "nostart-..." cannot be started, as a program that is not there. */
BOOL WINAPI StartStandIn(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                         LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags,
                         LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                         LPPROCESS_INFORMATION information)
{
    std::string line = commandLine;
    commandLines.push_back(line);
    inherits.push_back(inherit);
    std::vector<std::string> outcomes;
    for (const auto &row : ShownRows())
        outcomes.push_back(row[1]);
    if (!outcomes.empty())
        outcomesAtStart.push_back(outcomes);
    Sleep(startDelay);
    if (line.find("/COMPUTER=nostart") != std::string::npos)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string replaced = "\"" + ProgramDirectory() + "\\list_child_standin.exe\"" +
                           line.substr(line.find('"', 1) + 1);
    /* Without /QUIT, Kelvra's dialog for one machine, which a person started from the window:
     * a process of the GUI subsystem, which gets no standard output that it was not given. The
     * stand-in, a console program, would write to the run's; here it only starts and ends. */
    if (line.find(" /QUIT") == std::string::npos)
        replaced = "\"" + ProgramDirectory() + "\\list_child_standin.exe\" /COMPUTER=dialog-0";
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
        inherits.clear();
        outcomesAtStart.clear();
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

namespace
{

/* What the results window showed while a run went on, and what it did when a person used it
 * once the run was over. */
struct Results
{
    HHOOK hook;
    HWND window;
    /* the rows at each counts line, and that line */
    std::vector<std::vector<std::vector<std::string>>> rowsSeen;
    std::vector<std::string> countsSeen;
    /* once all was done: the clipboard after Copy, Csv's too; the rows sorted by outcome; the
     * clipboard after Ctrl+C on two selected rows; the starts a double-click, Enter and a
     * double-click on a row that names no machine asked for */
    std::vector<std::vector<std::string>> atEnd, sorted;
    std::string copied, copiedCsv, copiedSelected;
    std::vector<std::string> opened;
    std::vector<BOOL> openedInherit;
    /* made 200 x 100 pixels larger: how much the rows and Close moved or grew, in pixels; made
     * tiny: how large the window stayed, and the template's size */
    int rowsGrewWidth, rowsGrewHeight, closeMovedX, closeMovedY;
    SIZE shrunk, least;
};
Results results;

std::string ClipboardText(UINT format)
{
    std::string text = "(nothing)";
    if (!OpenClipboard(NULL))
        return "(no clipboard)";
    HANDLE data = GetClipboardData(format);
    const char *locked = data != NULL ? (const char *)GlobalLock(data) : NULL;
    if (locked != NULL)
    {
        text = locked;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

/* The place on show of the row whose machine is name, or -1. */
int PlaceOf(const std::vector<std::vector<std::string>> &rows, const std::string &name)
{
    for (size_t i = 0; i < rows.size(); i++)
    {
        if (rows[i][0] == name)
            return (int)i;
    }
    return -1;
}

void SetRowState(HWND list, int item, UINT state, UINT mask)
{
    LVITEMA changed = {};
    changed.stateMask = mask;
    changed.state = state;
    SendMessageA(list, LVM_SETITEMSTATE, item, (LPARAM)&changed);
}

/* Used as a person would use the window once the run is over, from inside its message loop. */
void CALLBACK UseResults(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    HWND window = results.window;
    HWND list = GetDlgItem(window, IDC_RESULTS_LIST);
    results.atEnd = ShownRows();

    OpenClipboard(NULL);
    EmptyClipboard();
    CloseClipboard();
    SendMessageA(window, WM_COMMAND, IDC_RESULTS_COPY, 0);
    results.copied = ClipboardText(CF_TEXT);
    results.copiedCsv = ClipboardText(RegisterClipboardFormatA("Csv"));

    /* A click on the Outcome column's heading, as the list view tells its window. */
    NMLISTVIEW click = {};
    click.hdr = {.hwndFrom = list, .idFrom = IDC_RESULTS_LIST, .code = LVN_COLUMNCLICK};
    click.iItem = -1;
    click.iSubItem = 1;
    SendMessageA(window, WM_NOTIFY, IDC_RESULTS_LIST, (LPARAM)&click);
    results.sorted = ShownRows();

    /* Two rows selected, then Ctrl+C in the list. */
    SetRowState(list, PlaceOf(results.sorted, "crash-4"), LVIS_SELECTED, LVIS_SELECTED);
    SetRowState(list, PlaceOf(results.sorted, "changed-1"), LVIS_SELECTED, LVIS_SELECTED);
    BYTE keys[256], pressed[256];
    GetKeyboardState(keys);
    memcpy(pressed, keys, sizeof(keys));
    pressed[VK_CONTROL] = 0x80;
    SetKeyboardState(pressed);
    SendMessageA(list, WM_KEYDOWN, 'C', 0);
    SetKeyboardState(keys);
    results.copiedSelected = ClipboardText(CF_TEXT);

    /* A double-click on changed-1, Enter on sleep100-3, a double-click on "bad name". */
    size_t before = commandLines.size();
    for (const char *name : {"changed-1", "sleep100-3", "bad name"})
    {
        int place = PlaceOf(results.sorted, name);
        if (std::string(name) == "sleep100-3")
        {
            SetRowState(list, place, LVIS_FOCUSED, LVIS_FOCUSED);
            SendMessageA(window, WM_COMMAND, IDOK, 0);
            continue;
        }
        RECT row = {};
        row.left = LVIR_LABEL;
        SendMessageA(list, LVM_GETITEMRECT, place, (LPARAM)&row);
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON,
                     MAKELPARAM(row.left + 2, (row.top + row.bottom) / 2));
    }
    results.opened.assign(commandLines.begin() + before, commandLines.end());
    results.openedInherit.assign(inherits.begin() + before, inherits.end());

    /* Made larger, the rows take the room and the buttons keep to the corner; made smaller
     * than the template, it keeps the template's size. */
    RECT frame, rowsBefore, closeBefore, rowsAfter, closeAfter, units = {0, 0, 400, 240};
    HWND close = GetDlgItem(window, IDC_PROGRESS_CLOSE);
    GetWindowRect(window, &frame);
    GetWindowRect(list, &rowsBefore);
    GetWindowRect(close, &closeBefore);
    MoveWindow(window, frame.left, frame.top, frame.right - frame.left + 200,
               frame.bottom - frame.top + 100, TRUE);
    GetWindowRect(list, &rowsAfter);
    GetWindowRect(close, &closeAfter);
    results.rowsGrewWidth =
        (rowsAfter.right - rowsAfter.left) - (rowsBefore.right - rowsBefore.left);
    results.rowsGrewHeight =
        (rowsAfter.bottom - rowsAfter.top) - (rowsBefore.bottom - rowsBefore.top);
    results.closeMovedX = closeAfter.left - closeBefore.left;
    results.closeMovedY = closeAfter.top - closeBefore.top;
    MapDialogRect(window, &units);
    results.least = {units.right, units.bottom};
    MoveWindow(window, frame.left, frame.top, 50, 50, TRUE);
    RECT client;
    GetClientRect(window, &client);
    results.shrunk = {client.right, client.bottom};
    PostMessageA(window, WM_COMMAND, IDC_PROGRESS_CLOSE, 0);
}

LRESULT CALLBACK WatchResults(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *message = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && message->message == WM_SETTEXT &&
        GetDlgCtrlID(message->hwnd) == IDC_PROGRESS_TEXT)
    {
        std::string text = (const char *)message->lParam;
        results.window = GetParent(message->hwnd);
        results.countsSeen.push_back(text);
        results.rowsSeen.push_back(ShownRows());
        if (text.rfind("All done", 0) == 0)
            SetTimer(NULL, 0, 10, UseResults);
    }
    return CallNextHookEx(results.hook, code, wParam, lParam);
}

} // namespace

TEST_F(ListRunTest, TheWindowHasARowPerMachineThatSaysHowItStandsAndCopiesAndOpensIt)
{
    /* The slow machine outlasts the others' starts, which take seconds each where this
     * build's programs run emulated. */
    const std::string slow = "sleep" + std::to_string(Scaled(4500)) + "-2";
    const std::vector<std::string> names = {"changed-1", slow,       "sleep100-3",
                                            "crash-4",   "bad name", "nostart-6"};
    WriteList(names);
    results = {};
    results.hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchResults, NULL, GetCurrentThreadId());
    watch = {};
    UINT_PTR giveUp = SetTimer(NULL, 0, Scaled(60000), GiveUp);

    ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE" + Timeout(30));

    KillTimer(NULL, giveUp);
    UnhookWindowsHookEx(results.hook);
    ASSERT_EQ(names.size(), run.lines.size());
    ASSERT_FALSE(results.rowsSeen.empty()) << "no window, or no counts in it";

    /* Before its child starts a row waits; from then on it runs. */
    ASSERT_GE(outcomesAtStart.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(6, "waiting"), outcomesAtStart[0]);
    EXPECT_EQ((std::vector<std::string>{"running", "waiting", "waiting", "waiting", "waiting",
                                        "waiting"}),
              outcomesAtStart[1]);

    /* The slow machine runs on while the others have ended, and says for how long once it has
     * run a few seconds. */
    bool othersEndedWhileItRan = false;
    bool secondsShown = false;
    for (const auto &rows : results.rowsSeen)
    {
        ASSERT_EQ(names.size(), rows.size());
        bool othersEnded = true;
        for (size_t i = 0; i < rows.size(); i++)
        {
            EXPECT_EQ(names[i], rows[i][0]) << "the rows are not in the list's order";
            if (i != 1)
                othersEnded = othersEnded && rows[i][1] != "running" && rows[i][1] != "waiting";
        }
        othersEndedWhileItRan =
            othersEndedWhileItRan || (othersEnded && rows[1][1].rfind("running", 0) == 0);
        secondsShown = secondsShown ||
                       std::regex_match(rows[1][1], std::regex("running, ([3-9]|[1-9][0-9]+) s"));
    }
    EXPECT_TRUE(othersEndedWhileItRan);
    EXPECT_TRUE(secondsShown) << "the slow machine never said for how long it had run";

    /* At the end, each row in words: its outcome, the two states, and why it failed. */
    const std::string noLine = StringEntry(IDS_CHILD_NO_LINE);
    const std::vector<std::vector<std::string>> want = {
        {"changed-1", "changed", "off", "on", ""},
        {slow, "as asked", "on", "on", "alive "},
        {"sleep100-3", "as asked", "on", "on", "alive "},
        {"crash-4", "failed", "", "", "Error 3221225477: " + noLine},
        {"bad name", "failed", "", "",
         "Error 1210: " + SystemErrorLine(ERROR_INVALID_COMPUTERNAME)},
        {"nostart-6", "failed", "", "", "Error 2: " + SystemErrorLine(ERROR_FILE_NOT_FOUND)},
    };
    ASSERT_EQ(want.size(), results.atEnd.size());
    for (size_t i = 0; i < want.size(); i++)
    {
        SCOPED_TRACE(want[i][0]);
        for (size_t c = 0; c < 4; c++)
            EXPECT_EQ(want[i][c], results.atEnd[i][c]) << "column " << c;
        EXPECT_EQ(want[i][4], results.atEnd[i][4].substr(0, want[i][4].size()));
    }

    /* Copy: the lines the output got, in its order; as text and as CSV. */
    std::string report;
    for (const std::string &line : run.lines)
        report += line + "\r\n";
    EXPECT_EQ(report, results.copied);
    EXPECT_EQ(report, results.copiedCsv);

    /* One click on Outcome: the failed first, each kind in the list's order. */
    std::vector<std::string> sortedNames;
    for (const auto &row : results.sorted)
        sortedNames.push_back(row[0]);
    EXPECT_EQ((std::vector<std::string>{"crash-4", "bad name", "nostart-6", "changed-1", slow,
                                        "sleep100-3"}),
              sortedNames);

    /* Ctrl+C with two rows selected: theirs only, in the order on show. */
    EXPECT_EQ(run.lines[3] + "\r\n" + run.lines[0] + "\r\n", results.copiedSelected);

    /* A double-click and Enter each start Kelvra for their row's machine, without /QUIT and
     * without this run's handles; a line that names no machine starts nothing. */
    const std::string self = "\"" + ProgramDirectory() + "\\list_run_tests.exe\"";
    EXPECT_EQ(
        (std::vector<std::string>{self + " /COMPUTER=changed-1", self + " /COMPUTER=sleep100-3"}),
        results.opened);
    EXPECT_EQ((std::vector<BOOL>{FALSE, FALSE}), results.openedInherit);
    EXPECT_FALSE(IsWindow(results.window)) << "the window is left open";

    EXPECT_EQ(200, results.rowsGrewWidth);
    EXPECT_EQ(100, results.rowsGrewHeight);
    EXPECT_EQ(200, results.closeMovedX);
    EXPECT_EQ(100, results.closeMovedY);
    EXPECT_GE(results.shrunk.cx, results.least.cx) << "made narrower than its template";
    EXPECT_GE(results.shrunk.cy, results.least.cy) << "made lower than its template";
}

/* The counts line at its longest, with thousands of machines, and the buttons' captions fit
 * their controls in the window's font at 96 and at 120 DPI, each measured as the dialog manager
 * lays the template out at that resolution. */
TEST_F(ListRunTest, TheResultsWindowsTextsFitAt96And120Dpi)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    HWND window = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS), NULL,
                                     PlainDialogProc, 0);
    ASSERT_NE(HWND(NULL), window);
    RECT units = {0, 0, 400, 8};
    MapDialogRect(window, &units);
    const struct
    {
        int control;
        std::string text;
    } cases[] = {
        {.control = IDC_PROGRESS_TEXT,
         .text = "5000 of 5000 machines done: 5000 changed, 5000 as asked, 5000 failed"},
        {.control = IDC_PROGRESS_TEXT,
         .text = "All done, 5000 of 5000 machines: 5000 changed, 5000 as asked, 5000 failed"},
        {.control = IDC_RESULTS_COPY, .text = "Copy"},
        {.control = IDC_PROGRESS_CLOSE, .text = "Close"},
    };
    HDC dc = CreateCompatibleDC(NULL);
    for (int dpi : {96, 120})
    {
        HFONT font = CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                 0, 0, 0, 0, "MS Sans Serif");
        HGDIOBJ old = SelectObject(dc, font);
        SIZE letters;
        GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                              &letters);
        int baseX = (letters.cx / 26 + 1) / 2;
        for (const auto &c : cases)
        {
            SCOPED_TRACE(c.text + " at " + std::to_string(dpi) + " DPI");
            RECT control;
            GetClientRect(GetDlgItem(window, c.control), &control);
            /* the control's width in dialog units, from the window as built */
            int widthUnits = MulDiv(control.right, 400, units.right);
            SIZE extent;
            GetTextExtentPoint32A(dc, c.text.c_str(), (int)c.text.size(), &extent);
            EXPECT_LE(extent.cx, MulDiv(widthUnits, baseX, 4)) << widthUnits << " units";
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
    DestroyWindow(window);
}

TEST_F(ListRunTest, AChangeWhoseRestartWindowsRefusedMakesTheExitCodeTwo)
{
    /* Its line says "changed", for the value was written; the run's exit code must still tell
     * a script that a machine waits for a restart by hand. */
    const struct
    {
        const char *what;
        std::vector<std::string> names;
        int exitCode;
    } cases[] = {
        {.what = "every restart taken", .names = {"changed-1", "changed-2"}, .exitCode = 1},
        {.what = "one restart refused", .names = {"changed-1", "unrestarted-2"}, .exitCode = 2},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        WriteList(c.names);
        ListRun run = Run("/COMPUTER=@" + list_ + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT");
        EXPECT_EQ(c.exitCode, run.exitCode);
        ASSERT_EQ(c.names.size(), run.lines.size());
        EXPECT_EQ(c.names.back() + ",changed,",
                  run.lines.back().substr(0, c.names.back().size() + 9));
    }
}

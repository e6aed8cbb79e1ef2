#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "app/report_line.h"
#include "resources/resource.h"
#include "support/adapter_fixtures.h"
#include "support/app_state_helpers.h"
#include "support/dialog_helpers.h"
#include "support/import_slot.h"
#include "support/process_helpers.h"
#include "support/registry_helpers.h"

namespace
{

/* Ends every dialog of this thread once the test has waited long enough for what it watches
 * for, and fails the test saying what that was: a run that never shows it must not sit out
 * CTest's time limit. */
std::string awaited;

BOOL CALLBACK CloseDialog(HWND window, LPARAM)
{
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return TRUE;
}

void CALLBACK GiveUpWaiting(HWND, UINT, UINT_PTR, DWORD)
{
    ADD_FAILURE() << "waited " << Scaled(10000) / 1000 << " s for " << awaited;
    EnumThreadWindows(GetCurrentThreadId(), CloseDialog, 0);
}

/* WinMain run in-process: AppState as at start before each test, and the window class that
 * it registers taken away after. */
class WinMainTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        Reset();
    }
    void TearDown() override
    {
        UnregisterClassA("DlgClass", module_);
    }
    /* AppState as at start, no box seen, and no class left from an earlier run. */
    void Reset()
    {
        UnregisterClassA("DlgClass", module_);
        AppState = START_STATE;
        MessageBoxWatcher::Seen().clear();
    }
    /* WinMain, with any message box that comes up noted and dismissed; a run that has not
     * ended after a while is ended, and the test fails saying that it waited for what. */
    int RunWinMain(HINSTANCE instance, const char *tail,
                   const std::string &what = "the run to end by itself")
    {
        MessageBoxWatcher watcher;
        module_ = instance;
        awaited = what;
        UINT_PTR giveUp = SetTimer(NULL, 0, Scaled(10000), GiveUpWaiting);
        int exitCode = WinMain(instance, NULL, const_cast<char *>(tail), SW_SHOWNORMAL);
        KillTimer(NULL, giveUp);
        return exitCode;
    }
    HINSTANCE module_ = NULL;
    SavedKey saved_{TCPIP_KEY_PATH};
};

/* Changes the access to the Tcpip\\Parameters key between Kelvra's two writes: once the
 * Media Sense status line is about to show trigger, the key's access is turned to allow
 * (or deny), so that the APIPA write meets the other outcome. Then, so that a run without
 * /QUIT ends, the close command follows the APIPA status line that comes after it. */
struct BetweenTheWrites
{
    std::string trigger;
    bool allow;
    HHOOK hook;
    bool fired;
};
BetweenTheWrites between;

LRESULT CALLBACK WatchStatusLines(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *message = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && message->message == WM_SETTEXT)
    {
        int id = GetDlgCtrlID(message->hwnd);
        if (id == IDC_MEDIA_SENSE_STATUS && between.trigger == (const char *)message->lParam)
        {
            if (between.allow)
                AllowFullAccess(TCPIP_KEY_PATH);
            else
                DenyFullAccess(TCPIP_KEY_PATH);
            between.fired = true;
        }
        else if (id == IDC_APIPA_STATUS && between.fired)
            PostMessageA(GetParent(message->hwnd), WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    return CallNextHookEx(between.hook, code, wParam, lParam);
}

/* The import slots through which Kelvra's code calls two system functions: a test puts its
 * own function there to see the exact arguments of a call, or to make the system answer what
 * it rarely answers. */
#ifdef _WIN64
extern "C" decltype(&MessageBoxA) importedMessageBoxA __asm__("__imp_MessageBoxA");
extern "C" decltype(&FormatMessageA) importedFormatMessageA __asm__("__imp_FormatMessageA");
extern "C" decltype(&RegConnectRegistryA)
    importedRegConnectRegistryA __asm__("__imp_RegConnectRegistryA");
extern "C" decltype(&InitiateSystemShutdownA)
    importedInitiateSystemShutdownA __asm__("__imp_InitiateSystemShutdownA");
extern "C" decltype(&AbortSystemShutdownA)
    importedAbortSystemShutdownA __asm__("__imp_AbortSystemShutdownA");
extern "C" decltype(&AdjustTokenPrivileges)
    importedAdjustTokenPrivileges __asm__("__imp_AdjustTokenPrivileges");
#else
extern "C" decltype(&InitiateSystemShutdownA)
    importedInitiateSystemShutdownA __asm__("__imp__InitiateSystemShutdownA@20");
extern "C" decltype(&AbortSystemShutdownA)
    importedAbortSystemShutdownA __asm__("__imp__AbortSystemShutdownA@4");
extern "C" decltype(&AdjustTokenPrivileges)
    importedAdjustTokenPrivileges __asm__("__imp__AdjustTokenPrivileges@24");
extern "C" decltype(&MessageBoxA) importedMessageBoxA __asm__("__imp__MessageBoxA@16");
extern "C" decltype(&FormatMessageA) importedFormatMessageA __asm__("__imp__FormatMessageA@28");
extern "C" decltype(&RegConnectRegistryA)
    importedRegConnectRegistryA __asm__("__imp__RegConnectRegistryA@12");
#endif

/* What the fatal box was called with. */
struct BoxCall
{
    HWND owner;
    std::string text, title;
    UINT type;
};
std::vector<BoxCall> boxCalls;

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR title, UINT type)
{
    boxCalls.push_back({owner, text, title, type});
    return IDOK;
}

/* A system text of this many characters, handed out as FormatMessageA does: the text and its
 * zero when they fit in size characters, else nothing but ERROR_INSUFFICIENT_BUFFER, after
 * filling the whole buffer as a careless implementation might. The size asked with and the
 * buffer's end are noted. */
size_t systemTextLength;
DWORD askedSize;
char *askedBufferEnd;

DWORD WINAPI LongSystemText(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                            DWORD size, va_list *arguments)
{
    (void)flags, (void)source, (void)id, (void)language, (void)arguments;
    askedSize = size;
    askedBufferEnd = buffer + size;
    std::string text(systemTextLength, 'x');
    if (text.size() + 1 > size)
    {
        std::memset(buffer, 'y', size);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DWORD(text.size());
}

/* A machine that takes this long to answer: the connection is made as Wine makes it, after the
 * delay. The end of each call is signalled, so that a test can wait for a late one before the
 * next case starts one of its own. */
DWORD answerDelay;
decltype(&RegConnectRegistryA) realRegConnectRegistryA;
HANDLE connectionEnded;

LONG WINAPI SlowRegConnectRegistry(LPCSTR machine, HKEY key, PHKEY result)
{
    Sleep(answerDelay);
    LONG answer = realRegConnectRegistryA(machine, key, result);
    SetEvent(connectionEnded);
    return answer;
}

/* A restart request as Windows would have received it, and the stand-ins that receive it in
 * Windows' place: Wine restarts nothing and always says yes. They answer as Microsoft's pages
 * for InitiateSystemShutdown and AbortSystemShutdown say Windows does: nonzero, or zero with
 * the reason for GetLastError. */
struct ShutdownCall
{
    std::string function;
    std::string machine; /* "(this machine)" for NULL */
    std::string message;
    DWORD seconds;
    BOOL force, reboot;
    int windowsSeen; /* Kelvra's windows still there when it was made */
};
std::vector<ShutdownCall> shutdownCalls;
DWORD shutdownAnswer; /* 0: taken; otherwise the error */

BOOL CALLBACK CountWindow(HWND, LPARAM count)
{
    ++*(int *)count;
    return TRUE;
}

int ThreadWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWindow, (LPARAM)&count);
    return count;
}

BOOL WINAPI RecordShutdown(LPSTR machine, LPSTR message, DWORD seconds, BOOL force, BOOL reboot)
{
    shutdownCalls.push_back({"InitiateSystemShutdownA", machine ? machine : "(this machine)",
                             message ? message : "(none)", seconds, force, reboot,
                             ThreadWindows()});
    SetLastError(shutdownAnswer);
    return shutdownAnswer == 0;
}

BOOL WINAPI RecordAbort(LPSTR machine)
{
    shutdownCalls.push_back(
        {"AbortSystemShutdownA", machine ? machine : "(this machine)", "", 0, 0, 0, 0});
    SetLastError(shutdownAnswer);
    return shutdownAnswer == 0;
}

/* An account that does not hold the shutdown privilege: AdjustTokenPrivileges succeeds and
 * says only through GetLastError that it enabled nothing (its page: ERROR_NOT_ALL_ASSIGNED). */
BOOL WINAPI PrivilegeNotHeld(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)
{
    SetLastError(ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

/* Windows' text for an error as a report line gives it: without its line break. */
std::string LineText(DWORD error)
{
    std::string text = SystemErrorText(error);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

/* The run's line as its report would hold it, without CR LF. */
std::string RunLine()
{
    std::string line(REPORT_LINE_SIZE, '\0');
    line.resize(BuildReportLine(line.data()));
    if (line.size() >= 2)
        line.resize(line.size() - 2);
    return line;
}

/* The dialog's title as a save sets it, and whether a restart had been asked for by then;
 * the close follows, so that a run without /QUIT ends. */
struct TitleWatch
{
    HHOOK hook;
    std::string title;
    size_t callsBefore;
};
TitleWatch titleWatch;

LRESULT CALLBACK WatchTitle(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT *message = (const CWPSTRUCT *)lParam;
    if (code == HC_ACTION && message->message == WM_SETTEXT && GetParent(message->hwnd) == NULL &&
        std::string((const char *)message->lParam).find("restarts") != std::string::npos)
    {
        titleWatch.title = (const char *)message->lParam;
        titleWatch.callsBefore = shutdownCalls.size();
        PostMessageA(message->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    return CallNextHookEx(titleWatch.hook, code, wParam, lParam);
}

} // namespace

TEST_F(WinMainTest, ARestartIsAskedForExactlyWhereTheRunChangedAValue)
{
    /* One table for every kind of one-machine run: the request is made once, after the
     * dialog has gone, with Kelvra's message, the countdown asked for, applications never
     * closed by force and a restart after the shutdown; never after "as asked", a failure or
     * a run without /SAVE; and its fate is the line's code and text. */
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    const std::string written = "Kelvra: Media Sense is now disabled. These network settings take "
                                "effect after a restart. Save your work.";
    const std::string byHand = "Restart this machine by hand.";
    const struct
    {
        const char *what;
        std::string tail;
        DWORD stored;
        bool denied = false;
        DWORD answer = 0;
        bool privilegeNotHeld = false;
        int exitCode;
        std::vector<std::string> calls; /* "machine,seconds" */
        std::string line;               /* a start of the line, or the whole line */
    } cases[] = {
        {.what = "a change: the default countdown",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .exitCode = 1,
         .calls = {"(this machine),60"},
         .line = own + ",changed,off,on,,\"Restart requested, in 60 seconds.\""},
        {.what = "a change: the countdown asked for",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART=600 /QUIT",
         .stored = 0,
         .exitCode = 1,
         .calls = {"(this machine),600"},
         .line = own + ",changed,off,on,,\"Restart requested, in 600 seconds.\""},
        {.what = "a change on another machine, reached by name",
         .tail = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART=0 /QUIT",
         .stored = 0,
         .exitCode = 1,
         .calls = {"\\\\" + own + ",0"},
         .line = own + ",changed,off,on,,\"Restart requested, in 0 seconds.\""},
        {.what = "as asked",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 1,
         .exitCode = 0,
         .calls = {},
         .line = own + ",as asked,off,on,,"},
        {.what = "without /SAVE nothing is written",
         .tail = "/MEDIASENSE=OFF /RESTART /QUIT",
         .stored = 0,
         .exitCode = 0,
         .calls = {},
         .line = own + ",as asked,on,on,,"},
        {.what = "a write refused",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .denied = true,
         .exitCode = 0,
         .calls = {},
         .line = own + ",failed,on,on,5,"},
        {.what = "a write refused on another machine",
         .tail = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .denied = true,
         .exitCode = 2,
         .calls = {},
         .line = own + ",failed,on,on,5,"},
        {.what = "a value Kelvra cannot take refuses the run",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART=10s /QUIT",
         .stored = 0,
         .exitCode = 2,
         .calls = {},
         .line = own + ",failed,,,,\"The /RESTART value is not one Kelvra takes"},
        {.what = "refused by Windows: access denied",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .answer = ERROR_ACCESS_DENIED,
         .exitCode = 2,
         .calls = {"(this machine),60"},
         .line = own +
                 ",changed,off,on,5,\"The value was written, but Windows did not take the "
                 "restart: " +
                 LineText(ERROR_ACCESS_DENIED) + " Restart this machine by hand.\""},
        {.what = "refused by Windows: a shutdown in progress",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .answer = ERROR_SHUTDOWN_IN_PROGRESS,
         .exitCode = 2,
         .calls = {"(this machine),60"},
         .line = own + ",changed,off,on,1115,"},
        {.what = "refused by Windows: one already scheduled",
         .tail = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .answer = 1190, /* ERROR_SHUTDOWN_IS_SCHEDULED, which MinGW's headers lack */
         .exitCode = 2,
         .calls = {"\\\\" + own + ",60"},
         .line = own + ",changed,off,on,1190,"},
        {.what = "an account without the shutdown privilege",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .stored = 0,
         .privilegeNotHeld = true,
         .exitCode = 2,
         .calls = {},
         .line = own + ",changed,off,on,1300,"},
        {.what = "a list's child on the console's own machine leaves it to the list",
         .tail = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT /CONSOLELAST",
         .stored = 0,
         .exitCode = 3,
         .calls = {},
         .line = own + ",changed,off,on,,This is the console's own machine"},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.what << ": " << c.tail);
        Reset();
        SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, c.stored);
        SetDword(TCPIP_KEY_PATH, APIPA_NAME, 1);
        if (c.denied)
            DenyFullAccess(TCPIP_KEY_PATH);
        shutdownCalls.clear();
        shutdownAnswer = c.answer;
        int exitCode;
        {
            ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
            ImportSlot abort(importedAbortSystemShutdownA, &RecordAbort);
            ImportSlot privilege(importedAdjustTokenPrivileges,
                                 c.privilegeNotHeld ? &PrivilegeNotHeld
                                                    : importedAdjustTokenPrivileges);
            exitCode = RunWinMain(self, c.tail.c_str());
        }
        AllowFullAccess(TCPIP_KEY_PATH);

        EXPECT_EQ(c.exitCode, exitCode);
        std::vector<std::string> calls;
        for (const ShutdownCall &call : shutdownCalls)
        {
            calls.push_back(call.machine + "," + std::to_string(call.seconds));
            EXPECT_EQ("InitiateSystemShutdownA", call.function);
            EXPECT_EQ(written, call.message);
            EXPECT_EQ(FALSE, call.force) << "applications closed by force";
            EXPECT_EQ(TRUE, call.reboot) << "a shutdown without the restart";
            EXPECT_EQ(0, call.windowsSeen) << "asked for while the dialog was still open";
        }
        EXPECT_EQ(c.calls, calls);
        std::string line = RunLine();
        EXPECT_EQ(c.line, line.substr(0, c.line.size()));
        if (c.exitCode == 2 && !c.calls.empty())
        {
            EXPECT_NE(std::string::npos, line.find(byHand)) << line;
        }
        EXPECT_TRUE(MessageBoxWatcher::Seen().empty()) << "an unattended run waits for no one";
        if (c.tail.find("/RESTART=10s") != std::string::npos)
        {
            EXPECT_EQ(0u, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME))
                << "written, though refused";
        }
    }
}

TEST_F(WinMainTest, WithoutQuitTheDialogSaysWhenTheMachineRestartsAndAsksWhenItCloses)
{
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    for (DWORD answer : {DWORD(0), DWORD(ERROR_SHUTDOWN_IN_PROGRESS)})
    {
        SCOPED_TRACE(testing::Message() << "Windows answers " << answer);
        Reset();
        SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
        shutdownCalls.clear();
        shutdownAnswer = answer;
        titleWatch = {.hook =
                          SetWindowsHookExA(WH_CALLWNDPROC, WatchTitle, NULL, GetCurrentThreadId()),
                      .title = "",
                      .callsBefore = 99};
        int exitCode;
        {
            ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
            exitCode = RunWinMain(self, "/MEDIASENSE=OFF /SAVE /RESTART=45",
                                  "the title to say when the machine restarts");
        }
        UnhookWindowsHookEx(titleWatch.hook);

        EXPECT_EQ("Kelvra - restarts 45 seconds after this window closes", titleWatch.title);
        EXPECT_EQ(0u, titleWatch.callsBefore) << "asked for before the dialog closed";
        ASSERT_EQ(1u, shutdownCalls.size());
        EXPECT_EQ(45u, shutdownCalls[0].seconds);
        EXPECT_EQ(answer == 0 ? 1 : 2, exitCode);
        /* A request Windows refused is shown, for nobody else will read the line. */
        EXPECT_EQ(answer == 0 ? 0u : 1u, MessageBoxWatcher::Seen().size());
    }

    /* Nothing written, nothing said, nothing asked: closed by the test. */
    Reset();
    SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 1);
    shutdownCalls.clear();
    shutdownAnswer = 0;
    {
        ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
        HWND dialog = NULL;
        std::thread closer(
            [&]()
            {
                for (int i = 0; i < 200 && dialog == NULL; i++, Sleep(50))
                    dialog = FindWindowA("#32770", "Kelvra");
                if (dialog != NULL)
                    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            });
        EXPECT_EQ(0, RunWinMain(self, "/MEDIASENSE=OFF /SAVE /RESTART"));
        closer.join();
    }
    EXPECT_TRUE(shutdownCalls.empty());
}

TEST_F(WinMainTest, AbortStopsARestartAndReadsAndWritesNothing)
{
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    const struct
    {
        const char *what;
        std::string tail;
        DWORD answer;
        int exitCode;
        std::string machine;
        std::string line;
    } cases[] = {
        {.what = "a restart stopped",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART=ABORT /QUIT",
         .answer = 0,
         .exitCode = 1,
         .machine = "(this machine)",
         .line = own + ",changed,,,,A restart was stopped."},
        {.what = "none pending, on another machine",
         .tail = "/COMPUTER=" + own + " /RESTART=ABORT /QUIT",
         .answer = ERROR_NO_SHUTDOWN_IN_PROGRESS,
         .exitCode = 0,
         .machine = "\\\\" + own,
         .line = own + ",as asked,,,,No restart was pending."},
        {.what = "refused",
         .tail = "/COMPUTER=" + own + " /RESTART=ABORT /QUIT",
         .answer = ERROR_ACCESS_DENIED,
         .exitCode = 2,
         .machine = "\\\\" + own,
         .line = own + ",failed,,,5," + LineText(ERROR_ACCESS_DENIED)},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
        shutdownCalls.clear();
        shutdownAnswer = c.answer;
        int exitCode;
        {
            ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
            ImportSlot abort(importedAbortSystemShutdownA, &RecordAbort);
            exitCode = RunWinMain(self, c.tail.c_str());
        }
        EXPECT_EQ(c.exitCode, exitCode);
        ASSERT_EQ(1u, shutdownCalls.size());
        EXPECT_EQ("AbortSystemShutdownA", shutdownCalls[0].function);
        EXPECT_EQ(c.machine, shutdownCalls[0].machine);
        EXPECT_EQ(c.line, RunLine());
        EXPECT_EQ(0u, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME));
    }
}

TEST_F(WinMainTest, AnotherMachineThatDoesNotAnswerInTimeEndsTheRunWithoutWriting)
{
    /* Wine answers at once, so the connection is slowed here: late by more than /TIMEOUT, the
     * run ends with 2 and ERROR_TIMEOUT once the limit has passed, not when the machine
     * answers; inside the limit, it goes on and saves. */
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    const struct
    {
        const char *what;
        const char *options;
        DWORD delayMs;
        DWORD atLeastMs, atMostMs; /* how long the run takes */
        int exitCode;
        DWORD failureCode;
        DWORD mediaSenseAfter;
        BOOL workerLeft; /* the process's end must not wait for the worker */
    } cases[] = {
        {.what = "answers 3 s after a limit of 1 s",
         .options = " /TIMEOUT=1 /MEDIASENSE=OFF /SAVE /QUIT",
         .delayMs = 3000,
         .atLeastMs = 900,
         .atMostMs = 2500,
         .exitCode = 2,
         .failureCode = ERROR_TIMEOUT,
         .mediaSenseAfter = 0,
         .workerLeft = 1},
        {.what = "answers 0.5 s into a limit of 2 s",
         .options = " /TIMEOUT=2 /MEDIASENSE=OFF /SAVE /QUIT",
         .delayMs = 500,
         .atLeastMs = 400,
         .atMostMs = 2000,
         .exitCode = 1,
         .failureCode = 0,
         .mediaSenseAfter = 1,
         .workerLeft = 0},
        {.what = "answers 2 s into the default limit of 30 s",
         .options = " /MEDIASENSE=OFF /SAVE /QUIT",
         .delayMs = 2000,
         .atLeastMs = 1900,
         .atMostMs = 5000,
         .exitCode = 1,
         .failureCode = 0,
         .mediaSenseAfter = 1,
         .workerLeft = 0},
    };
    connectionEnded = CreateEventA(NULL, FALSE, FALSE, NULL);
    realRegConnectRegistryA = importedRegConnectRegistryA;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
        answerDelay = c.delayMs;
        const std::string tail = "/COMPUTER=" + own + c.options;
        DWORD start = GetTickCount();
        int exitCode;
        {
            ImportSlot slow(importedRegConnectRegistryA, &SlowRegConnectRegistry);
            exitCode = RunWinMain(self, tail.c_str());
        }
        DWORD took = GetTickCount() - start;

        EXPECT_EQ(c.exitCode, exitCode);
        EXPECT_GE(took, c.atLeastMs);
        EXPECT_LE(took, Scaled(c.atMostMs)) << "the run must not wait for the machine";
        EXPECT_EQ(c.failureCode, AppState.failureCode);
        EXPECT_EQ(c.workerLeft, AppState.workerLeftRunning);
        if (c.failureCode != 0)
        {
            EXPECT_EQ(SystemErrorText(c.failureCode), AppState.messageText);
        }
        EXPECT_EQ(c.mediaSenseAfter, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME));
        EXPECT_TRUE(MessageBoxWatcher::Seen().empty());

        /* The late connection is made in the end, and still writes nothing. */
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(connectionEnded, Scaled(c.delayMs + 10000)));
        Sleep(200);
        EXPECT_EQ(c.mediaSenseAfter, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME));
    }
    CloseHandle(connectionEnded);
}

/* Another machine, as a private key of the test's laid out like a machine's HKLM: what the
 * connection hands back as that machine's root. */
std::string machineRoot;

LONG WINAPI ConnectToPrivateMachine(LPCSTR machine, HKEY key, PHKEY result)
{
    (void)machine, (void)key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, machineRoot.c_str(), 0, KEY_ALL_ACCESS, result);
}

TEST_F(WinMainTest, AnotherMachinesAdaptersAreReadThroughItsOwnRoot)
{
    /* That machine has an adapter with APIPA off of its own; this one has none. What Kelvra
     * counts, names and reports must be that machine's. */
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    SavedKey savedNetwork(NETWORK_CLASS_KEY_PATH);
    DeleteKey(INTERFACES_KEY_PATH);
    DeleteKey(NETWORK_CLASS_KEY_PATH);
    SetDword(TCPIP_KEY_PATH, APIPA_NAME, 1);
    machineRoot = PrivateKeyPath();
    DeleteKey(machineRoot);
    CreateKey(machineRoot + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    SetRawValue(machineRoot + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion",
                REG_SZ, {'5', '.', '1', 0});
    CreateKey(machineRoot + "\\" TCPIP_KEY_PATH);
    StoreAdapter(machineRoot + "\\", PLANT_OFF);

    const std::string tail = "/COMPUTER=" + own + " /APIPA=OFF /SAVE /QUIT";
    int exitCode;
    {
        ImportSlot privateMachine(importedRegConnectRegistryA, &ConnectToPrivateMachine);
        exitCode = RunWinMain(self, tail.c_str());
    }

    EXPECT_EQ(1, exitCode);
    EXPECT_EQ(0u, StoredDword(machineRoot + "\\" TCPIP_KEY_PATH, APIPA_NAME));
    EXPECT_EQ(1u, StoredDword(TCPIP_KEY_PATH, APIPA_NAME)) << "this machine was written";
    ASSERT_EQ(1u, AppState.adapterSettings->count);
    EXPECT_STREQ("Local Area Connection 2", AppState.adapterSettings->adapters[0].name);
    /* Written off, as that adapter already was: nothing apart any more. Before the save,
     * the same adapter was one apart. */
    std::string line(REPORT_LINE_SIZE, '\0');
    line.resize(BuildReportLine(line.data()));
    EXPECT_EQ(own + ",changed,on,off,,\r\n", line);
    AppState.apipaOn = 1;
    line.resize(REPORT_LINE_SIZE);
    line.resize(BuildReportLine(line.data()));
    EXPECT_EQ(own + ",changed,on,on (off on 1 adapter),,\r\n", line);
    DeleteKey(machineRoot);
}

TEST_F(WinMainTest, AListsChildTellsTheConsoleByWhatTheMachineSaysOfItself)
{
    /* The machine reached by this machine's own name is, to the test, another one: its root a
     * private key. What decides is the ComputerName it records, never the name it was given. */
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    const std::string nameKey =
        "\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
    const struct
    {
        const char *what;
        const char *recorded; /* NULL: no such value */
        int exitCode;
        std::vector<std::string> calls;
        std::string text;
    } cases[] = {
        {.what = "it calls itself this machine, in other letter case",
         .recorded = "",
         .exitCode = 3,
         .calls = {},
         .text = "This is the console's own machine"},
        {.what = "it calls itself another machine",
         .recorded = "PLANT-PC-17",
         .exitCode = 1,
         .calls = {"\\\\" + own},
         .text = "\"Restart requested, in 60 seconds.\""},
        {.what = "it records no name: left alone",
         .recorded = NULL,
         .exitCode = 2,
         .calls = {},
         .text = "\"Kelvra could not tell whether this machine is the console itself"},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        machineRoot = PrivateKeyPath();
        DeleteKey(machineRoot);
        CreateKey(machineRoot + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
        SetRawValue(machineRoot + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                    "CurrentVersion", REG_SZ, {'5', '.', '1', 0});
        CreateKey(machineRoot + "\\" TCPIP_KEY_PATH);
        SetDword(machineRoot + "\\" TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
        if (c.recorded != NULL)
        {
            std::string name = *c.recorded ? c.recorded : own;
            if (!*c.recorded)
                for (char &ch : name)
                    ch = (char)tolower((unsigned char)ch);
            CreateKey(machineRoot + nameKey);
            SetRawValue(machineRoot + nameKey, "ComputerName", REG_SZ,
                        std::vector<BYTE>(name.c_str(), name.c_str() + name.size() + 1));
        }
        shutdownCalls.clear();
        shutdownAnswer = 0;
        const std::string tail =
            "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT /CONSOLELAST";
        int exitCode;
        {
            ImportSlot privateMachine(importedRegConnectRegistryA, &ConnectToPrivateMachine);
            ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
            exitCode = RunWinMain(self, tail.c_str());
        }

        EXPECT_EQ(c.exitCode, exitCode);
        std::vector<std::string> calls;
        for (const ShutdownCall &call : shutdownCalls)
            calls.push_back(call.machine);
        EXPECT_EQ(c.calls, calls);
        const std::string start = own + ",changed,off,on,,";
        EXPECT_EQ(start + c.text, RunLine().substr(0, start.size() + c.text.size()));
        DeleteKey(machineRoot);
    }
}

TEST_F(WinMainTest, RunsTheDialogAndReturnsTheExitCode)
{
    DeleteValue(TCPIP_KEY_PATH, MEDIA_SENSE_NAME);
    HINSTANCE self = GetModuleHandleA(NULL);

    EXPECT_EQ(1, RunWinMain(self, "/MEDIASENSE=OFF /SAVE /QUIT"));
    EXPECT_EQ(self, AppState.instance);
    EXPECT_EQ(1, AppState.requestedDisableMediaSense);
    EXPECT_TRUE(MessageBoxWatcher::Seen().empty());

    WNDCLASSA windowClass = {};
    ASSERT_TRUE(GetClassInfoA(self, "DlgClass", &windowClass));
    EXPECT_EQ(UINT(CS_BYTEALIGNCLIENT), windowClass.style);
    EXPECT_EQ(0, windowClass.cbClsExtra);
    EXPECT_EQ(DLGWINDOWEXTRA, windowClass.cbWndExtra);
    EXPECT_EQ(LoadIconA(NULL, (LPCSTR)IDI_APPLICATION), windowClass.hIcon);
    EXPECT_EQ(LoadCursorA(NULL, (LPCSTR)IDC_ARROW), windowClass.hCursor);
    EXPECT_EQ(HBRUSH(COLOR_WINDOW + 1), windowClass.hbrBackground);
    EXPECT_EQ(nullptr, windowClass.lpszMenuName);
    /* A window of the class is a dialog manager's window: it answers DM_GETDEFID. */
    HWND window = CreateWindowA("DlgClass", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, self, NULL);
    ASSERT_NE(HWND(NULL), window);
    EXPECT_EQ(MAKELONG(IDOK, DC_HASDEFID), SendMessageA(window, DM_GETDEFID, 0, 0));
    DestroyWindow(window);
}

TEST_F(WinMainTest, WhenTheClassCannotBeRegisteredItStopsAtOnce)
{
    /* Nothing is read, written or shown: 0 on this machine, as ever; 2 when the command line
     * named another, where nothing was done either. */
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    const struct
    {
        std::string tail;
        int exitCode;
    } cases[] = {
        {.tail = "/MEDIASENSE=OFF /SAVE", .exitCode = 0},
        {.tail = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE", .exitCode = 2},
        {.tail = "/COMPUTER= /MEDIASENSE=OFF /SAVE", .exitCode = 2},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.tail);
        Reset();
        SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
        WNDCLASSA taken = {};
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = self;
        taken.lpszClassName = "DlgClass";
        ASSERT_NE(0, RegisterClassA(&taken));

        EXPECT_EQ(c.exitCode, RunWinMain(self, c.tail.c_str()));
        EXPECT_TRUE(MessageBoxWatcher::Seen().empty());
        EXPECT_EQ(0u, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME));
        EXPECT_EQ(1, AppState.runFailed);
        EXPECT_EQ(DWORD(ERROR_CLASS_ALREADY_EXISTS), AppState.failureCode);
        EXPECT_EQ(SystemErrorText(ERROR_CLASS_ALREADY_EXISTS), AppState.messageText);
    }
}

TEST_F(WinMainTest, WhenTheDialogCannotBeCreatedTheErrorIsShownUnlessUnattended)
{
    /* A module without dialog template 101; what the platform says about it is the oracle. */
    HINSTANCE noDialogs = GetModuleHandleA("ntdll.dll");
    SetLastError(0xdeadbeef);
    ASSERT_EQ(-1, DialogBoxParamA(noDialogs, MAKEINTRESOURCEA(IDD_KELVRA), NULL, NULL, 0));
    DWORD error = GetLastError();
    ASSERT_NE(0xdeadbeefu, error);

    const struct
    {
        const char *tail;
        bool boxShown;
    } cases[] = {
        {"", true},
        {"/MEDIASENSE=OFF /SAVE", true},
        /* an unattended run must never wait for a click */
        {"/QUIT", false},
        {"/MEDIASENSE=OFF /SAVE /QUIT", false},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "tail \"" << c.tail << "\"");
        Reset();

        EXPECT_EQ(0, RunWinMain(noDialogs, c.tail));

        EXPECT_EQ(SystemErrorText(error), AppState.messageText);
        if (!c.boxShown)
        {
            EXPECT_TRUE(MessageBoxWatcher::Seen().empty());
            continue;
        }
        ASSERT_EQ(1u, MessageBoxWatcher::Seen().size());
        const SeenBox &box = MessageBoxWatcher::Seen()[0];
        EXPECT_EQ(HWND(NULL), box.owner);
        EXPECT_EQ("Kelvra: Fatal Error", box.title);
        EXPECT_EQ(SystemErrorText(error), box.text);
        EXPECT_TRUE(box.stopIcon);
        EXPECT_TRUE(box.okOnly);
        /* MB_TOPMOST cannot be seen here: Wine's message box ignores it, where Windows gives the
         * box WS_EX_TOPMOST. */
    }
}

TEST_F(WinMainTest, WhenOneWriteSucceedsAndTheOtherFailsTheExitCodeSaysWhatAScriptMustDo)
{
    /* Media Sense is written first; the key's access changes right after its outcome. Here the
     * machine must restart: 1. For another machine (this one, by its name) a fleet script must
     * learn of the failure: 2. A partial write is a machine for a person to look at: /RESTART
     * restarts none of them. */
    const struct
    {
        const char *what;
        bool mediaSenseRefused; /* otherwise APIPA is */
        const char *tail;
        UINT mediaSenseStatus, apipaStatus;
        DWORD mediaSenseAfter, apipaAfter;
    } cases[] = {
        {.what = "APIPA refused, /QUIT",
         .mediaSenseRefused = false,
         .tail = "/MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOW_DISABLED,
         .apipaStatus = IDS_APIPA_NOT_CHANGED,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        {.what = "APIPA refused",
         .mediaSenseRefused = false,
         .tail = "/MEDIASENSE=OFF /APIPA=OFF /SAVE",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOW_DISABLED,
         .apipaStatus = IDS_APIPA_NOT_CHANGED,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        {.what = "Media Sense refused, /QUIT",
         .mediaSenseRefused = true,
         .tail = "/MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOT_CHANGED,
         .apipaStatus = IDS_APIPA_NOW_DISABLED,
         .mediaSenseAfter = 0,
         .apipaAfter = 0},
        {.what = "Media Sense refused",
         .mediaSenseRefused = true,
         .tail = "/MEDIASENSE=OFF /APIPA=OFF /SAVE",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOT_CHANGED,
         .apipaStatus = IDS_APIPA_NOW_DISABLED,
         .mediaSenseAfter = 0,
         .apipaAfter = 0},
    };
    HINSTANCE self = GetModuleHandleA(NULL);
    const std::string own = ComputerName();
    for (const auto &c : cases)
        for (bool remote : {false, true})
        {
            const std::string tail =
                (remote ? "/COMPUTER=" + own + " " : "") + c.tail + " /RESTART";
            SCOPED_TRACE(testing::Message() << c.what << ": " << tail);
            Reset();
            SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, 0);
            SetDword(TCPIP_KEY_PATH, APIPA_NAME, 1);
            if (c.mediaSenseRefused)
                DenyFullAccess(TCPIP_KEY_PATH);
            between = {.trigger = StringEntry(c.mediaSenseStatus),
                       .allow = c.mediaSenseRefused,
                       .hook = SetWindowsHookExA(WH_CALLWNDPROC, WatchStatusLines, NULL,
                                                 GetCurrentThreadId()),
                       .fired = false};
            ASSERT_NE(HHOOK(NULL), between.hook);

            shutdownCalls.clear();
            shutdownAnswer = 0;
            int exitCode;
            {
                ImportSlot initiate(importedInitiateSystemShutdownA, &RecordShutdown);
                exitCode =
                    RunWinMain(self, tail.c_str(),
                               "the Media Sense status line to say \"" + between.trigger + "\"");
            }
            EXPECT_TRUE(shutdownCalls.empty()) << "a machine written in part was restarted";
            UnhookWindowsHookEx(between.hook);
            between = {};
            AllowFullAccess(TCPIP_KEY_PATH);

            EXPECT_EQ(remote ? 2 : 1, exitCode);
            EXPECT_EQ(c.mediaSenseAfter, StoredDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME));
            EXPECT_EQ(c.apipaAfter, StoredDword(TCPIP_KEY_PATH, APIPA_NAME));
            bool quit = tail.find("/QUIT") != std::string::npos;
            if (quit)
            {
                EXPECT_TRUE(MessageBoxWatcher::Seen().empty())
                    << "an unattended run must not wait for a click";
                continue;
            }
            ASSERT_EQ(1u, MessageBoxWatcher::Seen().size());
            const SeenBox &box = MessageBoxWatcher::Seen()[0];
            EXPECT_EQ("Kelvra", box.title);
            EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), box.text);
            EXPECT_EQ(StringEntry(c.mediaSenseStatus), box.mediaSenseStatus);
            EXPECT_EQ(StringEntry(c.apipaStatus), box.apipaStatus);
        }
}

TEST_F(WinMainTest, TheFatalBoxIsAnOwnerlessTopmostStopWithTheSystemsTextWholeOrNone)
{
    /* A module without dialog template 101 makes the dialog fail. The longest text that fits is
     * 1022 characters (the last byte of the 1024 is never used); a longer one must leave an
     * empty text, never a cut one without its zero, and nothing is written past the field. */
    HINSTANCE noDialogs = GetModuleHandleA("ntdll.dll");
    const struct
    {
        size_t length;
        size_t shown;
    } cases[] = {
        {.length = 40, .shown = 40},
        {.length = 1022, .shown = 1022},
        {.length = 1023, .shown = 0},
        {.length = 5000, .shown = 0},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "a system text of " << c.length << " characters");
        Reset();
        boxCalls.clear();
        systemTextLength = c.length;
        {
            ImportSlot box(importedMessageBoxA, &RecordMessageBox);
            ImportSlot text(importedFormatMessageA, &LongSystemText);
            EXPECT_EQ(0, RunWinMain(noDialogs, ""));
        }
        EXPECT_LE(askedBufferEnd, AppState.messageText + sizeof(AppState.messageText) - 1)
            << "asked for " << askedSize << " characters";
        ASSERT_EQ(1u, boxCalls.size());
        EXPECT_EQ(HWND(NULL), boxCalls[0].owner);
        EXPECT_EQ("Kelvra: Fatal Error", boxCalls[0].title);
        EXPECT_EQ(UINT(MB_OK | MB_ICONERROR | MB_TOPMOST), boxCalls[0].type);
        EXPECT_EQ(std::string(c.shown, 'x'), boxCalls[0].text);
    }
}

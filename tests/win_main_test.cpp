#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "resources/resource.h"
#include "support/app_state_helpers.h"
#include "support/dialog_helpers.h"
#include "support/registry_helpers.h"

namespace
{

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
    /* WinMain, with any message box that comes up noted and dismissed. */
    int RunWinMain(HINSTANCE instance, const char *tail)
    {
        MessageBoxWatcher watcher;
        module_ = instance;
        return WinMain(instance, NULL, const_cast<char *>(tail), SW_SHOWNORMAL);
    }
    HINSTANCE module_ = NULL;
    SavedKey saved_{TCPIP_KEY_PATH};
};

} // namespace

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
    HINSTANCE self = GetModuleHandleA(NULL);
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA;
    taken.hInstance = self;
    taken.lpszClassName = "DlgClass";
    ASSERT_NE(0, RegisterClassA(&taken));

    EXPECT_EQ(0, RunWinMain(self, "/MEDIASENSE=OFF /SAVE"));
    EXPECT_EQ(NOT_REQUESTED, AppState.requestedDisableMediaSense) << "the tail was scanned";
    EXPECT_EQ(0, AppState.autoSave);
    EXPECT_TRUE(MessageBoxWatcher::Seen().empty());
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

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "dialog/settings_dialog.h"
#include "resources/resource.h"
#include "store/parameter_store.h"
#include "support/adapter_fixtures.h"
#include "support/app_state_helpers.h"
#include "support/dialog_helpers.h"
#include "support/registry_helpers.h"

/* This program is built twice: once run as Wine's default Windows version, and once as
 * Windows NT 4, where the settings are not supported. Each runs the cases of its platform. */
#ifndef EXPECT_PLATFORM_SUPPORTED
#define EXPECT_PLATFORM_SUPPORTED 1
#endif

namespace
{

const LONG NONE = NOT_REQUESTED;

/* The dialog's state as the user sees it. */
struct View
{
    std::string mediaSenseStatus;
    std::string mediaSenseBox;
    std::string apipaStatus;
    std::string apipaBox;
    bool mediaSenseBoxVisible;
    bool apipaBoxVisible;
    bool mediaSenseChecked;
    bool apipaChecked;
    bool saveEnabled;
    bool operator==(const View &o) const
    {
        return mediaSenseStatus == o.mediaSenseStatus && mediaSenseBox == o.mediaSenseBox &&
               apipaStatus == o.apipaStatus && apipaBox == o.apipaBox &&
               mediaSenseBoxVisible == o.mediaSenseBoxVisible &&
               apipaBoxVisible == o.apipaBoxVisible && mediaSenseChecked == o.mediaSenseChecked &&
               apipaChecked == o.apipaChecked && saveEnabled == o.saveEnabled;
    }
};

std::ostream &operator<<(std::ostream &out, const View &v)
{
    return out << "{\"" << v.mediaSenseStatus << "\" [" << (v.mediaSenseChecked ? "x" : " ")
               << "] \"" << v.mediaSenseBox << "\"" << (v.mediaSenseBoxVisible ? "" : " hidden")
               << ", \"" << v.apipaStatus << "\" [" << (v.apipaChecked ? "x" : " ") << "] \""
               << v.apipaBox << "\"" << (v.apipaBoxVisible ? "" : " hidden") << ", save "
               << (v.saveEnabled ? "enabled" : "disabled") << "}";
}

/* The real Tcpip\Parameters key, put back as it was after each test; AppState as at start. */
class SettingsDialogTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(EXPECT_PLATFORM_SUPPORTED, IsPlatformSupported())
            << "this program runs under the wrong Windows version";
        Reset();
    }
    void TearDown() override
    {
        dialog_.reset();
    }
    void Reset()
    {
        dialog_.reset();
        AppState = START_STATE;
        AppState.instance = GetModuleHandleA(NULL);
        MessageBoxWatcher::Seen().clear();
    }
    /* Stores the two values (ABSENT deletes one), gives the requests, opens the dialog and
     * delivers whatever it posted to itself. */
    void Open(DWORD mediaSense, DWORD apipa, LONG requestedMediaSense = NONE,
              LONG requestedApipa = NONE, BOOL autoSave = 0, BOOL autoQuit = 0)
    {
        Store(MEDIA_SENSE_NAME, mediaSense);
        Store(APIPA_NAME, apipa);
        OpenAsStored(requestedMediaSense, requestedApipa, autoSave, autoQuit);
    }
    void OpenAsStored(LONG requestedMediaSense = NONE, LONG requestedApipa = NONE,
                      BOOL autoSave = 0, BOOL autoQuit = 0)
    {
        AppState.requestedDisableMediaSense = requestedMediaSense;
        AppState.requestedApipaEnabled = requestedApipa;
        AppState.autoSave = autoSave;
        AppState.autoQuit = autoQuit;
        /* Creating the dialog already delivers what it posted to itself, a Save included. */
        {
            MessageBoxWatcher watcher;
            dialog_.emplace(SettingsDialogProc);
        }
        Pump();
    }
    void Store(const char *name, DWORD value)
    {
        if (value == ABSENT)
            DeleteValue(TCPIP_KEY_PATH, name);
        else
            SetDword(TCPIP_KEY_PATH, name, value);
    }
    static DWORD Stored(const char *name)
    {
        return StoredDword(TCPIP_KEY_PATH, name);
    }
    /* Delivers the messages waiting, dismissing any message box that comes up meanwhile. */
    void Pump()
    {
        MessageBoxWatcher watcher;
        PumpMessages(Dialog());
    }
    void Click(int controlId)
    {
        {
            MessageBoxWatcher watcher;
            SendDlgItemMessageA(Dialog(), controlId, BM_CLICK, 0, 0);
        }
        Pump();
    }
    void Command(int controlId)
    {
        PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(controlId, 0), 0);
        Pump();
    }
    HWND Dialog() const
    {
        return dialog_ ? dialog_->Handle() : NULL;
    }
    /* A modeless dialog that ends is only hidden. */
    bool Ended() const
    {
        return !IsWindowVisible(Dialog());
    }
    bool Enabled(int controlId) const
    {
        return IsWindowEnabled(GetDlgItem(Dialog(), controlId));
    }
    int Focus() const
    {
        return GetDlgCtrlID(GetFocus());
    }
    View Shown() const
    {
        return {ControlText(Dialog(), IDC_MEDIA_SENSE_STATUS),
                ControlText(Dialog(), IDC_MEDIA_SENSE_CHANGE),
                ControlText(Dialog(), IDC_APIPA_STATUS),
                ControlText(Dialog(), IDC_APIPA_CHANGE),
                IsWindowVisible(GetDlgItem(Dialog(), IDC_MEDIA_SENSE_CHANGE)) != FALSE,
                IsWindowVisible(GetDlgItem(Dialog(), IDC_APIPA_CHANGE)) != FALSE,
                IsDlgButtonChecked(Dialog(), IDC_MEDIA_SENSE_CHANGE) == BST_CHECKED,
                IsDlgButtonChecked(Dialog(), IDC_APIPA_CHANGE) == BST_CHECKED,
                Enabled(IDC_SAVE)};
    }

    SavedKey saved_{TCPIP_KEY_PATH};
    std::optional<TemplateDialog> dialog_;
};

} // namespace

TEST_F(SettingsDialogTest, ShowsTheStoredStateAndMarksWhatTheCommandLineAsks)
{
    const bool SUPPORTED = true, UNSUPPORTED = false;
    const bool X = true, _ = false; /* checked or not; visible or hidden */
    const UINT HIDDEN = 0;          /* the box is hidden and keeps its template caption */
    const struct
    {
        const char *what;
        bool supported;
        DWORD mediaSense, apipa;
        LONG requestedMediaSense, requestedApipa;
        UINT mediaSenseStatus, mediaSenseBox, apipaStatus, apipaBox;
        bool mediaSenseChecked, apipaChecked, saveEnabled;
        BOOL changeMediaSense, changeApipa;
        DWORD readMediaSense, readApipa;
    } cases[] = {
        {"both absent", SUPPORTED, ABSENT, ABSENT, NONE, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, _, _, _, 0, 0, 0, 1},
        {"both set", SUPPORTED, 1, 0, NONE, NONE, IDS_MEDIA_SENSE_DISABLED, IDS_ENABLE,
         IDS_APIPA_DISABLED, IDS_ENABLE, _, _, _, 0, 0, 1, 0},
        {"both cleared", SUPPORTED, 0, 1, NONE, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, _, _, _, 0, 0, 0, 1},
        {"/MEDIASENSE=OFF, absent", SUPPORTED, ABSENT, ABSENT, 1, NONE, IDS_MEDIA_SENSE_ENABLED,
         IDS_DISABLE, IDS_APIPA_ENABLED, IDS_DISABLE, X, _, X, 1, 0, 0, 1},
        {"/MEDIASENSE=ON, already 0", SUPPORTED, 0, ABSENT, 0, NONE, IDS_MEDIA_SENSE_ENABLED,
         IDS_DISABLE, IDS_APIPA_ENABLED, IDS_DISABLE, _, _, _, 0, 0, 0, 1},
        {"/MEDIASENSE=ON, 1", SUPPORTED, 1, ABSENT, 0, NONE, IDS_MEDIA_SENSE_DISABLED, IDS_ENABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, X, _, X, 1, 0, 1, 1},
        {"/APIPA=OFF, 1", SUPPORTED, ABSENT, 1, NONE, 0, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, _, X, X, 0, 1, 0, 1},
        {"/APIPA=ON, absent", SUPPORTED, ABSENT, ABSENT, NONE, 1, IDS_MEDIA_SENSE_ENABLED,
         IDS_DISABLE, IDS_APIPA_ENABLED, IDS_DISABLE, _, _, _, 0, 0, 0, 1},
        {"both requested", SUPPORTED, 0, 1, 1, 0, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, X, X, X, 1, 1, 0, 1},
        /* a value other than 0 and 1 counts as 0 for the texts; a request marks it whenever
         * it is not exactly the value asked for */
        {"Media Sense 2", SUPPORTED, 2, ABSENT, NONE, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, _, _, _, 0, 0, 2, 1},
        {"/MEDIASENSE=ON, 2", SUPPORTED, 2, ABSENT, 0, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, X, _, X, 1, 0, 2, 1},
        {"/MEDIASENSE=ON, 0xFFFFFFFF", SUPPORTED, 0xFFFFFFFF, ABSENT, 0, NONE,
         IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE, IDS_APIPA_ENABLED, IDS_DISABLE, X, _, X, 1, 0,
         0xFFFFFFFF, 1},
        {"/MEDIASENSE=OFF, 2", SUPPORTED, 2, ABSENT, 1, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_ENABLED, IDS_DISABLE, X, _, X, 1, 0, 2, 1},
        {"APIPA 7", SUPPORTED, ABSENT, 7, NONE, NONE, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_DISABLED, IDS_ENABLE, _, _, _, 0, 0, 0, 7},
        {"/APIPA=OFF, 7", SUPPORTED, ABSENT, 7, NONE, 0, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_DISABLED, IDS_ENABLE, _, X, X, 0, 1, 0, 7},
        {"/APIPA=ON, 7", SUPPORTED, ABSENT, 7, NONE, 1, IDS_MEDIA_SENSE_ENABLED, IDS_DISABLE,
         IDS_APIPA_DISABLED, IDS_ENABLE, _, X, X, 0, 1, 0, 7},
        /* nothing is read where nothing is supported, yet the requests are still marked */
        {"NT 4, absent", UNSUPPORTED, ABSENT, ABSENT, NONE, NONE, IDS_MEDIA_SENSE_NOT_SUPPORTED,
         HIDDEN, IDS_APIPA_NOT_SUPPORTED, HIDDEN, _, _, _, 0, 0, 0, 0},
        {"NT 4, stored values", UNSUPPORTED, 1, 1, NONE, NONE, IDS_MEDIA_SENSE_NOT_SUPPORTED,
         HIDDEN, IDS_APIPA_NOT_SUPPORTED, HIDDEN, _, _, _, 0, 0, 0, 0},
        {"NT 4, requests", UNSUPPORTED, 1, 1, 1, 1, IDS_MEDIA_SENSE_NOT_SUPPORTED, HIDDEN,
         IDS_APIPA_NOT_SUPPORTED, HIDDEN, _, _, _, 1, 1, 0, 0},
        {"NT 4, matching requests", UNSUPPORTED, 1, 1, 0, 0, IDS_MEDIA_SENSE_NOT_SUPPORTED, HIDDEN,
         IDS_APIPA_NOT_SUPPORTED, HIDDEN, _, _, _, 0, 0, 0, 0},
    };
    for (const auto &c : cases)
    {
        if (c.supported != (EXPECT_PLATFORM_SUPPORTED == 1))
            continue;
        SCOPED_TRACE(c.what);
        Reset();
        Open(c.mediaSense, c.apipa, c.requestedMediaSense, c.requestedApipa);

        /* Hidden boxes keep their template captions. */
        View expected = {StringEntry(c.mediaSenseStatus),
                         c.supported ? StringEntry(c.mediaSenseBox) : "Change Media Sense",
                         StringEntry(c.apipaStatus),
                         c.supported ? StringEntry(c.apipaBox) : "Change Apipa",
                         c.supported,
                         c.supported,
                         c.mediaSenseChecked,
                         c.apipaChecked,
                         c.saveEnabled};
        EXPECT_EQ(expected, Shown());
        EXPECT_EQ(c.changeMediaSense, AppState.changeMediaSense);
        EXPECT_EQ(c.changeApipa, AppState.changeApipa);
        EXPECT_EQ(c.readMediaSense, AppState.disableMediaSense);
        EXPECT_EQ(c.readApipa, AppState.ipAutoconfigEnabled);
        EXPECT_EQ(BOOL(c.supported), AppState.platformSupported);
        /* help page 0, with the focus on Next */
        EXPECT_EQ(StringEntry(IDS_PAGE_INTRODUCTION), ControlText(Dialog(), IDC_PAGE_TEXT));
        EXPECT_EQ(0u, AppState.currentPage);
        EXPECT_EQ(IDC_NEXT, Focus());
        EXPECT_FALSE(Ended());
        EXPECT_EQ(0, AppState.exitCode);
    }
}

#if EXPECT_PLATFORM_SUPPORTED

TEST_F(SettingsDialogTest, SaveIsEnabledExactlyWhileABoxIsChecked)
{
    Open(ABSENT, ABSENT);
    const struct
    {
        int click;
        BOOL changeMediaSense, changeApipa;
        bool saveEnabled;
    } steps[] = {
        {IDC_MEDIA_SENSE_CHANGE, 1, 0, true}, {IDC_APIPA_CHANGE, 1, 1, true},
        {IDC_MEDIA_SENSE_CHANGE, 0, 1, true}, {IDC_APIPA_CHANGE, 0, 0, false},
        {IDC_APIPA_CHANGE, 0, 1, true},
    };
    int step = 0;
    for (const auto &s : steps)
    {
        SCOPED_TRACE(testing::Message() << "step " << ++step << ": click " << s.click);
        Click(s.click);
        EXPECT_EQ(s.changeMediaSense, AppState.changeMediaSense);
        EXPECT_EQ(s.changeApipa, AppState.changeApipa);
        EXPECT_EQ(s.saveEnabled, Enabled(IDC_SAVE));
    }
    EXPECT_EQ(ABSENT, Stored(MEDIA_SENSE_NAME)) << "a click saves nothing";
}

TEST_F(SettingsDialogTest, ARequestedChangeIsCheckedNotGreyAndAClickUnchecksIt)
{
    /* The exact states, not "checked or not": a grey third state would look undecided to the
     * user and would not be unchecked by the next click. */
    Open(0, 1, 1, 0);
    for (int box : {IDC_MEDIA_SENSE_CHANGE, IDC_APIPA_CHANGE})
    {
        SCOPED_TRACE(testing::Message() << "box " << box);
        EXPECT_EQ(LRESULT(BST_CHECKED), SendDlgItemMessageA(Dialog(), box, BM_GETCHECK, 0, 0));
        Click(box);
        EXPECT_EQ(LRESULT(BST_UNCHECKED), SendDlgItemMessageA(Dialog(), box, BM_GETCHECK, 0, 0));
        Click(box);
        EXPECT_EQ(LRESULT(BST_CHECKED), SendDlgItemMessageA(Dialog(), box, BM_GETCHECK, 0, 0));
    }
    EXPECT_EQ(1, AppState.changeMediaSense);
    EXPECT_EQ(1, AppState.changeApipa);
}

TEST_F(SettingsDialogTest, ACommandFromABoxThatIsNotAClickMarksNothing)
{
    Open(ABSENT, ABSENT);
    CheckDlgButton(Dialog(), IDC_MEDIA_SENSE_CHANGE, BST_CHECKED);
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_MEDIA_SENSE_CHANGE, BN_SETFOCUS),
                 (LPARAM)GetDlgItem(Dialog(), IDC_MEDIA_SENSE_CHANGE));
    EXPECT_EQ(0, AppState.changeMediaSense);
    EXPECT_FALSE(Enabled(IDC_SAVE));
}

TEST_F(SettingsDialogTest, SaveWritesTheFlippedValuesAndShowsThem)
{
    const struct
    {
        const char *what;
        DWORD mediaSense, apipa;
        LONG requestedMediaSense, requestedApipa;
        DWORD writtenMediaSense, writtenApipa; /* ABSENT: left alone */
        UINT mediaSenseStatus, apipaStatus;
        LONG exitCode;
    } cases[] = {
        {"Media Sense off", ABSENT, ABSENT, 1, NONE, 1, ABSENT, IDS_MEDIA_SENSE_NOW_DISABLED,
         IDS_APIPA_ENABLED, 1},
        {"Media Sense on", 1, ABSENT, 0, NONE, 0, ABSENT, IDS_MEDIA_SENSE_NOW_ENABLED,
         IDS_APIPA_ENABLED, 1},
        {"only APIPA marked", ABSENT, ABSENT, NONE, 0, ABSENT, 0, IDS_MEDIA_SENSE_ENABLED,
         IDS_APIPA_NOW_DISABLED, 1},
        {"APIPA on", ABSENT, 0, NONE, 1, ABSENT, 1, IDS_MEDIA_SENSE_ENABLED, IDS_APIPA_NOW_ENABLED,
         1},
        {"both", 0, 1, 1, 0, 1, 0, IDS_MEDIA_SENSE_NOW_DISABLED, IDS_APIPA_NOW_DISABLED, 1},
        {"nothing marked", 0, 1, 0, 1, 0, 1, IDS_MEDIA_SENSE_ENABLED, IDS_APIPA_ENABLED, 0},
        /* values other than 0 and 1: a request writes exactly the value asked for */
        {"Media Sense 2, /MEDIASENSE=OFF", 2, ABSENT, 1, NONE, 1, ABSENT,
         IDS_MEDIA_SENSE_NOW_DISABLED, IDS_APIPA_ENABLED, 1},
        {"Media Sense 2, /MEDIASENSE=ON", 2, ABSENT, 0, NONE, 0, ABSENT,
         IDS_MEDIA_SENSE_NOW_ENABLED, IDS_APIPA_ENABLED, 1},
        {"Media Sense 0xFFFFFFFF, /MEDIASENSE=ON", 0xFFFFFFFF, ABSENT, 0, NONE, 0, ABSENT,
         IDS_MEDIA_SENSE_NOW_ENABLED, IDS_APIPA_ENABLED, 1},
        {"APIPA 7, /APIPA=OFF", ABSENT, 7, NONE, 0, ABSENT, 0, IDS_MEDIA_SENSE_ENABLED,
         IDS_APIPA_NOW_DISABLED, 1},
        {"APIPA 7, /APIPA=ON", ABSENT, 7, NONE, 1, ABSENT, 1, IDS_MEDIA_SENSE_ENABLED,
         IDS_APIPA_NOW_ENABLED, 1},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        Open(c.mediaSense, c.apipa, c.requestedMediaSense, c.requestedApipa);
        ValueMap others = GetAllValues(TCPIP_KEY_PATH);

        Command(IDC_SAVE);

        EXPECT_EQ(c.writtenMediaSense == ABSENT ? c.mediaSense : c.writtenMediaSense,
                  Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.writtenApipa == ABSENT ? c.apipa : c.writtenApipa, Stored(APIPA_NAME));
        EXPECT_EQ(StringEntry(c.mediaSenseStatus), ControlText(Dialog(), IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(StringEntry(c.apipaStatus), ControlText(Dialog(), IDC_APIPA_STATUS));
        EXPECT_EQ(c.exitCode, AppState.exitCode);
        EXPECT_FALSE(Enabled(IDC_SAVE));
        EXPECT_FALSE(Enabled(IDC_MEDIA_SENSE_CHANGE));
        EXPECT_FALSE(Enabled(IDC_APIPA_CHANGE));
        EXPECT_EQ(IDC_EXIT, Focus());
        EXPECT_FALSE(Ended()) << "only /QUIT closes after a save";
        EXPECT_TRUE(MessageBoxWatcher::Seen().empty());
        EXPECT_EQ(c.mediaSense == ABSENT ? 0u : c.mediaSense, AppState.disableMediaSense)
            << "the values read at creation are kept";

        ValueMap after = GetAllValues(TCPIP_KEY_PATH);
        for (const char *name : {MEDIA_SENSE_NAME, APIPA_NAME})
        {
            others.erase(name);
            after.erase(name);
        }
        EXPECT_EQ(others, after) << "a save changes nothing else in the key";
    }
}

TEST_F(SettingsDialogTest, AfterASaveOnlyPagingAndAPostedSaveStillWork)
{
    Open(ABSENT, ABSENT, NONE, 0);
    Click(IDC_SAVE);
    ASSERT_EQ(0u, Stored(APIPA_NAME));

    EXPECT_FALSE(Enabled(IDC_SAVE));
    EXPECT_FALSE(Enabled(IDC_MEDIA_SENSE_CHANGE));
    EXPECT_FALSE(Enabled(IDC_APIPA_CHANGE));

    Click(IDC_NEXT);
    EXPECT_EQ(1u, AppState.currentPage);
    EXPECT_EQ(StringEntry(IDS_PAGE_MEDIA_SENSE), ControlText(Dialog(), IDC_PAGE_TEXT));

    /* A Save command that still arrives writes the same again. */
    Store(APIPA_NAME, 5);
    SetDlgItemTextA(Dialog(), IDC_APIPA_STATUS, "");
    Command(IDC_SAVE);
    EXPECT_EQ(0u, Stored(APIPA_NAME));
    EXPECT_EQ(StringEntry(IDS_APIPA_NOW_DISABLED), ControlText(Dialog(), IDC_APIPA_STATUS));
    EXPECT_EQ(ABSENT, Stored(MEDIA_SENSE_NAME));
    EXPECT_EQ(1, AppState.exitCode);
}

TEST_F(SettingsDialogTest, BackAndNextStepThroughThePagesAndWrap)
{
    Open(ABSENT, ABSENT);
    const struct
    {
        int command;
        DWORD currentPage;
        UINT shownText; /* the page on show afterwards */
    } steps[] = {
        {IDC_NEXT, 1, IDS_PAGE_MEDIA_SENSE},
        {IDC_NEXT, 2, IDS_PAGE_APIPA},
        {IDC_NEXT, 3, IDS_PAGE_COMMAND_LINE},
        {IDC_BACK, 2, IDS_PAGE_APIPA},
        {IDC_BACK, 1, IDS_PAGE_MEDIA_SENSE},
        {IDC_BACK, 0, IDS_PAGE_INTRODUCTION},
        /* only a posted Back arrives on page 0: it wraps and shows nothing new */
        {IDC_BACK, 0xFFFFFFFF, IDS_PAGE_INTRODUCTION},
        {IDC_NEXT, 0, IDS_PAGE_INTRODUCTION},
    };
    for (const auto &s : steps)
    {
        SCOPED_TRACE(testing::Message() << "to page " << s.currentPage);
        Command(s.command);
        EXPECT_EQ(s.currentPage, AppState.currentPage);
        EXPECT_EQ(StringEntry(s.shownText), ControlText(Dialog(), IDC_PAGE_TEXT));
    }
    EXPECT_FALSE(Enabled(IDC_BACK));
    EXPECT_TRUE(Enabled(IDC_NEXT));
    EXPECT_EQ(IDC_NEXT, Focus());
}

TEST_F(SettingsDialogTest, OnlyTheExactCloseCommandEndsTheDialog)
{
    const struct
    {
        const char *what;
        UINT message;
        WPARAM wParam;
        bool ends;
    } cases[] = {
        {"IDOK", WM_COMMAND, IDOK, false},
        {"IDCANCEL", WM_COMMAND, IDCANCEL, false},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, false},
        {"WM_CLOSE", WM_CLOSE, 0, false},
        {"SC_CLOSE with low bits", WM_SYSCOMMAND, SC_CLOSE | 2, false},
        {"SC_MINIMIZE", WM_SYSCOMMAND, SC_MINIMIZE, false},
        {"Exit", WM_COMMAND, IDC_EXIT, true},
        {"SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE, true},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        Open(ABSENT, ABSENT);
        if (c.message == WM_KEYDOWN)
            PostMessageA(GetFocus(), c.message, c.wParam, 0);
        else
            PostMessageA(Dialog(), c.message, c.wParam, 0);
        Pump();
        EXPECT_EQ(c.ends, Ended());
        EXPECT_EQ(0, AppState.exitCode);
        if (!c.ends)
            ShowWindow(Dialog(), SW_RESTORE);
    }
}

TEST_F(SettingsDialogTest, SaveAndQuitRunWithoutTheUser)
{
    const struct
    {
        const char *what;
        LONG requestedMediaSense;
        BOOL autoSave, autoQuit;
        DWORD stored;
        bool ends;
        LONG exitCode;
    } cases[] = {
        {"/MEDIASENSE=OFF /SAVE /QUIT", 1, 1, 1, 1, true, 1},
        {"/MEDIASENSE=OFF /SAVE", 1, 1, 0, 1, false, 1},
        {"/MEDIASENSE=OFF /QUIT", 1, 0, 1, ABSENT, true, 0},
        {"/MEDIASENSE=ON /SAVE /QUIT", 0, 1, 1, ABSENT, true, 0},
        {"/SAVE /QUIT", NONE, 1, 1, ABSENT, true, 0},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        Open(ABSENT, ABSENT, c.requestedMediaSense, NONE, c.autoSave, c.autoQuit);
        EXPECT_EQ(c.stored, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.ends, Ended());
        EXPECT_EQ(c.exitCode, AppState.exitCode);
        /* A save, even of nothing, leaves Save and the boxes disabled. */
        EXPECT_EQ(c.autoSave == 0, Enabled(IDC_MEDIA_SENSE_CHANGE));
    }
}

TEST_F(SettingsDialogTest, AFailedWriteIsReportedAndNeverCountsAsAChange)
{
    const struct
    {
        const char *what;
        bool keyMissing; /* otherwise the key refuses full access */
        LONG requestedMediaSense, requestedApipa;
        BOOL autoQuit;
        DWORD error;
        UINT mediaSenseStatus, apipaStatus;
    } cases[] = {
        {"missing key, /QUIT", true, 1, 0, 1, ERROR_FILE_NOT_FOUND, IDS_MEDIA_SENSE_NOT_CHANGED,
         IDS_APIPA_NOT_CHANGED},
        {"missing key", true, 1, 0, 0, ERROR_FILE_NOT_FOUND, IDS_MEDIA_SENSE_NOT_CHANGED,
         IDS_APIPA_NOT_CHANGED},
        {"denied key, /QUIT", false, 1, NONE, 1, ERROR_ACCESS_DENIED, IDS_MEDIA_SENSE_NOT_CHANGED,
         IDS_APIPA_ENABLED},
        {"denied key", false, 1, 0, 0, ERROR_ACCESS_DENIED, IDS_MEDIA_SENSE_NOT_CHANGED,
         IDS_APIPA_NOT_CHANGED},
        {"denied key, only APIPA", false, NONE, 0, 0, ERROR_ACCESS_DENIED, IDS_MEDIA_SENSE_ENABLED,
         IDS_APIPA_NOT_CHANGED},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        DeleteKey(TCPIP_KEY_PATH);
        if (!c.keyMissing)
        {
            CreateKey(TCPIP_KEY_PATH);
            DenyFullAccess(TCPIP_KEY_PATH);
        }
        OpenAsStored(c.requestedMediaSense, c.requestedApipa, 1, c.autoQuit);

        EXPECT_EQ(StringEntry(c.mediaSenseStatus), ControlText(Dialog(), IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(StringEntry(c.apipaStatus), ControlText(Dialog(), IDC_APIPA_STATUS));
        EXPECT_EQ(0, AppState.exitCode);
        EXPECT_EQ(SystemErrorText(c.error), AppState.messageText);
        EXPECT_EQ(!c.keyMissing, KeyExists(TCPIP_KEY_PATH)) << "the key is never created";
        EXPECT_EQ(ABSENT, Stored(MEDIA_SENSE_NAME));
        EXPECT_FALSE(Enabled(IDC_SAVE));
        EXPECT_EQ(c.autoQuit == 1, Ended());
        if (c.autoQuit)
        {
            EXPECT_TRUE(MessageBoxWatcher::Seen().empty())
                << "an unattended run must not wait for a click";
            continue;
        }
        ASSERT_EQ(1u, MessageBoxWatcher::Seen().size()) << "one box, after both writes were tried";
        EXPECT_EQ(Dialog(), MessageBoxWatcher::Seen()[0].owner);
        EXPECT_EQ("Kelvra", MessageBoxWatcher::Seen()[0].title);
        EXPECT_EQ(SystemErrorText(c.error), MessageBoxWatcher::Seen()[0].text);
        EXPECT_EQ(StringEntry(c.mediaSenseStatus), MessageBoxWatcher::Seen()[0].mediaSenseStatus);
        EXPECT_EQ(StringEntry(c.apipaStatus), MessageBoxWatcher::Seen()[0].apipaStatus);
        EXPECT_TRUE(MessageBoxWatcher::Seen()[0].stopIcon);
        EXPECT_TRUE(MessageBoxWatcher::Seen()[0].okOnly);
    }
}

TEST_F(SettingsDialogTest, TheIconIsTheDialogsWhileItLivesAndDestroyedAfter)
{
    HWND plain = CreateWindowA("#32770", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, NULL, NULL);
    ULONG_PTR classIconBefore = GetClassLongPtrA(plain, GCLP_HICON);

    Open(ABSENT, ABSENT);
    HICON icon = (HICON)GetClassLongPtrA(Dialog(), GCLP_HICON);
    ASSERT_NE(HICON(NULL), icon);
    EXPECT_NE(classIconBefore, ULONG_PTR(icon));
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bitmap = {};
    GetObjectA(info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(16, bitmap.bmWidth) << "the small icon";
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

    dialog_.reset();
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon outlived the dialog";
    EXPECT_EQ(classIconBefore, GetClassLongPtrA(plain, GCLP_HICON));
    DestroyWindow(plain);
}

/* Adapters with an APIPA setting of their own, as the dialog's tests lay them out; the
 * Interfaces key lies below Parameters, which the fixture puts back. */
class AdapterDialogTest : public SettingsDialogTest
{
  protected:
    void SetUp() override
    {
        SettingsDialogTest::SetUp();
        DeleteKey(INTERFACES_KEY_PATH);
        DeleteKey(NETWORK_CLASS_KEY_PATH);
    }
    void StoreAdapters(const std::vector<AdapterFixture> &adapters)
    {
        DeleteKey(INTERFACES_KEY_PATH);
        DeleteKey(NETWORK_CLASS_KEY_PATH);
        for (const AdapterFixture &adapter : adapters)
            StoreAdapter("", adapter);
    }
    SavedKey savedNetwork_{NETWORK_CLASS_KEY_PATH};
};

const AdapterFixture SPARE_OFF = {
    .guid = "{33333333-0000-0000-0000-000000000003}", .enableDhcp = 1, .ownType = REG_DWORD};
/* A fixed address: APIPA never acts there, whatever the value says. */
const AdapterFixture FIXED_OFF = {.guid = "{44444444-0000-0000-0000-000000000004}",
                                  .enableDhcp = 0,
                                  .ownType = REG_DWORD,
                                  .connectionName = "Fixed"};
const AdapterFixture ODD_TWO = {.guid = "{55555555-0000-0000-0000-000000000005}",
                                .enableDhcp = 1,
                                .ownType = REG_DWORD,
                                .own = 2,
                                .connectionName = "Odd"};

const char *const OWN_SETTING_PARAGRAPH = "\r\nThese adapters have an APIPA setting of their own, "
                                          "which wins over the setting shown below. "
                                          "Kelvra changes only that one: they keep theirs.\r\n";

TEST_F(AdapterDialogTest, AdaptersWithTheOtherStateAreCountedOnTheFirstScreenAndNamedOnTheirPage)
{
    const struct
    {
        const char *what;
        DWORD apipa;
        std::vector<AdapterFixture> adapters;
        std::string status;
        std::string pageEnd; /* what follows the APIPA page's own text */
    } cases[] = {
        {.what = "one adapter off",
         .apipa = ABSENT,
         .adapters = {PLANT_OFF},
         .status = "APIPA Enabled, but Disabled on 1 adapter",
         .pageEnd =
             std::string(OWN_SETTING_PARAGRAPH) + "   Local Area Connection 2: APIPA Disabled\r\n"},
        {.what = "one on, one off, Parameters off",
         .apipa = 0,
         .adapters = {PLANT_OFF, OFFICE_ON},
         .status = "APIPA Disabled, but Enabled on 1 adapter",
         .pageEnd = std::string(OWN_SETTING_PARAGRAPH) + "   Office: APIPA Enabled\r\n"},
        {.what = "two off, one without a name",
         .apipa = 1,
         .adapters = {PLANT_OFF, OFFICE_ON, SPARE_OFF},
         .status = "APIPA Enabled, but Disabled on 2 adapters",
         .pageEnd = std::string(OWN_SETTING_PARAGRAPH) +
                    "   Local Area Connection 2: APIPA Disabled\r\n"
                    "   {33333333-0000-0000-0000-000000000003}: APIPA Disabled\r\n"},
        /* as today: every own setting agrees, or acts nowhere */
        {.what = "own setting as in Parameters",
         .apipa = 1,
         .adapters = {OFFICE_ON, FIXED_OFF},
         .status = StringEntry(IDS_APIPA_ENABLED),
         .pageEnd = ""},
        {.what = "2 and 7 both read as off",
         .apipa = 7,
         .adapters = {ODD_TWO},
         .status = StringEntry(IDS_APIPA_DISABLED),
         .pageEnd = ""},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        StoreAdapters(c.adapters);
        Open(ABSENT, c.apipa);

        EXPECT_EQ(c.status, ControlText(Dialog(), IDC_APIPA_STATUS));
        EXPECT_EQ(StringEntry(IDS_PAGE_INTRODUCTION), ControlText(Dialog(), IDC_PAGE_TEXT));
        Command(IDC_NEXT);
        Command(IDC_NEXT);
        EXPECT_EQ(StringEntry(IDS_PAGE_APIPA) + c.pageEnd, ControlText(Dialog(), IDC_PAGE_TEXT));
        Command(IDC_NEXT);
        EXPECT_EQ(StringEntry(IDS_PAGE_COMMAND_LINE), ControlText(Dialog(), IDC_PAGE_TEXT));
    }
}

TEST_F(AdapterDialogTest, ASaveWritesOnlyParametersAndSaysWhichAdaptersKeptTheirOwn)
{
    const struct
    {
        const char *what;
        DWORD apipa;
        LONG requested;
        std::vector<AdapterFixture> adapters;
        std::string status;
        std::string pageEnd;
    } cases[] = {
        /* the adapter that agreed with Parameters now differs */
        {.what = "off, one adapter on",
         .apipa = 1,
         .requested = 0,
         .adapters = {PLANT_OFF, OFFICE_ON},
         .status = "APIPA now disabled; 1 adapter kept own setting",
         .pageEnd = std::string(OWN_SETTING_PARAGRAPH) + "   Office: APIPA Enabled\r\n"},
        {.what = "on, two adapters off",
         .apipa = 0,
         .requested = 1,
         .adapters = {PLANT_OFF, SPARE_OFF},
         .status = "APIPA now enabled; 2 adapters kept own setting",
         .pageEnd = std::string(OWN_SETTING_PARAGRAPH) +
                    "   Local Area Connection 2: APIPA Disabled\r\n"
                    "   {33333333-0000-0000-0000-000000000003}: APIPA Disabled\r\n"},
        /* now the same on every adapter: the text of today */
        {.what = "off, as the adapter already was",
         .apipa = ABSENT,
         .requested = 0,
         .adapters = {PLANT_OFF, FIXED_OFF},
         .status = StringEntry(IDS_APIPA_NOW_DISABLED),
         .pageEnd = ""},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        StoreAdapters(c.adapters);
        ValueMap before = GetAllValues(INTERFACES_KEY_PATH "\\" + std::string(c.adapters[0].guid));
        Open(ABSENT, c.apipa, NONE, c.requested);
        Command(IDC_NEXT);
        Command(IDC_NEXT);

        Command(IDC_SAVE);

        EXPECT_EQ(DWORD(c.requested), Stored(APIPA_NAME));
        EXPECT_EQ(1, AppState.exitCode);
        EXPECT_EQ(c.status, ControlText(Dialog(), IDC_APIPA_STATUS));
        EXPECT_EQ(StringEntry(IDS_PAGE_APIPA) + c.pageEnd, ControlText(Dialog(), IDC_PAGE_TEXT))
            << "the page on show names the adapters as they now stand";
        EXPECT_EQ(before, GetAllValues(INTERFACES_KEY_PATH "\\" + std::string(c.adapters[0].guid)))
            << "an adapter's own setting is never written";
    }
}

/* The status line is one line of its static control: the longest of the texts, with the most
 * adapters that Kelvra counts, must fit it in the dialog's font at 96 and at 120 DPI, each
 * measured as the dialog manager lays the dialog out at that resolution. */
TEST_F(AdapterDialogTest, TheApipaStatusTextsFitTheirLineAt96And120Dpi)
{
    Open(ABSENT, ABSENT);
    RECT control;
    GetClientRect(GetDlgItem(Dialog(), IDC_APIPA_STATUS), &control);
    RECT units = {0, 0, 400, 8};
    MapDialogRect(Dialog(), &units);
    /* the control's width in dialog units, from the dialog as built */
    int widthUnits = MulDiv(control.right, 400, units.right);

    const std::string texts[] = {
        StringEntry(IDS_APIPA_ENABLED),
        "APIPA Enabled, but Disabled on 32 adapters",
        "APIPA Disabled, but Enabled on 32 adapters",
        "APIPA now enabled; 32 adapters kept own setting",
        "APIPA now disabled; 32 adapters kept own setting",
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
        int widthPixels = MulDiv(widthUnits, baseX, 4);
        for (const std::string &text : texts)
        {
            SIZE extent;
            GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &extent);
            EXPECT_LE(extent.cx, widthPixels)
                << "\"" << text << "\" at " << dpi << " DPI: " << widthUnits << " units";
        }
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

#else

TEST_F(SettingsDialogTest, SaveOnAnUnsupportedPlatformWritesNothingButHonoursQuit)
{
    const struct
    {
        const char *what;
        BOOL autoQuit;
        bool ends;
    } cases[] = {
        {"/MEDIASENSE=OFF /APIPA=ON /SAVE /QUIT", 1, true},
        {"/MEDIASENSE=OFF /APIPA=ON /SAVE", 0, false},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Reset();
        Open(0, 0, 1, 1, 1, c.autoQuit);
        EXPECT_EQ(1, AppState.changeMediaSense);
        EXPECT_EQ(0u, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(0u, Stored(APIPA_NAME));
        EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_NOT_SUPPORTED),
                  ControlText(Dialog(), IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(StringEntry(IDS_APIPA_NOT_SUPPORTED), ControlText(Dialog(), IDC_APIPA_STATUS));
        EXPECT_EQ(0, AppState.exitCode);
        EXPECT_EQ(c.ends, Ended());
        EXPECT_TRUE(MessageBoxWatcher::Seen().empty());
    }
}

#endif

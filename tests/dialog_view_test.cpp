#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "dialog/dialog_view.h"
#include "resources/resource.h"
#include "support/dialog_helpers.h"

namespace
{

const int NO_SUCH_CONTROL = 4242;
const UINT NO_SUCH_ENTRY = 999;

/* Template 101 with a procedure that does nothing, so that only the operations act. */
class DialogViewTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        AppState.instance = GetModuleHandleA(NULL);
        ASSERT_NE(HWND(NULL), dialog_.Handle());
    }
    HWND Dialog() const
    {
        return dialog_.Handle();
    }
    /* The one message waiting for the dialog, taken off the queue; fails when there is none
     * or more than one. */
    MSG TakeOnlyMessage()
    {
        MSG message = {};
        EXPECT_TRUE(PeekMessageA(&message, Dialog(), 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE))
            << "nothing was posted";
        MSG extra;
        EXPECT_FALSE(PeekMessageA(&extra, Dialog(), 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE))
            << "also posted: message " << std::hex << extra.message;
        return message;
    }
    /* All that an operation could change, of the dialog and of every control in it. */
    std::string Everything() const
    {
        std::string state;
        for (HWND w = Dialog(); w != NULL;
             w = w == Dialog() ? GetWindow(w, GW_CHILD) : GetWindow(w, GW_HWNDNEXT))
        {
            state += std::to_string(GetDlgCtrlID(w)) + " \"" + WindowText(w) + "\"" +
                     (IsWindowEnabled(w) ? " enabled" : " disabled") +
                     (IsWindowVisible(w) ? " visible" : " hidden") +
                     (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? " checked" : "") + "\n";
        }
        return state;
    }
    bool NothingPosted()
    {
        MSG message;
        return !PeekMessageA(&message, Dialog(), 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE);
    }
    TemplateDialog dialog_{PlainDialogProc};
};

} // namespace

TEST_F(DialogViewTest, SetControlTextLoadsTheEntryWhole)
{
    const struct
    {
        int controlId;
        UINT stringId;
    } cases[] = {
        {IDC_MEDIA_SENSE_STATUS, IDS_MEDIA_SENSE_DISABLED},
        {IDC_MEDIA_SENSE_CHANGE, IDS_ENABLE},
        {IDC_APIPA_STATUS, IDS_APIPA_NOT_SUPPORTED},
        {IDC_PAGE_TEXT, IDS_PAGE_COMMAND_LINE},
        {IDC_PAGE_TEXT, IDS_PAGE_APIPA},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "control " << c.controlId << ", entry " << c.stringId);
        SetControlText(Dialog(), c.controlId, c.stringId);
        EXPECT_EQ(StringEntry(c.stringId), ControlText(Dialog(), c.controlId));
    }
}

TEST_F(DialogViewTest, SetControlTextKeepsTheTextWhenTheEntryLoadsNothing)
{
    SetControlText(Dialog(), IDC_APIPA_STATUS, NO_SUCH_ENTRY);
    EXPECT_EQ("Apipa Status", ControlText(Dialog(), IDC_APIPA_STATUS));
    SetControlText(Dialog(), IDC_APIPA_STATUS, 0);
    EXPECT_EQ("Apipa Status", ControlText(Dialog(), IDC_APIPA_STATUS));
}

TEST_F(DialogViewTest, SetControlTextUsesTheModuleInAppState)
{
    AppState.instance = GetModuleHandleA("kernel32.dll");
    SetControlText(Dialog(), IDC_APIPA_STATUS, IDS_APIPA_ENABLED);
    EXPECT_EQ("Apipa Status", ControlText(Dialog(), IDC_APIPA_STATUS));
}

TEST_F(DialogViewTest, EnableHideAndCheckChangeTheirControl)
{
    EnableControl(Dialog(), IDC_SAVE, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Dialog(), IDC_SAVE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), IDC_EXIT)));
    EnableControl(Dialog(), IDC_SAVE, 1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), IDC_SAVE)));

    HideControl(Dialog(), IDC_APIPA_CHANGE);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(Dialog(), IDC_APIPA_CHANGE)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(Dialog(), IDC_MEDIA_SENSE_CHANGE)));

    EXPECT_EQ(0, IsControlChecked(Dialog(), IDC_MEDIA_SENSE_CHANGE));
    CheckControl(Dialog(), IDC_MEDIA_SENSE_CHANGE);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(Dialog(), IDC_MEDIA_SENSE_CHANGE));
    EXPECT_EQ(1, IsControlChecked(Dialog(), IDC_MEDIA_SENSE_CHANGE));
    EXPECT_EQ(0, IsControlChecked(Dialog(), IDC_APIPA_CHANGE));
    CheckDlgButton(Dialog(), IDC_MEDIA_SENSE_CHANGE, BST_UNCHECKED);
    EXPECT_EQ(0, IsControlChecked(Dialog(), IDC_MEDIA_SENSE_CHANGE));
}

TEST_F(DialogViewTest, FocusControlMovesTheFocusOnlyOnceThePostedMoveIsDelivered)
{
    const int targets[] = {IDC_EXIT, IDC_BACK, IDC_MEDIA_SENSE_CHANGE};
    for (int target : targets)
    {
        SCOPED_TRACE(target);
        HWND before = GetFocus();
        FocusControl(Dialog(), target);
        EXPECT_EQ(before, GetFocus()) << "moved before the message was delivered";

        MSG message = TakeOnlyMessage();
        EXPECT_EQ(UINT(WM_NEXTDLGCTL), message.message);
        EXPECT_EQ(WPARAM(GetDlgItem(Dialog(), target)), message.wParam);
        EXPECT_EQ(LPARAM(1), message.lParam);
        DispatchMessageA(&message);
        EXPECT_EQ(GetDlgItem(Dialog(), target), GetFocus());
    }
}

TEST_F(DialogViewTest, PostCommandAndPostCloseQueueTheirMessage)
{
    PostCommand(Dialog(), IDC_SAVE);
    MSG message = TakeOnlyMessage();
    EXPECT_EQ(UINT(WM_COMMAND), message.message);
    EXPECT_EQ(WPARAM(IDC_SAVE), message.wParam);
    EXPECT_EQ(LPARAM(0), message.lParam);

    PostClose(Dialog());
    message = TakeOnlyMessage();
    EXPECT_EQ(UINT(WM_SYSCOMMAND), message.message);
    EXPECT_EQ(WPARAM(SC_CLOSE), message.wParam);
    EXPECT_EQ(LPARAM(0), message.lParam);
}

TEST_F(DialogViewTest, OperationsOnAControlTheDialogLacksDoNothing)
{
    /* A control that is not there must neither make an operation act on another window nor
     * reach the platform as a NULL window, which the platform would ignore but answer with
     * ERROR_INVALID_WINDOW_HANDLE. So each operation is checked against the whole dialog and
     * against the thread's last error. */
    const struct
    {
        const char *what;
        void (*operation)(HWND dialog);
    } cases[] = {
        {"SetControlText", [](HWND d) { SetControlText(d, NO_SUCH_CONTROL, IDS_ENABLE); }},
        {"EnableControl 0", [](HWND d) { EnableControl(d, NO_SUCH_CONTROL, 0); }},
        {"EnableControl 1", [](HWND d) { EnableControl(d, NO_SUCH_CONTROL, 1); }},
        {"HideControl", [](HWND d) { HideControl(d, NO_SUCH_CONTROL); }},
        {"CheckControl", [](HWND d) { CheckControl(d, NO_SUCH_CONTROL); }},
        {"IsControlChecked", [](HWND d) { EXPECT_EQ(0, IsControlChecked(d, NO_SUCH_CONTROL)); }},
        {"FocusControl", [](HWND d) { FocusControl(d, NO_SUCH_CONTROL); }},
    };
    /* One control disabled, so that enabling the wrong window would show too. */
    EnableControl(Dialog(), IDC_SAVE, 0);
    PumpMessages(Dialog());
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        const std::string before = Everything();
        const HWND focus = GetFocus();
        SetLastError(0xdeadbeef);
        c.operation(Dialog());
        EXPECT_NE(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError()) << "a NULL window was used";
        EXPECT_TRUE(NothingPosted());
        PumpMessages(Dialog());
        EXPECT_EQ(before, Everything());
        EXPECT_EQ(focus, GetFocus());
    }
}

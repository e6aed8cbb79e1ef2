#include <windows.h>

#include <gtest/gtest.h>

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
    HWND focus = GetFocus();
    SetControlText(Dialog(), NO_SUCH_CONTROL, IDS_ENABLE);
    EnableControl(Dialog(), NO_SUCH_CONTROL, 0);
    HideControl(Dialog(), NO_SUCH_CONTROL);
    CheckControl(Dialog(), NO_SUCH_CONTROL);
    EXPECT_EQ(0, IsControlChecked(Dialog(), NO_SUCH_CONTROL));
    FocusControl(Dialog(), NO_SUCH_CONTROL);
    EXPECT_TRUE(NothingPosted());
    PumpMessages(Dialog());
    EXPECT_EQ(focus, GetFocus());
    EXPECT_TRUE(IsWindowEnabled(Dialog()));
    EXPECT_TRUE(IsWindowVisible(Dialog()));
    EXPECT_EQ("Kelvra", WindowText(Dialog()));
}

#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "dialog/help_pages.h"
#include "resources/resource.h"
#include "support/dialog_helpers.h"

namespace
{

/* What the user sees of the help pages: the text, the two buttons and the focus. */
struct PageState
{
    std::string text;
    BOOL backEnabled;
    BOOL nextEnabled;
    int focusId;
    bool operator==(const PageState &other) const
    {
        return text == other.text && backEnabled == other.backEnabled &&
               nextEnabled == other.nextEnabled && focusId == other.focusId;
    }
};

std::ostream &operator<<(std::ostream &out, const PageState &s)
{
    return out << "{text " << s.text.size() << " chars \"" << s.text.substr(0, 30) << "...\", back "
               << s.backEnabled << ", next " << s.nextEnabled << ", focus " << s.focusId << "}";
}

class HelpPagesTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        AppState.instance = GetModuleHandleA(NULL);
        ASSERT_NE(HWND(NULL), Dialog());
    }
    HWND Dialog() const
    {
        return dialog_.Handle();
    }
    PageState Shown() const
    {
        return {ControlText(Dialog(), IDC_PAGE_TEXT),
                IsWindowEnabled(GetDlgItem(Dialog(), IDC_BACK)),
                IsWindowEnabled(GetDlgItem(Dialog(), IDC_NEXT)), GetDlgCtrlID(GetFocus())};
    }
    /* Shows the page and delivers the focus move that it posts. */
    PageState Show(DWORD page)
    {
        ShowPage(Dialog(), page);
        PumpMessages(Dialog());
        return Shown();
    }
    TemplateDialog dialog_{PlainDialogProc};
};

const struct
{
    DWORD page;
    UINT stringId;
    BOOL backEnabled;
    BOOL nextEnabled;
    int focusId;
} PAGE_CASES[] = {
    {0, IDS_PAGE_INTRODUCTION, FALSE, TRUE, IDC_NEXT},
    {1, IDS_PAGE_MEDIA_SENSE, TRUE, TRUE, IDC_NEXT},
    {2, IDS_PAGE_APIPA, TRUE, TRUE, IDC_NEXT},
    {3, IDS_PAGE_COMMAND_LINE, TRUE, FALSE, IDC_BACK},
};

} // namespace

TEST_F(HelpPagesTest, EachPageShowsItsTextButtonsAndFocus)
{
    /* Forwards, backwards, and each page twice in a row: the state depends on the page only. */
    const DWORD order[] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 3, 1};
    for (DWORD page : order)
    {
        const auto &c = PAGE_CASES[page];
        SCOPED_TRACE(testing::Message() << "page " << page);
        PageState expected = {StringEntry(c.stringId), c.backEnabled, c.nextEnabled, c.focusId};
        ASSERT_FALSE(expected.text.empty());
        EXPECT_EQ(expected, Show(page));
    }
}

TEST_F(HelpPagesTest, FocusMovesOnlyWhenThePostedMoveIsDelivered)
{
    Show(3);
    ShowPage(Dialog(), 1);
    EXPECT_EQ(IDC_BACK, GetDlgCtrlID(GetFocus()));
    PumpMessages(Dialog());
    EXPECT_EQ(IDC_NEXT, GetDlgCtrlID(GetFocus()));
}

TEST_F(HelpPagesTest, PagesBeyondTheLastChangeNothing)
{
    const DWORD pages[] = {4, 5, 0x80000000, 0xFFFFFFFF};
    for (DWORD shownFirst : {0u, 2u, 3u})
    {
        PageState before = Show(shownFirst);
        for (DWORD page : pages)
        {
            SCOPED_TRACE(testing::Message() << "page " << page << " after page " << shownFirst);
            ShowPage(Dialog(), page);
            MSG message;
            EXPECT_FALSE(PeekMessageA(&message, Dialog(), 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE))
                << "posted message " << std::hex << message.message;
            PumpMessages(Dialog());
            EXPECT_EQ(before, Shown());
        }
    }
}

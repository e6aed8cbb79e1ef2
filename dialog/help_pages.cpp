#include <windows.h>

#include "dialog/dialog_view.h"
#include "dialog/help_pages.h"
#include "resources/resource.h"

/* The order on screen is not the order of the string table. */
static const struct
{
    UINT stringId;
    BOOL backEnabled;
    BOOL nextEnabled;
    int focusId;
} PAGES[PAGE_COUNT] = {
    {IDS_PAGE_INTRODUCTION, 0, 1, IDC_NEXT},
    {IDS_PAGE_MEDIA_SENSE, 1, 1, IDC_NEXT},
    {IDS_PAGE_APIPA, 1, 1, IDC_NEXT},
    {IDS_PAGE_COMMAND_LINE, 1, 0, IDC_BACK},
};

void ShowPage(HWND dialog, DWORD page)
{
    /* A Back on the first page wraps the page number to 0xFFFFFFFF: that shows nothing. */
    if (page >= PAGE_COUNT)
        return;
    SetControlText(dialog, IDC_PAGE_TEXT, PAGES[page].stringId);
    EnableControl(dialog, IDC_BACK, PAGES[page].backEnabled);
    EnableControl(dialog, IDC_NEXT, PAGES[page].nextEnabled);
    FocusControl(dialog, PAGES[page].focusId);
}

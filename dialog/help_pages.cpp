#include <windows.h>

#include "app/app_state.h"
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

/* Room for the page, the paragraph and a line of every adapter with the longest name. */
#define PAGE_TEXT_SIZE (2048 + 1024 + MAX_ADAPTER_SETTINGS * (ADAPTER_NAME_SIZE + 32))

/* Appends string-table entry stringId, a format for one adapter's name, to text at length;
 * returns the new length. */
static DWORD AppendEntry(char *text, DWORD length, UINT stringId, const char *name)
{
    char format[512];

    if (LoadStringA(AppState.instance, stringId, format, sizeof(format)) <= 0)
        return length;
    return length + (DWORD)wsprintfA(text + length, format, name);
}

/* The APIPA page, and where adapters have their own setting against the one in Parameters,
 * a paragraph that names each of them with its state. */
static void ShowApipaPage(HWND dialog)
{
    static char text[PAGE_TEXT_SIZE];
    const AdapterSettings *found = AppState.adapterSettings;
    DWORD length;
    DWORD i;

    if (CountAdaptersApart(found, AppState.apipaOn) == 0)
    {
        SetControlText(dialog, IDC_PAGE_TEXT, IDS_PAGE_APIPA);
        return;
    }
    length = (DWORD)LoadStringA(AppState.instance, IDS_PAGE_APIPA, text, 2048);
    length += (DWORD)LoadStringA(AppState.instance, IDS_ADAPTERS_OWN_SETTING, text + length, 1024);
    for (i = 0; i < found->count; i++)
    {
        const AdapterSetting *adapter = &found->adapters[i];

        if (adapter->apipaOn != AppState.apipaOn)
            length = AppendEntry(text, length,
                                 adapter->apipaOn == 1 ? IDS_ADAPTER_APIPA_ENABLED
                                                       : IDS_ADAPTER_APIPA_DISABLED,
                                 adapter->name);
    }
    text[length] = '\0';
    SetControlString(dialog, IDC_PAGE_TEXT, text);
}

void ShowPageText(HWND dialog, DWORD page)
{
    if (page == PAGE_APIPA)
        ShowApipaPage(dialog);
    else if (page < PAGE_COUNT)
        SetControlText(dialog, IDC_PAGE_TEXT, PAGES[page].stringId);
}

void ShowPage(HWND dialog, DWORD page)
{
    /* A Back on the first page wraps the page number to 0xFFFFFFFF: that shows nothing. */
    if (page >= PAGE_COUNT)
        return;
    ShowPageText(dialog, page);
    EnableControl(dialog, IDC_BACK, PAGES[page].backEnabled);
    EnableControl(dialog, IDC_NEXT, PAGES[page].nextEnabled);
    FocusControl(dialog, PAGES[page].focusId);
}

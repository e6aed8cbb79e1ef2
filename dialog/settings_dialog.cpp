#include <windows.h>

#include "app/app_state.h"
#include "app/target_machine.h"
#include "dialog/dialog_view.h"
#include "dialog/help_pages.h"
#include "dialog/settings_dialog.h"
#include "fleet/restart_request.h"
#include "resources/resource.h"
#include "store/adapter_settings.h"
#include "store/parameter_store.h"

/* The icon that SetDialogIcon installed, and the class icon it replaced. */
static HICON dialogIcon;
static HICON previousClassIcon;

/* Installs Kelvra's icon, when it loads, as the icon of the dialog's window class. That class
 * is the platform's dialog class (the template names none), shared by every dialog of the
 * process, until ReleaseDialogIcon puts the old icon back. */
static void SetDialogIcon(HWND dialog)
{
    HICON icon = (HICON)LoadImageA(AppState.instance, MAKEINTRESOURCEA(IDI_KELVRA), IMAGE_ICON, 16,
                                   16, LR_DEFAULTSIZE);

    /* Without it the dialog keeps the platform's icon, which is no reason not to start. */
    if (icon == NULL)
        return;
    previousClassIcon = (HICON)SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)icon);
    dialogIcon = icon;
}

/* Puts the dialog's class icon back and destroys the icon that SetDialogIcon loaded. */
static void ReleaseDialogIcon(HWND dialog)
{
    if (dialogIcon == NULL)
        return;
    /* The class outlives the dialog: it must not keep a handle that is about to die. */
    SetClassLongPtrA(dialog, GCLP_HICON, (LONG_PTR)previousClassIcon);
    DestroyIcon(dialogIcon);
    dialogIcon = NULL;
    previousClassIcon = NULL;
}

/* A setting is on exactly when its stored value is 1; any other value counts as off. */
static LONG SettingState(DWORD value)
{
    return value == 1 ? 1 : 0;
}

/* Reads a value of this machine's; 1 when it was read or is absent, 0, with the failure
 * recorded, when it could not be read at all. */
static BOOL ReadLocalSetting(const char *valueName, DWORD *value)
{
    LONG result = ReadDwordValue(AppState.registryRoot, TCPIP_PARAMETERS_KEY, valueName, value);

    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || result == ERROR_INVALID_DATA)
        return 1;
    RecordFailure(result);
    return 0;
}

/* The APIPA status line: plainText, or where adapters have their own setting against the one
 * in Parameters, apartText with their count. */
static void ShowApipaStatus(HWND dialog, UINT plainText, UINT apartText)
{
    DWORD apart = CountAdaptersApart(AppState.adapterSettings, AppState.apipaOn);

    if (apart == 0)
        SetControlText(dialog, IDC_APIPA_STATUS, plainText);
    else
        SetControlTextCount(dialog, IDC_APIPA_STATUS, apartText, apart);
}

/* A request marks its setting whenever the stored value is not exactly the one asked for: a 2
 * reads as off, yet what Windows does with it is not documented, and after a request the
 * registry holds what was asked. */
static BOOL IsChangeRequested(LONG requested, DWORD stored)
{
    return requested != NOT_REQUESTED && (DWORD)requested != stored;
}

/* The value a save writes: the one the command line asked for where it marked the setting,
 * otherwise the opposite of the stored value's state, as the box's caption offers. */
static DWORD ValueToWrite(LONG requested, DWORD stored)
{
    if (IsChangeRequested(requested, stored))
        return (DWORD)requested;
    return SettingState(stored) == 1 ? 0 : 1;
}

/* Decided here alone: until a save, Save is offered exactly while a setting is marked for
 * change, on a system where settings can be saved. */
static void UpdateSaveButton(HWND dialog)
{
    BOOL anyMarked = AppState.changeMediaSense == 1 || AppState.changeApipa == 1;

    EnableControl(dialog, IDC_SAVE, AppState.platformSupported == 1 && anyMarked);
}

/* Reads both settings and shows them, marks what the command line asked for, shows page 0. */
static void InitSettingsPanel(HWND dialog)
{
    SetDialogIcon(dialog);
    if (AppState.computerName != NULL)
    {
        /* Another machine's version and settings were read before the dialog opened, where a
         * failure could still end the run. */
        char title[TARGET_TITLE_SIZE];

        TargetTitle(title);
        SetDialogTitle(dialog, title);
    }
    else
    {
        AppState.platformSupported = IsPlatformSupported();
        if (AppState.platformSupported == 1)
        {
            /* A failed read leaves the default, and the dialog shows it as ever; only the
             * report line says that the state could not be read. */
            AppState.disableMediaSense = 0;
            AppState.mediaSenseOn = ReadLocalSetting(MEDIA_SENSE_VALUE, &AppState.disableMediaSense)
                                        ? SettingState(AppState.disableMediaSense) != 1
                                        : STATE_UNKNOWN;
            AppState.ipAutoconfigEnabled = 1;
            AppState.apipaOn = ReadLocalSetting(APIPA_VALUE, &AppState.ipAutoconfigEnabled)
                                   ? SettingState(AppState.ipAutoconfigEnabled)
                                   : STATE_UNKNOWN;
            ReadAdapterSettings(AppState.registryRoot, AppState.adapterSettings);
        }
    }
    if (AppState.computerName != NULL && AppState.platformSupported == 1)
    {
        AppState.mediaSenseOn = SettingState(AppState.disableMediaSense) != 1;
        AppState.apipaOn = SettingState(AppState.ipAutoconfigEnabled);
    }

    AppState.changeMediaSense = 0;
    AppState.changeApipa = 0;
    /* Marked even where nothing can be saved, so that /SAVE behaves the same everywhere. */
    if (IsChangeRequested(AppState.requestedDisableMediaSense, AppState.disableMediaSense))
        AppState.changeMediaSense = 1;
    if (IsChangeRequested(AppState.requestedApipaEnabled, AppState.ipAutoconfigEnabled))
        AppState.changeApipa = 1;

    if (AppState.platformSupported != 1)
    {
        /* Nothing can be read or done here: the report line says so, though the exit code of
         * a local run stays 0, as it always was. */
        if (AppState.computerName == NULL)
            RecordFailureText(IDS_WINDOWS_NOT_SUPPORTED);
        SetControlText(dialog, IDC_MEDIA_SENSE_STATUS, IDS_MEDIA_SENSE_NOT_SUPPORTED);
        SetControlText(dialog, IDC_APIPA_STATUS, IDS_APIPA_NOT_SUPPORTED);
        HideControl(dialog, IDC_MEDIA_SENSE_CHANGE);
        HideControl(dialog, IDC_APIPA_CHANGE);
    }
    else
    {
        BOOL mediaSenseDisabled = AppState.disableMediaSense == 1;
        BOOL apipaEnabled = AppState.ipAutoconfigEnabled == 1;

        /* Each box is captioned with the change that checking it asks for. */
        SetControlText(dialog, IDC_MEDIA_SENSE_STATUS,
                       mediaSenseDisabled ? IDS_MEDIA_SENSE_DISABLED : IDS_MEDIA_SENSE_ENABLED);
        SetControlText(dialog, IDC_MEDIA_SENSE_CHANGE,
                       mediaSenseDisabled ? IDS_ENABLE : IDS_DISABLE);
        if (apipaEnabled)
            ShowApipaStatus(dialog, IDS_APIPA_ENABLED, IDS_APIPA_ENABLED_APART);
        else
            ShowApipaStatus(dialog, IDS_APIPA_DISABLED, IDS_APIPA_DISABLED_APART);
        SetControlText(dialog, IDC_APIPA_CHANGE, apipaEnabled ? IDS_DISABLE : IDS_ENABLE);
        if (AppState.changeMediaSense == 1)
            CheckControl(dialog, IDC_MEDIA_SENSE_CHANGE);
        if (AppState.changeApipa == 1)
            CheckControl(dialog, IDC_APIPA_CHANGE);
    }
    UpdateSaveButton(dialog);

    AppState.currentPage = 0;
    ShowPage(dialog, 0);
}

/* A click on a check box marks or unmarks its setting. */
static void OnChangeBoxClicked(HWND dialog, int controlId)
{
    BOOL *change;

    switch (controlId)
    {
        case IDC_MEDIA_SENSE_CHANGE:
            change = &AppState.changeMediaSense;
            break;
        case IDC_APIPA_CHANGE:
            change = &AppState.changeApipa;
            break;
        default:
            return;
    }
    *change = IsControlChecked(dialog, controlId) == 1;
    UpdateSaveButton(dialog);
}

/* The status text once value has been written. The two values point opposite ways: 1 in
 * DisableDHCPMediaSense turns Media Sense off, 1 in IPAutoconfigurationEnabled turns APIPA on. */
static UINT MediaSenseSavedText(DWORD value)
{
    return value == 1 ? IDS_MEDIA_SENSE_NOW_DISABLED : IDS_MEDIA_SENSE_NOW_ENABLED;
}

static UINT ApipaSavedText(DWORD value)
{
    return value == 1 ? IDS_APIPA_NOW_ENABLED : IDS_APIPA_NOW_DISABLED;
}

/* Writes newValue and shows the outcome in the status line: savedText of the value written, or
 * failedText. *featureOn says whether newValue is valueWhenOn. Returns 1 when the value was
 * written. */
static BOOL SaveSetting(HWND dialog, const char *valueName, DWORD newValue, DWORD valueWhenOn,
                        LONG *featureOn, int statusId, UINT (*savedText)(DWORD value),
                        UINT failedText)
{

    if (!WriteDwordValue(AppState.registryRoot, TCPIP_PARAMETERS_KEY, valueName, newValue))
    {
        SetControlText(dialog, statusId, failedText);
        return 0;
    }
    SetControlText(dialog, statusId, savedText(newValue));
    *featureOn = newValue == valueWhenOn;
    AppState.valueWritten = 1;
    return 1;
}

/* The title says when the machine restarts: the request is made as the dialog closes. */
static void ShowRestartOnClose(HWND dialog)
{
    char base[TARGET_TITLE_SIZE];
    char title[TITLE_WITH_RESTART_SIZE];

    if (AppState.computerName != NULL)
        TargetTitle(base);
    else
        GetWindowTextA(dialog, base, sizeof(base));
    RestartOnCloseTitle(title, base);
    SetDialogTitle(dialog, title);
}

/* Writes the value of each marked setting and reports how it went. */
static void SaveChanges(HWND dialog)
{
    if (AppState.platformSupported == 1)
    {
        BOOL written = 0;
        BOOL failed = 0;

        FocusControl(dialog, IDC_EXIT);
        /* Nothing enables them again, so the user cannot ask twice; a Save command that still
         * arrives, posted, runs this again and writes the same values again. */
        EnableControl(dialog, IDC_SAVE, 0);
        EnableControl(dialog, IDC_MEDIA_SENSE_CHANGE, 0);
        EnableControl(dialog, IDC_APIPA_CHANGE, 0);

        if (AppState.changeMediaSense == 1)
        {
            if (SaveSetting(
                    dialog, MEDIA_SENSE_VALUE,
                    ValueToWrite(AppState.requestedDisableMediaSense, AppState.disableMediaSense),
                    0, &AppState.mediaSenseOn, IDC_MEDIA_SENSE_STATUS, MediaSenseSavedText,
                    IDS_MEDIA_SENSE_NOT_CHANGED))
                written = 1;
            else
                failed = 1;
        }
        if (AppState.changeApipa == 1)
        {
            if (SaveSetting(
                    dialog, APIPA_VALUE,
                    ValueToWrite(AppState.requestedApipaEnabled, AppState.ipAutoconfigEnabled), 1,
                    &AppState.apipaOn, IDC_APIPA_STATUS, ApipaSavedText, IDS_APIPA_NOT_CHANGED))
            {
                written = 1;
                /* Adapters with a setting of their own keep it: the line says so where one
                 * now differs, and the APIPA page names them. */
                if (AppState.apipaOn == 1)
                    ShowApipaStatus(dialog, IDS_APIPA_NOW_ENABLED, IDS_APIPA_NOW_ENABLED_APART);
                else
                    ShowApipaStatus(dialog, IDS_APIPA_NOW_DISABLED, IDS_APIPA_NOW_DISABLED_APART);
                if (AppState.currentPage == PAGE_APIPA)
                    ShowPageText(dialog, AppState.currentPage);
            }
            else
                failed = 1;
        }
        /* The exit code tells a script that something was changed, so only a write that
         * succeeded counts. For another machine a fleet script must also learn of a failure:
         * 2 then, even beside a write that succeeded. */
        if (failed && AppState.computerName != NULL)
            AppState.exitCode = 2;
        else if (written)
            AppState.exitCode = 1;
        /* The restart is asked for when the dialog closes: the person is told so now. */
        if (written && !failed && AppState.restartAsked == RESTART_AFTER_CHANGE)
            ShowRestartOnClose(dialog);
        /* An unattended run must never wait for a click: under /QUIT the status lines and
         * the exit code are all it reports. */
        if (failed && AppState.autoQuit != 1)
        {
            /* A Save posted by /SAVE runs before the modal loop has first shown the dialog;
             * the box belongs over the status lines that it explains. */
            ShowWindow(dialog, SW_SHOW);
            MessageBoxA(dialog, AppState.messageText, "Kelvra", MB_ICONERROR | MB_OK);
        }
    }
    if (AppState.autoQuit == 1)
        PostClose(dialog);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message)
    {
        case WM_INITDIALOG:
            InitSettingsPanel(dialog);
            if (AppState.autoSave == 1)
                PostCommand(dialog, IDC_SAVE);
            else if (AppState.autoQuit == 1)
                PostClose(dialog);
            return 1;

        case WM_COMMAND:
        {
            int controlId = LOWORD(wParam);

            switch (controlId)
            {
                case IDC_BACK:
                    AppState.currentPage--;
                    ShowPage(dialog, AppState.currentPage);
                    break;
                case IDC_NEXT:
                    AppState.currentPage++;
                    ShowPage(dialog, AppState.currentPage);
                    break;
                case IDC_EXIT:
                    PostClose(dialog);
                    return 1;
                case IDC_SAVE:
                    SaveChanges(dialog);
                    break;
                case IDC_MEDIA_SENSE_CHANGE:
                case IDC_APIPA_CHANGE:
                    /* The boxes are hidden where nothing can be saved; a stray click must not
                     * mark. */
                    if (HIWORD(wParam) == BN_CLICKED && AppState.platformSupported == 1)
                        OnChangeBoxClicked(dialog, controlId);
                    break;
            }
            return 0;
        }

        case WM_SYSCOMMAND:
            /* Compared whole, not masked with 0xFFF0 as system commands usually are, on purpose:
             * the exact value is what Exit, /QUIT and the title bar's close button send, and a
             * variant with low bits set falls to the dialog manager, which turns it into an
             * IDCANCEL that Kelvra ignores. Masking would end the dialog on commands that never
             * ended it. */
            if (wParam == SC_CLOSE)
            {
                EndDialog(dialog, IDCANCEL);
                return 1;
            }
            return 0;

        case WM_DESTROY:
            ReleaseDialogIcon(dialog);
            return 0;
    }
    return 0;
}

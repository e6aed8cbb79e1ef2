/*
 * Kelvra.exe as a script or an administrator meets it: started as a process, its registry
 * prepared and read back with the real API, its windows read and clicked from outside.
 */
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "store/parameter_store.h"
#include "support/dialog_helpers.h"
#include "support/process_helpers.h"
#include "support/registry_helpers.h"

namespace
{

enum KeyState
{
    KEY_NORMAL,
    KEY_MISSING,
    KEY_DENIED /* refuses KEY_ALL_ACCESS, as to an account without administrative rights */
};

/* The real Tcpip\Parameters key, put back as it was after each test. */
class KelvraTest : public testing::Test
{
  protected:
    static std::string Exe()
    {
        return ProgramDirectory() + "\\Kelvra.exe";
    }
    void Prepare(KeyState state, DWORD mediaSense, DWORD apipa)
    {
        DeleteKey(TCPIP_PARAMETERS_KEY);
        if (state == KEY_MISSING)
            return;
        CreateKey(TCPIP_PARAMETERS_KEY);
        SetRawValue(TCPIP_PARAMETERS_KEY, "Hostname", REG_SZ, {'k', 'e', 'l', 'v', 'r', 'a', 0});
        SetRawValue(TCPIP_PARAMETERS_KEY, "Domain", REG_SZ, {0});
        if (mediaSense != ABSENT)
            SetDword(TCPIP_PARAMETERS_KEY, MEDIA_SENSE_VALUE, mediaSense);
        if (apipa != ABSENT)
            SetDword(TCPIP_PARAMETERS_KEY, APIPA_VALUE, apipa);
        if (state == KEY_DENIED)
            DenyFullAccess(TCPIP_PARAMETERS_KEY);
    }
    static DWORD Stored(const char *name)
    {
        return StoredDword(TCPIP_PARAMETERS_KEY, name);
    }
    /* Every value of the key but the two that Kelvra manages. */
    static ValueMap Others()
    {
        if (!KeyExists(TCPIP_PARAMETERS_KEY))
            return ValueMap();
        ValueMap values = GetAllValues(TCPIP_PARAMETERS_KEY);
        values.erase(MEDIA_SENSE_VALUE);
        values.erase(APIPA_VALUE);
        return values;
    }

    SavedKey saved_{TCPIP_PARAMETERS_KEY};
};

std::string S(UINT id)
{
    return StringEntry(id);
}

} // namespace

TEST_F(KelvraTest, ScriptedRunsSaveWhatTheyAskAndSayIt)
{
    const struct
    {
        const char *arguments;
        const char *version; /* "": Wine's default, Windows 7 */
        KeyState key;
        DWORD mediaSense, apipa;
        DWORD exitCode;
        DWORD mediaSenseAfter, apipaAfter;
    } cases[] = {
        {"/MEDIASENSE=OFF /SAVE /QUIT", "", KEY_NORMAL, ABSENT, ABSENT, 1, 1, ABSENT},
        {"/MEDIASENSE=ON /SAVE /QUIT", "", KEY_NORMAL, 0, ABSENT, 0, 0, ABSENT},
        {"/MEDIASENSE=ON /SAVE /QUIT", "", KEY_NORMAL, 1, ABSENT, 1, 0, ABSENT},
        {"/QUIT", "", KEY_NORMAL, ABSENT, ABSENT, 0, ABSENT, ABSENT},
        {"/mediasense=off /apipa=off /quit", "", KEY_NORMAL, ABSENT, ABSENT, 0, ABSENT, ABSENT},
        {"/MEDIASENSE=OFF/APIPA=OFF/SAVEQUIT", "", KEY_NORMAL, 0, 1, 1, 1, 0},
        {"/SAVE /QUIT", "", KEY_NORMAL, 1, 0, 0, 1, 0},
        {"/APIPA=ON /SAVE /QUIT", "win98", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "nt40", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "win2k", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
        {"/APIPA=ON /SAVE /QUIT", "winxp", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
        /* a value other than 0 and 1 counts as 0: the request is written as asked */
        {"/MEDIASENSE=OFF /SAVE /QUIT", "", KEY_NORMAL, 2, ABSENT, 1, 1, ABSENT},
        {"/MEDIASENSE=ON /SAVE /QUIT", "", KEY_NORMAL, 2, ABSENT, 0, 2, ABSENT},
        /* a write that fails changes nothing, says so with 0 and waits for no one */
        {"/MEDIASENSE=OFF /SAVE /QUIT", "", KEY_MISSING, ABSENT, ABSENT, 0, ABSENT, ABSENT},
        {"/MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT", "", KEY_DENIED, 0, 1, 0, 0, 1},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.arguments << " (" << c.version << ")");
        Prepare(c.key, c.mediaSense, c.apipa);
        ValueMap others = Others();
        EmulatedVersion version("Kelvra.exe", c.version);

        EXPECT_EQ(c.exitCode, RunProcess("\"" + Exe() + "\" " + c.arguments));

        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_VALUE));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_VALUE));
        EXPECT_EQ(c.key != KEY_MISSING, KeyExists(TCPIP_PARAMETERS_KEY));
        EXPECT_EQ(others, Others()) << "nothing else in the key changes";
    }
}

TEST_F(KelvraTest, AProgramPathWithSpacesInQuotesKeepsItsOptions)
{
    std::string folder = ProgramDirectory() + "\\path with spaces";
    CreateDirectoryA(folder.c_str(), NULL);
    std::string copy = folder + "\\Kelvra.exe";
    ASSERT_TRUE(CopyFileA(Exe().c_str(), copy.c_str(), FALSE));

    const struct
    {
        std::string commandLine;
        DWORD mediaSenseAfter;
    } cases[] = {
        {"\"" + copy + "\" /MEDIASENSE=OFF /SAVE /QUIT", 1},
        {"\"" + copy + "\"/MEDIASENSE=OFF/SAVE/QUIT", 1},
        {"\"" + copy + "\"\t /MEDIASENSE=OFF /SAVE /QUIT", 1},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.commandLine);
        Prepare(KEY_NORMAL, ABSENT, ABSENT);
        EXPECT_EQ(1u, RunProcess(c.commandLine));
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_VALUE));
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(KelvraTest, AnAdministratorSeesTheStateAndSavesWithTheMouse)
{
    Prepare(KEY_NORMAL, ABSENT, 1);
    ChildProcess kelvra("\"" + Exe() + "\"");
    HWND dialog = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);

    EXPECT_EQ("Kelvra", WindowText(dialog));
    EXPECT_EQ(S(IDS_MEDIA_SENSE_ENABLED), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_EQ(S(IDS_DISABLE), ControlText(dialog, IDC_MEDIA_SENSE_CHANGE));
    EXPECT_EQ(S(IDS_APIPA_ENABLED), ControlText(dialog, IDC_APIPA_STATUS));
    EXPECT_EQ(S(IDS_DISABLE), ControlText(dialog, IDC_APIPA_CHANGE));
    EXPECT_EQ(S(IDS_PAGE_INTRODUCTION), ControlText(dialog, IDC_PAGE_TEXT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)));

    SendDlgItemMessageA(dialog, IDC_MEDIA_SENSE_CHANGE, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)));
    SendDlgItemMessageA(dialog, IDC_SAVE, BM_CLICK, 0, 0);
    EXPECT_EQ(S(IDS_MEDIA_SENSE_NOW_DISABLED), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_EQ(1u, Stored(MEDIA_SENSE_VALUE));
    EXPECT_EQ(1u, Stored(APIPA_VALUE));

    /* the title bar's close button */
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(1u, kelvra.WaitForExit());
}

TEST_F(KelvraTest, ClosedWithoutSavingItExitsWithZero)
{
    const struct
    {
        const char *what;
        const char *version;
        UINT mediaSenseStatus, apipaStatus;
        bool boxesVisible;
    } cases[] = {
        {"Windows 7", "", IDS_MEDIA_SENSE_DISABLED, IDS_APIPA_DISABLED, true},
        {"Windows NT 4", "nt40", IDS_MEDIA_SENSE_NOT_SUPPORTED, IDS_APIPA_NOT_SUPPORTED, false},
        {"Windows 98", "win98", IDS_MEDIA_SENSE_NOT_SUPPORTED, IDS_APIPA_NOT_SUPPORTED, false},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        Prepare(KEY_NORMAL, 1, 0);
        EmulatedVersion version("Kelvra.exe", c.version);
        ChildProcess kelvra("\"" + Exe() + "\" /MEDIASENSE=ON");
        HWND dialog = kelvra.WaitForWindow();
        ASSERT_NE(HWND(NULL), dialog);

        EXPECT_EQ(S(c.mediaSenseStatus), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(S(c.apipaStatus), ControlText(dialog, IDC_APIPA_STATUS));
        EXPECT_EQ(c.boxesVisible, IsWindowVisible(GetDlgItem(dialog, IDC_MEDIA_SENSE_CHANGE)) != 0);
        EXPECT_EQ(c.boxesVisible, IsWindowVisible(GetDlgItem(dialog, IDC_APIPA_CHANGE)) != 0);
        EXPECT_EQ(c.boxesVisible, IsDlgButtonChecked(dialog, IDC_MEDIA_SENSE_CHANGE) == BST_CHECKED)
            << "the request is shown, not saved";

        SendDlgItemMessageA(dialog, IDC_EXIT, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, kelvra.WaitForExit());
        EXPECT_EQ(1u, Stored(MEDIA_SENSE_VALUE));
    }
}

TEST_F(KelvraTest, AFailedSaveWithoutQuitShowsTheReasonUntilDismissed)
{
    Prepare(KEY_DENIED, 0, ABSENT);
    ChildProcess kelvra("\"" + Exe() + "\" /MEDIASENSE=OFF /SAVE");
    HWND dialog = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);
    HWND box = kelvra.WaitForWindow(dialog);
    ASSERT_NE(HWND(NULL), box);

    EXPECT_EQ("Kelvra", WindowText(box));
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), ControlText(box, 0xFFFF));
    EXPECT_EQ(S(IDS_MEDIA_SENSE_NOT_CHANGED), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_NE(HWND(NULL), GetDlgItem(box, IDOK));
    EXPECT_EQ(HWND(NULL), GetDlgItem(box, IDCANCEL));

    SendDlgItemMessageA(box, IDOK, BM_CLICK, 0, 0);
    /* the box goes once its own message loop has seen the click */
    for (int waited = 0; IsWindow(box) && waited < 5000; waited += 10)
        Sleep(10);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays to show the result";
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(0u, kelvra.WaitForExit());
    EXPECT_EQ(0u, Stored(MEDIA_SENSE_VALUE));
}

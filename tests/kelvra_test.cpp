/*
 * Kelvra.exe as a script or an administrator meets it: started as a process, its registry
 * prepared and read back with the real API, its windows read and clicked from outside.
 */
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/dialog_helpers.h"
#include "support/icon_probe.h"
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
    /* Kelvra.exe's command line with these arguments, its path quoted as the shell quotes it. */
    static std::string Command(const std::string &arguments)
    {
        return "\"" + Exe() + "\"" + (arguments.empty() ? "" : " " + arguments);
    }
    void Prepare(KeyState state, DWORD mediaSense, DWORD apipa)
    {
        DeleteKey(TCPIP_KEY_PATH);
        if (state == KEY_MISSING)
            return;
        CreateKey(TCPIP_KEY_PATH);
        SetRawValue(TCPIP_KEY_PATH, "Hostname", REG_SZ, {'k', 'e', 'l', 'v', 'r', 'a', 0});
        SetRawValue(TCPIP_KEY_PATH, "Domain", REG_SZ, {0});
        if (mediaSense != ABSENT)
            SetDword(TCPIP_KEY_PATH, MEDIA_SENSE_NAME, mediaSense);
        if (apipa != ABSENT)
            SetDword(TCPIP_KEY_PATH, APIPA_NAME, apipa);
        if (state == KEY_DENIED)
            DenyFullAccess(TCPIP_KEY_PATH);
    }
    static DWORD Stored(const char *name)
    {
        return StoredDword(TCPIP_KEY_PATH, name);
    }
    /* Every value of the key but the two that Kelvra manages. */
    static ValueMap Others()
    {
        if (!KeyExists(TCPIP_KEY_PATH))
            return ValueMap();
        ValueMap values = GetAllValues(TCPIP_KEY_PATH);
        values.erase(MEDIA_SENSE_NAME);
        values.erase(APIPA_NAME);
        return values;
    }

    SavedKey saved_{TCPIP_KEY_PATH};
};

/* What another process's window thread says of itself through icon_probe.dll: the
 * fingerprint of the icon its window's class shows (0 for none), and the module of the
 * executable, the instance handle that the program's own code gets. 0xDEADBEEF and NULL, and a
 * test failure, when no answer comes. */
struct ProbeAnswer
{
    DWORD classIcon;
    HMODULE exeModule;
};
ProbeAnswer AskWindowThread(HWND window, Caller where = Caller::current())
{
    CALLER_TRACE(where);
    HMODULE probe = LoadLibraryA((ProgramDirectory() + "\\icon_probe.dll").c_str());
    HOOKPROC hook = (HOOKPROC)(void *)GetProcAddress(probe, ICON_PROBE_HOOK);
    if (hook == NULL)
    {
        ADD_FAILURE() << "cannot load icon_probe.dll: error " << GetLastError();
        return {0xDEADBEEF, NULL};
    }
    HHOOK hooked =
        SetWindowsHookExA(WH_GETMESSAGE, hook, probe, GetWindowThreadProcessId(window, NULL));
    EXPECT_NE(HHOOK(NULL), hooked) << "error " << GetLastError();

    MSG answer;
    PeekMessageA(&answer, NULL, 0, 0, PM_NOREMOVE); /* this thread needs a queue for the answer */
    PostMessageA(window, RegisterWindowMessageA(ICON_PROBE_QUESTION), GetCurrentThreadId(), 0);
    ProbeAnswer said = {0xDEADBEEF, NULL};
    for (DWORD start = GetTickCount(); GetTickCount() - start < Scaled(10000); Sleep(10))
    {
        if (PeekMessageA(&answer, NULL, ICON_PROBE_ANSWER, ICON_PROBE_ANSWER, PM_REMOVE))
        {
            said = {(DWORD)answer.wParam, (HMODULE)answer.lParam};
            break;
        }
    }
    EXPECT_NE(0xDEADBEEFu, said.classIcon) << "no answer from the window's thread";
    UnhookWindowsHookEx(hooked);
    FreeLibrary(probe);
    return said;
}

/* A document for administrators as a reader takes it in: Markdown's code marks dropped, and
 * every run of blanks and line breaks one blank, so that a quote may wrap where the document
 * wraps. */
std::string DocumentText(const std::string &path, Caller where = Caller::current())
{
    CALLER_TRACE(where);
    std::ifstream file(std::string(KELVRA_SOURCE_DIR) + "/" + path, std::ios::binary);
    EXPECT_TRUE(file.good()) << "cannot read " << path;
    std::ostringstream content;
    content << file.rdbuf();
    std::string text;
    for (char c : content.str())
    {
        if (c == '`')
            continue;
        bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (!blank)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    return text;
}

} // namespace

TEST_F(KelvraTest, EveryExampleInTheDocumentsDoesWhatTheySay)
{
    const char *const documents[] = {"README.md", "docs/README.txt"};
    const bool CLOSES_ITSELF = false, USER_CLOSES = true;
    const struct
    {
        const char *quote; /* as both documents give it */
        const char *tail;  /* what is run: the quote's own options when the quote is a command */
        DWORD mediaSense, apipa;
        bool userCloses; /* the example leaves the dialog open, and the test closes it */
        DWORD exitCode;
        DWORD mediaSenseAfter, apipaAfter;
    } cases[] = {
        /* the examples */
        {"Kelvra /MEDIASENSE=OFF /SAVE /QUIT", NULL, ABSENT, ABSENT, CLOSES_ITSELF, 1, 1, ABSENT},
        {"Kelvra /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT", NULL, ABSENT, ABSENT, CLOSES_ITSELF, 1, 1,
         0},
        {"Kelvra /APIPA=ON /SAVE", NULL, ABSENT, 0, USER_CLOSES, 1, ABSENT, 1},
        {"Kelvra /MEDIASENSE=OFF", NULL, ABSENT, ABSENT, USER_CLOSES, 0, ABSENT, ABSENT},
        {"Kelvra /QUIT", NULL, 1, 0, CLOSES_ITSELF, 0, 1, 0},
        /* the startup script, once to change and once after the restart; the scheduled job */
        {"\\\\dc01\\netlogon\\Kelvra.exe /MEDIASENSE=OFF /SAVE /QUIT", NULL, 0, ABSENT,
         CLOSES_ITSELF, 1, 1, ABSENT},
        {"\\\\dc01\\netlogon\\Kelvra.exe /MEDIASENSE=OFF /SAVE /QUIT", NULL, 1, ABSENT,
         CLOSES_ITSELF, 0, 1, ABSENT},
        {"\"C:\\WINDOWS\\Kelvra.exe /MEDIASENSE=OFF /SAVE /QUIT\"", NULL, ABSENT, ABSENT,
         CLOSES_ITSELF, 1, 1, ABSENT},
        /* how options match */
        {"/MEDIASENSE=OFF/SAVE/QUIT works", "/MEDIASENSE=OFF/SAVE/QUIT", ABSENT, ABSENT,
         CLOSES_ITSELF, 1, 1, ABSENT},
        {"/SAVED acts as /SAVE", "/MEDIASENSE=OFF /SAVED /QUIT", ABSENT, ABSENT, CLOSES_ITSELF, 1,
         1, ABSENT},
        {"/QUITTING as /QUIT", "/MEDIASENSE=OFF /QUITTING", ABSENT, ABSENT, CLOSES_ITSELF, 0,
         ABSENT, ABSENT},
        {"/MEDIASENSE=ONX asks for ON", "/MEDIASENSE=ONX /SAVE /QUIT", 1, ABSENT, CLOSES_ITSELF, 1,
         0, ABSENT},
        {"/APIPA=OFFICE for OFF", "/APIPA=OFFICE /SAVE /QUIT", ABSENT, ABSENT, CLOSES_ITSELF, 1,
         ABSENT, 0},
        {"asks for nothing: /APIPA=1", "/APIPA=1 /SAVE /QUIT", ABSENT, 0, CLOSES_ITSELF, 0, ABSENT,
         0},
        {"or /APIPA= alone", "/APIPA= /SAVE /QUIT", ABSENT, 0, CLOSES_ITSELF, 0, ABSENT, 0},
        {"/SAVEQUIT acts as /SAVE /QUIT", "/MEDIASENSE=OFF /SAVEQUIT", ABSENT, ABSENT,
         CLOSES_ITSELF, 1, 1, ABSENT},
        {"/APIPA=SAVE as /SAVE", "/MEDIASENSE=OFF /APIPA=SAVE /QUIT", ABSENT, 0, CLOSES_ITSELF, 1,
         1, 0},
        {"/QUITSAVE is only /QUIT", "/MEDIASENSE=OFF /QUITSAVE", ABSENT, ABSENT, CLOSES_ITSELF, 0,
         ABSENT, ABSENT},
        {"/MEDIASENSE=ON/APIPA=OFF asks for both", "/MEDIASENSE=ON/APIPA=OFF /SAVE /QUIT", 1, 1,
         CLOSES_ITSELF, 1, 0, 0},
        {"/MEDIASENSE=ONAPIPA=OFF only for Media Sense", "/MEDIASENSE=ONAPIPA=OFF /SAVE /QUIT", 1,
         1, CLOSES_ITSELF, 1, 0, 1},
        {"does not know (/HELP)", "/MEDIASENSE=OFF /HELP /SAVE /QUIT", ABSENT, ABSENT,
         CLOSES_ITSELF, 1, 1, ABSENT},
        {"(-SAVE,", "/MEDIASENSE=OFF -SAVE /QUIT", ABSENT, ABSENT, CLOSES_ITSELF, 0, ABSENT,
         ABSENT},
        {"or / SAVE)", "/MEDIASENSE=OFF / SAVE /QUIT", ABSENT, ABSENT, CLOSES_ITSELF, 0, ABSENT,
         ABSENT},
        {"/APIPA=OFF /APIPA=ON asks for ON", "/APIPA=OFF /APIPA=ON /SAVE /QUIT", ABSENT, ABSENT,
         CLOSES_ITSELF, 0, ABSENT, ABSENT},
    };

    const std::string texts[] = {DocumentText(documents[0]), DocumentText(documents[1])};

    /* Every command that a document gives is one of the rows. */
    const std::regex command("\\S*Kelvra(\\.exe)?( /\\S+)+");
    for (size_t d = 0; d < std::size(documents); d++)
    {
        const char *document = documents[d];
        const std::string &text = texts[d];
        for (std::sregex_iterator found(text.begin(), text.end(), command), end; found != end;
             ++found)
        {
            std::string given = found->str();
            bool tested =
                std::any_of(std::begin(cases), std::end(cases),
                            [&](const auto &c)
                            { return std::string(c.quote).find(given) != std::string::npos; });
            EXPECT_TRUE(tested) << document << " gives \"" << given << "\", which no row runs";
        }
    }

    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "the documents' \"" << c.quote << "\"");
        for (size_t d = 0; d < std::size(documents); d++)
            EXPECT_NE(std::string::npos, texts[d].find(c.quote))
                << documents[d] << " no longer says it";
        std::string tail;
        if (c.tail != NULL)
            tail = c.tail;
        else
        {
            std::string quote = c.quote;
            size_t name = quote.find("Kelvra");
            ASSERT_NE(std::string::npos, name);
            tail = quote.substr(quote.find(' ', name) + 1);
            if (tail.back() == '"')
                tail.pop_back();
        }

        Prepare(KEY_NORMAL, c.mediaSense, c.apipa);
        if (c.userCloses)
        {
            /* closed once what the dialog posted itself has run */
            ChildProcess kelvra(Command(tail));
            EXPECT_EQ(c.exitCode, kelvra.CloseAndWait(kelvra.WaitForWindow()));
        }
        else
            EXPECT_EQ(c.exitCode, RunProcess(Command(tail), 10000));
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_NAME));
    }
}

TEST_F(KelvraTest, ItsDialogIsKelvrasOwnAndShowsKelvrasIcon)
{
    Prepare(KEY_NORMAL, ABSENT, ABSENT);
    ChildProcess kelvra(Command(""));
    HWND dialog = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);

    ProbeAnswer said = AskWindowThread(dialog);

    /* The dialog belongs to Kelvra.exe's module, as the window manager records it. */
    EXPECT_NE(HMODULE(NULL), said.exeModule);
    EXPECT_EQ(said.exeModule, (HMODULE)GetWindowLongPtrA(dialog, GWLP_HINSTANCE));

    /* Its title bar shows the small image of icon 101 of Kelvra.exe, read here from the file. */
    HMODULE file = LoadLibraryExA(Exe().c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(HMODULE(NULL), file);
    HICON expected = (HICON)LoadImageA(file, MAKEINTRESOURCEA(101), IMAGE_ICON, 16, 16, 0);
    ASSERT_NE(HICON(NULL), expected);
    EXPECT_EQ(IconFingerprint(expected), said.classIcon);
    DestroyIcon(expected);
    FreeLibrary(file);

    EXPECT_EQ(0u, kelvra.CloseAndWait(dialog));
}

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
        /* every system that the documents name */
        {"/APIPA=ON /SAVE /QUIT", "win95", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "win98", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "winme", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "nt40", KEY_NORMAL, ABSENT, 0, 0, ABSENT, 0},
        {"/APIPA=ON /SAVE /QUIT", "win2k", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
        {"/APIPA=ON /SAVE /QUIT", "winxp", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
        {"/APIPA=ON /SAVE /QUIT", "win2003", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
        {"/APIPA=ON /SAVE /QUIT", "vista", KEY_NORMAL, ABSENT, 0, 1, ABSENT, 1},
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

        EXPECT_EQ(c.exitCode, RunProcess(Command(c.arguments)));

        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_NAME));
        EXPECT_EQ(c.key != KEY_MISSING, KeyExists(TCPIP_KEY_PATH));
        EXPECT_EQ(others, Others()) << "nothing else in the key changes";
    }
}

TEST_F(KelvraTest, ItsOwnPathIsNeverTakenForOptions)
{
    /* Copies of Kelvra.exe in folders whose names a scan of the whole command line would split
     * at or take for an option: only what follows the program's name holds options. Windows
     * takes forward slashes in the program's path as well as backslashes. */
    const std::string spaces = ProgramDirectory() + "\\path with spaces";
    const std::string save = ProgramDirectory() + "\\SAVE";
    std::string saveSlashes = save;
    std::replace(saveSlashes.begin(), saveSlashes.end(), '\\', '/');
    for (const std::string &folder : {spaces, save})
    {
        CreateDirectoryA(folder.c_str(), NULL);
        ASSERT_TRUE(CopyFileA(Exe().c_str(), (folder + "\\Kelvra.exe").c_str(), FALSE));
    }

    struct Case
    {
        std::string commandLine;
        DWORD exitCode;
        DWORD mediaSenseAfter;
    };
    std::vector<Case> cases = {
        {"\"" + spaces + "\\Kelvra.exe\" /MEDIASENSE=OFF /SAVE /QUIT", 1, 1},
        {"\"" + spaces + "\\Kelvra.exe\"/MEDIASENSE=OFF/SAVE/QUIT", 1, 1},
        {"\"" + spaces + "\\Kelvra.exe\"\t /MEDIASENSE=OFF /SAVE /QUIT", 1, 1},
        /* as with a plain path: shown, not saved */
        {"\"" + save + "\\Kelvra.exe\" /MEDIASENSE=OFF /QUIT", 0, ABSENT},
        {"\"" + saveSlashes + "/Kelvra.exe\" /MEDIASENSE=OFF /QUIT", 0, ABSENT},
    };
    /* Unquoted, the path must hold no blank to be one word. */
    if (saveSlashes.find(' ') == std::string::npos)
        cases.push_back({saveSlashes + "/Kelvra.exe /MEDIASENSE=OFF /QUIT", 0, ABSENT});
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.commandLine);
        Prepare(KEY_NORMAL, ABSENT, ABSENT);
        EXPECT_EQ(c.exitCode, RunProcess(c.commandLine));
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
    }
    for (const std::string &folder : {spaces, save})
    {
        DeleteFileA((folder + "\\Kelvra.exe").c_str());
        RemoveDirectoryA(folder.c_str());
    }
}

TEST_F(KelvraTest, AnAdministratorSeesTheStateAndSavesWithTheMouse)
{
    Prepare(KEY_NORMAL, ABSENT, 1);
    ChildProcess kelvra(Command(""));
    HWND dialog = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);

    EXPECT_EQ("Kelvra", WindowText(dialog));
    EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_ENABLED), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_EQ(StringEntry(IDS_DISABLE), ControlText(dialog, IDC_MEDIA_SENSE_CHANGE));
    EXPECT_EQ(StringEntry(IDS_APIPA_ENABLED), ControlText(dialog, IDC_APIPA_STATUS));
    EXPECT_EQ(StringEntry(IDS_DISABLE), ControlText(dialog, IDC_APIPA_CHANGE));
    EXPECT_EQ(StringEntry(IDS_PAGE_INTRODUCTION), ControlText(dialog, IDC_PAGE_TEXT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)));

    SendDlgItemMessageA(dialog, IDC_MEDIA_SENSE_CHANGE, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)));
    SendDlgItemMessageA(dialog, IDC_SAVE, BM_CLICK, 0, 0);
    EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_NOW_DISABLED),
              ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_EQ(1u, Stored(MEDIA_SENSE_NAME));
    EXPECT_EQ(1u, Stored(APIPA_NAME));

    EXPECT_EQ(1u, kelvra.CloseAndWait(dialog));
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
        ChildProcess kelvra(Command("/MEDIASENSE=ON"));
        HWND dialog = kelvra.WaitForWindow();
        ASSERT_NE(HWND(NULL), dialog);

        EXPECT_EQ(StringEntry(c.mediaSenseStatus), ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(StringEntry(c.apipaStatus), ControlText(dialog, IDC_APIPA_STATUS));
        EXPECT_EQ(c.boxesVisible, IsWindowVisible(GetDlgItem(dialog, IDC_MEDIA_SENSE_CHANGE)) != 0);
        EXPECT_EQ(c.boxesVisible, IsWindowVisible(GetDlgItem(dialog, IDC_APIPA_CHANGE)) != 0);
        EXPECT_EQ(c.boxesVisible, IsDlgButtonChecked(dialog, IDC_MEDIA_SENSE_CHANGE) == BST_CHECKED)
            << "the request is shown, not saved";

        SendDlgItemMessageA(dialog, IDC_EXIT, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, kelvra.WaitForExit());
        EXPECT_EQ(1u, Stored(MEDIA_SENSE_NAME));
    }
}

TEST_F(KelvraTest, AFailedSaveWithoutQuitShowsTheReasonUntilDismissed)
{
    Prepare(KEY_DENIED, 0, ABSENT);
    ChildProcess kelvra(Command("/MEDIASENSE=OFF /SAVE"));
    HWND dialog = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);
    HWND box = kelvra.WaitForWindow(dialog);
    ASSERT_NE(HWND(NULL), box);

    EXPECT_EQ("Kelvra", WindowText(box));
    EXPECT_EQ(SystemErrorText(ERROR_ACCESS_DENIED), ControlText(box, 0xFFFF));
    EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_NOT_CHANGED),
              ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
    EXPECT_NE(HWND(NULL), GetDlgItem(box, IDOK));
    EXPECT_EQ(HWND(NULL), GetDlgItem(box, IDCANCEL));

    SendDlgItemMessageA(box, IDOK, BM_CLICK, 0, 0);
    /* the box goes once its own message loop has seen the click */
    for (DWORD waited = 0; IsWindow(box) && waited < Scaled(5000); waited += 10)
        Sleep(10);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays to show the result";
    EXPECT_EQ(0u, kelvra.CloseAndWait(dialog));
    EXPECT_EQ(0u, Stored(MEDIA_SENSE_NAME));
}

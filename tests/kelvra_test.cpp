/*
 * Kelvra.exe as a script or an administrator meets it: started as a process, its registry
 * prepared and read back with the real API, its windows read and clicked from outside.
 */
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "support/adapter_fixtures.h"
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
    KEY_DENIED,    /* refuses KEY_ALL_ACCESS, as to an account without administrative rights */
    KEY_UNREADABLE /* refuses even reading its values */
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
        if (state == KEY_UNREADABLE)
            DenyReading(TCPIP_KEY_PATH);
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

/* Where a machine records its Windows version, and a value put there for as long as the object
 * lives. */
const char WINDOWS_VERSION_KEY[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

class RecordedVersion
{
  public:
    explicit RecordedVersion(const std::string &version)
        : before_(GetRawValue(WINDOWS_VERSION_KEY, "CurrentVersion"))
    {
        if (!version.empty())
            SetRawValue(WINDOWS_VERSION_KEY, "CurrentVersion", REG_SZ,
                        std::vector<BYTE>(version.c_str(), version.c_str() + version.size() + 1));
    }
    ~RecordedVersion()
    {
        if (before_)
            SetRawValue(WINDOWS_VERSION_KEY, "CurrentVersion", before_->type, before_->data);
        else
            DeleteValue(WINDOWS_VERSION_KEY, "CurrentVersion");
    }
    RecordedVersion(const RecordedVersion &) = delete;
    RecordedVersion &operator=(const RecordedVersion &) = delete;

  private:
    std::optional<RawValue> before_;
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

/* A document as it is, its CR LF made LF. */
std::string RawDocument(const std::string &path, Caller where = Caller::current())
{
    CALLER_TRACE(where);
    std::ifstream file(std::string(KELVRA_SOURCE_DIR) + "/" + path, std::ios::binary);
    EXPECT_TRUE(file.good()) << "cannot read " << path;
    std::ostringstream content;
    content << file.rdbuf();
    std::string text;
    for (char c : content.str())
        if (c != '\r')
            text += c;
    return text;
}

/* A document for administrators as a reader takes it in: Markdown's code marks dropped, and
 * every run of blanks and line breaks one blank, so that a quote may wrap where the document
 * wraps. */
std::string DocumentText(const std::string &path, Caller where = Caller::current())
{
    CALLER_TRACE(where);
    std::string text;
    for (char c : RawDocument(path))
    {
        if (c == '`')
            continue;
        bool blank = c == ' ' || c == '\t' || c == '\n';
        if (!blank)
            text += c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    return text;
}

/* A file's whole content; empty when it cannot be read. */
std::string FileText(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

using Script = std::vector<std::string>;

/* The scripts that README.md shows, by file name: the block indented by four blanks after
 * each "<!-- script: NAME -->" line, without that indent. README.txt must show each one
 * too, indented by two. */
std::map<std::string, Script> DocumentScripts(Caller where = Caller::current())
{
    CALLER_TRACE(where);
    std::map<std::string, Script> scripts;
    std::istringstream lines(RawDocument("README.md"));
    std::string line, name;
    Script script;
    auto finish = [&]()
    {
        while (!script.empty() && script.back().empty())
            script.pop_back();
        if (!name.empty())
            scripts[name] = script;
        name.clear();
        script.clear();
    };
    const std::string marker = "<!-- script: ";
    while (std::getline(lines, line))
    {
        if (line.rfind(marker, 0) == 0)
        {
            finish();
            name = line.substr(marker.size(), line.find(' ', marker.size()) - marker.size());
        }
        else if (!name.empty() && line.rfind("    ", 0) == 0)
            script.push_back(line.substr(4));
        else if (!name.empty() && line.empty())
            script.push_back("");
        else
            finish();
    }
    finish();
    EXPECT_FALSE(scripts.empty()) << "README.md shows no script";
    return scripts;
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
        {.quote = "Kelvra /MEDIASENSE=OFF /SAVE /QUIT",
         .tail = NULL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.quote = "Kelvra /MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
         .tail = NULL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.quote = "Kelvra /APIPA=ON /SAVE",
         .tail = NULL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .userCloses = USER_CLOSES,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 1},
        {.quote = "Kelvra /MEDIASENSE=OFF",
         .tail = NULL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = USER_CLOSES,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.quote = "Kelvra /QUIT",
         .tail = NULL,
         .mediaSense = 1,
         .apipa = 0,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        /* Wine reaches no machine but itself: pc042 is a name that answers nowhere */
        {.quote = "Kelvra /COMPUTER=pc042 /MEDIASENSE=OFF /SAVE /QUIT",
         .tail = NULL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.quote = "Kelvra /COMPUTER=pc042 /TIMEOUT=10 /MEDIASENSE=OFF /SAVE /QUIT",
         .tail = NULL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        /* restarts: under Wine a request restarts nothing */
        {.quote = "Kelvra /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .tail = NULL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        /* Wine's AbortSystemShutdownA stops "a restart" on any name; Windows answers a name
         * that answers nowhere with an error, and the code is 2 */
        {.quote = "Kelvra /COMPUTER=pc042 /RESTART=ABORT /QUIT",
         .tail = NULL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.quote = "Kelvra /COMPUTER=node1 /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .tail = NULL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.quote = "/RESTART:60, -RESTART, RESTART) refuses the whole run",
         .tail = "/MEDIASENSE=OFF /SAVE /RESTART=60s /QUIT",
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        /* what a batch file runs where PC is not set: refused, not run on this machine */
        {.quote = "Kelvra /COMPUTER=%PC% ...",
         .tail = "/COMPUTER= /MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 0,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        /* how options match */
        {.quote = "/MEDIASENSE=OFF/SAVE/QUIT works",
         .tail = "/MEDIASENSE=OFF/SAVE/QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.quote = "/SAVED acts as /SAVE",
         .tail = "/MEDIASENSE=OFF /SAVED /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.quote = "/QUITTING as /QUIT",
         .tail = "/MEDIASENSE=OFF /QUITTING",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.quote = "/MEDIASENSE=ONX asks for ON",
         .tail = "/MEDIASENSE=ONX /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.quote = "/APIPA=OFFICE for OFF",
         .tail = "/APIPA=OFFICE /SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.quote = "asks for nothing: /APIPA=1",
         .tail = "/APIPA=1 /SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = 0,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.quote = "or /APIPA= alone",
         .tail = "/APIPA= /SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = 0,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.quote = "/SAVEQUIT acts as /SAVE /QUIT",
         .tail = "/MEDIASENSE=OFF /SAVEQUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.quote = "/APIPA=SAVE as /SAVE",
         .tail = "/MEDIASENSE=OFF /APIPA=SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = 0,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.quote = "/QUITSAVE is only /QUIT",
         .tail = "/MEDIASENSE=OFF /QUITSAVE",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.quote = "/MEDIASENSE=ON/APIPA=OFF asks for both",
         .tail = "/MEDIASENSE=ON/APIPA=OFF /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = 1,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = 0},
        {.quote = "/MEDIASENSE=ONAPIPA=OFF only for Media Sense",
         .tail = "/MEDIASENSE=ONAPIPA=OFF /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = 1,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.quote = "does not know (/HELP)",
         .tail = "/MEDIASENSE=OFF /HELP /SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.quote = "(-SAVE,",
         .tail = "/MEDIASENSE=OFF -SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.quote = "or / SAVE)",
         .tail = "/MEDIASENSE=OFF / SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.quote = "/APIPA=OFF /APIPA=ON asks for ON",
         .tail = "/APIPA=OFF /APIPA=ON /SAVE /QUIT",
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .userCloses = CLOSES_ITSELF,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
    };

    const std::string texts[] = {DocumentText(documents[0]), DocumentText(documents[1])};
    const std::map<std::string, Script> scripts = DocumentScripts();

    /* Every command that a document gives is one of the rows, or a line of a script that
     * TheScriptsInTheDocumentsDoWhatTheySay runs. */
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
            for (const auto &[name, script] : scripts)
                for (const std::string &line : script)
                    tested = tested || line.find(given) != std::string::npos;
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
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=ON /SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .exitCode = 0,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=ON /SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        {.arguments = "/QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.arguments = "/mediasense=off /apipa=off /quit",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=OFF/APIPA=OFF/SAVEQUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.arguments = "/SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .apipa = 0,
         .exitCode = 0,
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        /* every system that the documents name */
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "win95",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "win98",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "winme",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "nt40",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "win2k",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 1},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "winxp",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 1},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "win2003",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 1},
        {.arguments = "/APIPA=ON /SAVE /QUIT",
         .version = "vista",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = 0,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 1},
        /* a value other than 0 and 1: the request writes exactly the value asked for */
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 2,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=ON /SAVE /QUIT",
         .version = "",
         .key = KEY_NORMAL,
         .mediaSense = 2,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = 0,
         .apipaAfter = ABSENT},
        /* a write that fails changes nothing, says so with 0 and waits for no one */
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .version = "",
         .key = KEY_MISSING,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 0,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
         .version = "",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 0,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
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
        {.what = "Windows 7",
         .version = "",
         .mediaSenseStatus = IDS_MEDIA_SENSE_DISABLED,
         .apipaStatus = IDS_APIPA_DISABLED,
         .boxesVisible = true},
        {.what = "Windows NT 4",
         .version = "nt40",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOT_SUPPORTED,
         .apipaStatus = IDS_APIPA_NOT_SUPPORTED,
         .boxesVisible = false},
        {.what = "Windows 98",
         .version = "win98",
         .mediaSenseStatus = IDS_MEDIA_SENSE_NOT_SUPPORTED,
         .apipaStatus = IDS_APIPA_NOT_SUPPORTED,
         .boxesVisible = false},
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

TEST_F(KelvraTest, AnotherMachineByNameGivesAnExitCodeAScriptCanLog)
{
    /* Wine's remote registry reaches only this machine, by its own name; any other name is a
     * network path that was not found. 1: written, restart it; 0: nothing needed; 2: failed. */
    const std::string own = ComputerName();
    const struct Case
    {
        std::string arguments;
        KeyState key;
        std::string recordedVersion = ""; /* "": as Wine records it, "6.1" */
        DWORD mediaSense, apipa;
        DWORD exitCode;
        DWORD mediaSenseAfter, apipaAfter;
    } cases[] = {
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.arguments = "/COMPUTER=\\\\" + own + " /APIPA=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 1,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = 0},
        {.arguments = "/MEDIASENSE=OFF/SAVE/QUIT/COMPUTER=" + own,
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .apipa = 1,
         .exitCode = 0,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        /* no such machine, and names that cannot be one: the local values stay */
        {.arguments = "/COMPUTER=NO-SUCH-PC /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + std::string(32000, 'N') + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=\"" + own + "\" /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=\\\\\\\\\\\\x /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=. /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=\xC6\xD8\xC5 /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* a command line that names another machine never touches this one: an empty name,
         * or a word that means one and gives none, is refused */
        {.arguments = "/COMPUTER= /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=\\\\ /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=/MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=\"\" /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER:" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER " + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "-COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "computer=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* there, a write or a read that fails is a 2; locally, a 0 as ever */
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_MISSING,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .exitCode = 2,
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_UNREADABLE,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + own + " /QUIT",
         .key = KEY_UNREADABLE,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_UNREADABLE,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 0,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* the machine's own record of its version decides, not this one's; where nothing can
         * be done, that is a failure for a script, not "as asked" */
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .recordedVersion = "4.0",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .recordedVersion = "5.0",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_NORMAL,
         .recordedVersion = "4.0",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 1,
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.arguments.substr(0, 120) + " (key state " + std::to_string(c.key) +
                     ", version \"" + c.recordedVersion + "\")");
        Prepare(c.key == KEY_UNREADABLE ? KEY_NORMAL : c.key, c.mediaSense, c.apipa);
        ValueMap others = Others();
        if (c.key == KEY_UNREADABLE)
            DenyReading(TCPIP_KEY_PATH);
        /* Wine reports the version that the registry records unless told otherwise: Kelvra
         * itself runs as Windows XP here, whatever the "other" machine records. */
        EmulatedVersion local("Kelvra.exe", "winxp");
        RecordedVersion version(c.recordedVersion);

        EXPECT_EQ(c.exitCode, RunProcess(Command(c.arguments)));

        if (c.key == KEY_UNREADABLE)
            AllowFullAccess(TCPIP_KEY_PATH);
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_NAME));
        EXPECT_EQ(c.key != KEY_MISSING, KeyExists(TCPIP_KEY_PATH)) << "nothing is created";
        EXPECT_EQ(others, Others()) << "nothing else in the key changes";
    }
}

/* A field of the report line as CSV writes it: quoted, with quotes doubled, when it holds a
 * comma or a quote. */
std::string CsvField(const std::string &field)
{
    if (field.find_first_of(",\"") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

/* Windows' text for an error as the report line gives it, quoted where CSV quotes it. */
std::string ReportedText(DWORD error)
{
    return CsvField(SystemErrorLine(error));
}

TEST_F(KelvraTest, EveryRunWritesOneLineToAFileOrAPipe)
{
    /* Run as a script runs it, under Wine's cmd, its output into a file with ">" or through a
     * pipe ("| more"); the exit code is cmd's, the last command's, so it is checked for ">"
     * alone. Into NUL, a device, nothing is written and nothing else changes. */
    const std::string own = ComputerName();
    const std::string refused = "," + std::string("failed,,,1210,") + ReportedText(1210);
    const std::string unsupported = CsvField(StringEntry(IDS_WINDOWS_NOT_SUPPORTED));
    enum Output
    {
        TO_FILE,
        TO_PIPE,
        TO_NUL
    };
    const struct Case
    {
        std::string arguments;
        Output output = TO_FILE;
        KeyState key = KEY_NORMAL;
        std::string version = ""; /* that Wine reports to Kelvra.exe: "" for its default */
        DWORD mediaSense, apipa;
        DWORD exitCode = 0; /* not seen through a pipe */
        std::string line;   /* without its CR LF */
        DWORD mediaSenseAfter, apipaAfter;
    } cases[] = {
        /* this machine: the exit code as ever, the line says more */
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 0,
         .apipa = ABSENT,
         .exitCode = 1,
         .line = own + ",changed,off,on,,",
         .mediaSenseAfter = 1,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=OFF /APIPA=OFF /SAVE /QUIT",
         .output = TO_PIPE,
         .mediaSense = 1,
         .apipa = 1,
         .line = own + ",changed,off,off,,",
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = 7,
         .exitCode = 0,
         .line = own + ",as asked,off,off,,",
         .mediaSenseAfter = 1,
         .apipaAfter = 7},
        {.arguments = "/QUIT",
         .output = TO_PIPE,
         .mediaSense = ABSENT,
         .apipa = ABSENT,
         .line = own + ",as asked,on,on,,",
         .mediaSenseAfter = ABSENT,
         .apipaAfter = ABSENT},
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 0,
         .line = own + ",failed,on,on,5," + ReportedText(ERROR_ACCESS_DENIED),
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/QUIT",
         .key = KEY_UNREADABLE,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 0,
         .line = own + ",failed,,,5," + ReportedText(ERROR_ACCESS_DENIED),
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .version = "nt40",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 0,
         .line = own + ",failed,,,," + unsupported,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* another machine: this one, by its name */
        {.arguments = "/COMPUTER=" + own + " /APIPA=OFF /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = ABSENT,
         .exitCode = 1,
         .line = own + ",changed,off,off,,",
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.arguments = "/COMPUTER=\\\\" + own + " /APIPA=OFF /SAVE /QUIT",
         .output = TO_PIPE,
         .mediaSense = 1,
         .apipa = 0,
         .line = own + ",as asked,off,off,,",
         .mediaSenseAfter = 1,
         .apipaAfter = 0},
        {.arguments = "/COMPUTER=\"" + own + "\" /MEDIASENSE=ON /SAVE /QUIT",
         .mediaSense = 1,
         .apipa = 1,
         .exitCode = 1,
         .line = own + ",changed,on,on,,",
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = own + ",failed,on,on,5," + ReportedText(ERROR_ACCESS_DENIED),
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=NO-SUCH-PC /MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = "NO-SUCH-PC,failed,,,53," + ReportedText(ERROR_BAD_NETPATH),
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=pc,42 /MEDIASENSE=OFF /SAVE /QUIT",
         .output = TO_PIPE,
         .mediaSense = 0,
         .apipa = 1,
         .line = "\"pc,42\",failed,,,53," + ReportedText(ERROR_BAD_NETPATH),
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* names that name none: refused, nothing touched here */
        {.arguments = "/COMPUTER= /MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = refused,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER:" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = refused,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* a machine whose Windows is not supported: the text, with its comma, quoted */
        {.arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /QUIT",
         .version = "4.0 recorded",
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = own + ",failed,,,," + unsupported,
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
        /* into a device: no line, and the run as without one */
        {.arguments = "/MEDIASENSE=OFF /SAVE /QUIT",
         .output = TO_NUL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 1,
         .line = "",
         .mediaSenseAfter = 1,
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=NO-SUCH-PC /MEDIASENSE=OFF /SAVE /QUIT",
         .output = TO_NUL,
         .mediaSense = 0,
         .apipa = 1,
         .exitCode = 2,
         .line = "",
         .mediaSenseAfter = 0,
         .apipaAfter = 1},
    };
    const std::string folder = ProgramDirectory() + "\\report-run";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(Exe().c_str(), (folder + "\\Kelvra.exe").c_str(), FALSE));
    const std::string report = folder + "\\report.txt";
    for (const auto &c : cases)
    {
        const char *how[] = {" >report.txt", " | more >report.txt", " >nul"};
        const std::string command = "Kelvra.exe " + c.arguments + how[c.output];
        SCOPED_TRACE(command + (c.version.empty() ? "" : ", " + c.version) + ", key state " +
                     std::to_string(c.key));
        Prepare(c.key == KEY_UNREADABLE ? KEY_NORMAL : c.key, c.mediaSense, c.apipa);
        if (c.key == KEY_UNREADABLE)
            DenyReading(TCPIP_KEY_PATH);
        DeleteFileA(report.c_str());
        bool recorded = c.version == "4.0 recorded";
        EmulatedVersion local("Kelvra.exe", recorded ? "winxp" : c.version);
        RecordedVersion version(recorded ? "4.0" : "");

        DWORD exitCode = RunProcess("cmd.exe /c \"cd /d \"" + folder + "\" && " + command + "\"");

        if (c.key == KEY_UNREADABLE)
            AllowFullAccess(TCPIP_KEY_PATH);
        if (c.output != TO_PIPE)
        {
            EXPECT_EQ(c.exitCode, exitCode);
        }
        std::ifstream file(report, std::ios::binary);
        std::string written((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
        if (c.output == TO_NUL)
            EXPECT_FALSE(file.good()) << "something was written: " << written;
        else
            EXPECT_EQ(c.line + "\r\n", written);
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_NAME));
    }
}

TEST_F(KelvraTest, AdaptersWithTheirOwnApipaSettingAreCountedInTheLineAndNeverWritten)
{
    /* A machine with two network cards that follows the advice to turn APIPA off on one of
     * them, and a third card whose own value agrees with Parameters: the line counts the cards
     * that differ, here and through this machine's own name; a save writes Parameters alone. */
    const std::string own = ComputerName();
    SavedKey savedNetwork(NETWORK_CLASS_KEY_PATH);
    const AdapterFixture deniedOff = {.guid = "{33333333-0000-0000-0000-000000000003}",
                                      .enableDhcp = 1,
                                      .ownType = REG_DWORD,
                                      .own = 0,
                                      .denied = true};
    const AdapterFixture textOff = {
        .guid = "{44444444-0000-0000-0000-000000000004}", .enableDhcp = 1, .ownType = REG_SZ};
    const struct
    {
        std::string arguments;
        DWORD apipa;
        std::vector<AdapterFixture> adapters;
        DWORD exitCode;
        std::string line; /* without its CR LF */
        DWORD apipaAfter;
    } cases[] = {
        {.arguments = "/QUIT",
         .apipa = ABSENT,
         .adapters = {PLANT_OFF, OFFICE_ON, deniedOff, textOff},
         .exitCode = 0,
         .line = own + ",as asked,on,on (off on 1 adapter),,",
         .apipaAfter = ABSENT},
        {.arguments = "/APIPA=OFF /SAVE /QUIT",
         .apipa = 1,
         .adapters = {PLANT_OFF, OFFICE_ON},
         .exitCode = 1,
         .line = own + ",changed,on,off (on on 1 adapter),,",
         .apipaAfter = 0},
        {.arguments = "/COMPUTER=" + own + " /APIPA=ON /SAVE /QUIT",
         .apipa = 0,
         .adapters = {PLANT_OFF, OFFICE_ON, deniedOff},
         .exitCode = 1,
         .line = own + ",changed,on,on (off on 1 adapter),,",
         .apipaAfter = 1},
        {.arguments = "/COMPUTER=" + own + " /QUIT",
         .apipa = 0,
         .adapters = {PLANT_OFF, OFFICE_ON},
         .exitCode = 0,
         .line = own + ",as asked,on,off (on on 1 adapter),,",
         .apipaAfter = 0},
        /* every own setting as Parameters: the line of today */
        {.arguments = "/APIPA=OFF /SAVE /QUIT",
         .apipa = 1,
         .adapters = {PLANT_OFF},
         .exitCode = 1,
         .line = own + ",changed,on,off,,",
         .apipaAfter = 0},
    };
    const std::string folder = ProgramDirectory() + "\\adapter-run";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(Exe().c_str(), (folder + "\\Kelvra.exe").c_str(), FALSE));
    const std::string report = folder + "\\report.txt";
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.arguments + ", " + std::to_string(c.adapters.size()) + " adapters");
        Prepare(KEY_NORMAL, ABSENT, c.apipa);
        DeleteKey(NETWORK_CLASS_KEY_PATH);
        for (const AdapterFixture &adapter : c.adapters)
            StoreAdapter("", adapter);
        ValueMap ownBefore = GetAllValues(INTERFACES_KEY_PATH "\\" + std::string(PLANT_OFF.guid));
        DeleteFileA(report.c_str());

        DWORD exitCode = RunProcess("cmd.exe /c \"cd /d \"" + folder + "\" && Kelvra.exe " +
                                    c.arguments + " >report.txt\"");

        EXPECT_EQ(c.exitCode, exitCode);
        EXPECT_EQ(c.line + "\r\n", FileText(report));
        EXPECT_EQ(c.apipaAfter, Stored(APIPA_NAME));
        EXPECT_EQ(ownBefore, GetAllValues(INTERFACES_KEY_PATH "\\" + std::string(PLANT_OFF.guid)));
        for (const AdapterFixture &adapter : c.adapters)
        {
            if (adapter.denied)
                AllowFullAccess(INTERFACES_KEY_PATH "\\" + std::string(adapter.guid));
        }
    }
}

TEST_F(KelvraTest, TheDocumentsCommandRemovesAnAdaptersOwnSetting)
{
    /* The two commands as README.md shows them, {adapter} standing for the adapter's key, run
     * under Wine's cmd: the query lists the value, the delete removes it and nothing else. */
    std::string query, remove;
    std::istringstream lines(RawDocument("README.md"));
    for (std::string line; std::getline(lines, line);)
    {
        if (line.rfind("    reg query ", 0) == 0)
            query = line.substr(4);
        if (line.rfind("    reg delete ", 0) == 0)
            remove = line.substr(4);
    }
    ASSERT_NE("", query) << "README.md shows no reg query";
    ASSERT_NE("", remove) << "README.md shows no reg delete";
    EXPECT_NE(std::string::npos,
              RawDocument("docs/README.txt")
                  .find("Interfaces\\{adapter} /v IPAutoconfigurationEnabled /f"))
        << "README.txt does not show the same command";
    remove.replace(remove.find("{adapter}"), 9, PLANT_OFF.guid);
    SavedKey savedNetwork(NETWORK_CLASS_KEY_PATH);
    Prepare(KEY_NORMAL, ABSENT, ABSENT);
    StoreAdapter("", PLANT_OFF);
    const std::string key = INTERFACES_KEY_PATH "\\" + std::string(PLANT_OFF.guid);
    ValueMap before = GetAllValues(key);
    const std::string folder = ProgramDirectory();
    const std::string listing = folder + "\\adapters.txt";

    EXPECT_EQ(0u, RunProcess("cmd.exe /c \"" + query + " >\"" + listing + "\"\""));
    std::string listed = FileText(listing);
    EXPECT_NE(std::string::npos, listed.find(PLANT_OFF.guid)) << listed;
    EXPECT_NE(std::string::npos, listed.find(APIPA_NAME)) << listed;

    EXPECT_EQ(0u, RunProcess("cmd.exe /c \"" + remove + "\""));
    before.erase(APIPA_NAME);
    EXPECT_EQ(before, GetAllValues(key));
    EXPECT_EQ(ABSENT, StoredDword(key, APIPA_NAME));
}

TEST_F(KelvraTest, AListOfMachinesGivesOneLinePerMachineInItsOrder)
{
    /* Under Wine's cmd, into a file. Wine reaches only this machine, by its name, whatever its
     * letter case; any other name answers nowhere (53) at once. Each machine is a child
     * Kelvra.exe; the time limit leaves room for starts that are slow where emulated. */
    const std::string own = ComputerName();
    std::string lower = own;
    for (char &c : lower)
        c = (char)tolower((unsigned char)c);
    const std::string unreachable = ",failed,,,53," + ReportedText(ERROR_BAD_NETPATH);
    /* 100 machines; where emulated, 40 (each start takes seconds there, one after another) */
    const int count = Scaled(1000) > 1000 ? 40 : 100;
    const std::string many = [&]
    {
        std::string list = own + "\r\n";
        for (int i = 2; i <= count; i++)
            list += "no-such-" + std::to_string(i) + (i % 2 ? "\n" : "\r\n");
        return list;
    }();
    const struct Case
    {
        const char *what;
        std::string list; /* the file's content; "none": no file */
        DWORD mediaSense;
        DWORD exitCode;
        std::vector<std::string> lines;
        DWORD mediaSenseAfter;
    } cases[] = {
        {.what = "spellings of one machine, comments, blanks, a name too long, a duplicate",
         .list = "  \\\\" + own + "  \r\n; the plant\r\n\r\n" + lower + "\r\nNO-SUCH-PC\r\n\t" +
                 own + "\t\r\n" + std::string(300, 'n') + "\r\nno-such-2\r\nno-such-pc\r\n",
         .mediaSense = 0,
         .exitCode = 2,
         /* each line's machine as the list wrote it, a name too long by the start of it */
         .lines = {"\\\\" + own + ",changed,off,on,,", "NO-SUCH-PC" + unreachable,
                   std::string(64, 'n') + "...,failed,,,1210," +
                       ReportedText(ERROR_INVALID_COMPUTERNAME),
                   "no-such-2" + unreachable},
         .mediaSenseAfter = 1},
        {.what = "this machine alone, as asked",
         .list = own + "\n",
         .mediaSense = 1,
         .exitCode = 0,
         .lines = {own + ",as asked,off,on,,"},
         .mediaSenseAfter = 1},
        {.what = "no such list",
         .list = "none",
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {"machines.txt,failed,,,2," + ReportedText(ERROR_FILE_NOT_FOUND)},
         .mediaSenseAfter = 0},
        {.what = "an empty list",
         .list = "",
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {"machines.txt,failed,,,," + StringEntry(IDS_LIST_EMPTY)},
         .mediaSenseAfter = 0},
        {.what = "nothing but comments",
         .list = "; " + own + "\r\n;\r\n\r\n",
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {"machines.txt,failed,,,," + StringEntry(IDS_LIST_EMPTY)},
         .mediaSenseAfter = 0},
        {.what = "many machines",
         .list = many,
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {},
         .mediaSenseAfter = 1},
    };
    const std::string folder = ProgramDirectory() + "\\list-run-black-box";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(Exe().c_str(), (folder + "\\Kelvra.exe").c_str(), FALSE));
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteFileA((folder + "\\machines.txt").c_str());
        DeleteFileA((folder + "\\report.txt").c_str());
        if (c.list != "none")
        {
            std::ofstream file(folder + "\\machines.txt", std::ios::binary);
            file << c.list;
        }
        Prepare(KEY_NORMAL, c.mediaSense, ABSENT);

        DWORD exitCode = RunProcess("cmd.exe /c \"cd /d \"" + folder +
                                        "\" && Kelvra.exe /COMPUTER=@machines.txt /MEDIASENSE=OFF"
                                        " /SAVE /QUIT /TIMEOUT=120 >report.txt\"",
                                    Scaled(120000));

        EXPECT_EQ(c.exitCode, exitCode);
        std::string report = FileText(folder + "\\report.txt");
        std::vector<std::string> lines;
        size_t at = 0;
        for (size_t end; (end = report.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(report.substr(at, end - at));
        EXPECT_EQ(report.size(), at) << "the report ends inside a line";
        if (c.list == many)
        {
            /* Each line whole, none torn or mixed with another, in the list's order. */
            ASSERT_EQ(size_t(count), lines.size());
            EXPECT_EQ(own + ",changed,off,on,,", lines[0]);
            for (int i = 2; i <= count; i++)
                EXPECT_EQ("no-such-" + std::to_string(i) + unreachable, lines[i - 1]);
        }
        else
            EXPECT_EQ(c.lines, lines);
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
    }
}

TEST_F(KelvraTest, AConsoleGetsNoLine)
{
    /* A console is no file or pipe: a person at a prompt sees nothing new there, and the run
     * is as without the line. The console is console_host's, a process apart. */
    Prepare(KEY_NORMAL, 0, 1);

    DWORD exitCode = RunProcess("\"" + ProgramDirectory() + "\\console_host.exe\" " +
                                    Command("/MEDIASENSE=OFF /SAVE /QUIT"),
                                Scaled(20000));

    EXPECT_NE(0xC0DEFFFFu, exitCode) << "no console, or Kelvra did not start";
    EXPECT_LT(exitCode, 0xC0DE0000u)
        << "on the console: " << (exitCode - 0xC0DE0000u) << " characters";
    EXPECT_EQ(1u, exitCode);
    EXPECT_EQ(1u, Stored(MEDIA_SENSE_NAME));
}

TEST_F(KelvraTest, AnotherMachinesDialogNamesItInItsTitle)
{
    const std::string own = ComputerName();
    for (const std::string &given : {own, "\\\\" + own})
    {
        SCOPED_TRACE(given);
        Prepare(KEY_NORMAL, 1, ABSENT);
        ChildProcess kelvra(Command("/COMPUTER=" + given));
        HWND dialog = kelvra.WaitForWindow();
        ASSERT_NE(HWND(NULL), dialog);

        EXPECT_EQ("Kelvra - \\\\" + own, WindowText(dialog));
        EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_DISABLED),
                  ControlText(dialog, IDC_MEDIA_SENSE_STATUS));
        EXPECT_EQ(StringEntry(IDS_APIPA_ENABLED), ControlText(dialog, IDC_APIPA_STATUS));
        EXPECT_EQ(0u, kelvra.CloseAndWait(dialog));
    }
}

TEST_F(KelvraTest, AMachineThatCannotBeReachedIsReportedInABoxAndNoDialog)
{
    /* Without /QUIT: Windows' text for the error in a box titled "Kelvra", then the end, with 2;
     * a local read that is refused still only shows the default. */
    Prepare(KEY_NORMAL, 0, 1);
    ChildProcess kelvra(Command("/COMPUTER=NO-SUCH-PC /MEDIASENSE=OFF /SAVE"));
    HWND box = kelvra.WaitForWindow();
    ASSERT_NE(HWND(NULL), box);

    EXPECT_EQ("Kelvra", WindowText(box));
    EXPECT_EQ(SystemErrorText(ERROR_BAD_NETPATH), ControlText(box, 0xFFFF));
    EXPECT_EQ(HWND(NULL), GetDlgItem(box, IDC_MEDIA_SENSE_STATUS)) << "no dialog behind it";
    SendDlgItemMessageA(box, IDOK, BM_CLICK, 0, 0);
    EXPECT_EQ(2u, kelvra.WaitForExit());
    EXPECT_EQ(0u, Stored(MEDIA_SENSE_NAME));

    Prepare(KEY_UNREADABLE, 1, 0);
    ChildProcess local(Command(""));
    HWND dialog = local.WaitForWindow();
    ASSERT_NE(HWND(NULL), dialog);
    EXPECT_EQ(StringEntry(IDS_MEDIA_SENSE_ENABLED), ControlText(dialog, IDC_MEDIA_SENSE_STATUS))
        << "a refused read shows the default here";
    EXPECT_EQ(0u, local.CloseAndWait(dialog));
    AllowFullAccess(TCPIP_KEY_PATH);
}

namespace
{

/* What Wine logs of the restart requests that the programs started from here make: Wine
 * restarts nothing, says yes, and with WINEDEBUG=-all,fixme+advapi in a program's environment
 * writes one line per InitiateSystemShutdown call (machine, message, countdown, forced close,
 * restart) to the test program's own standard error, which tools/wine-run.sh keeps in the file
 * KELVRA_WINE_LOG names. AbortSystemShutdown it takes silently. */
class WineRestartLog
{
  public:
    WineRestartLog()
    {
        const char *log = getenv("KELVRA_WINE_LOG");
        EXPECT_NE(nullptr, log) << "tools/wine-run.sh names no log";
        path_ = log != nullptr ? std::string("Z:") + log : "";
        start_ = FileText(path_).size();
        char before[256];
        hadDebug_ = GetEnvironmentVariableA("WINEDEBUG", before, sizeof(before)) > 0;
        debugBefore_ = hadDebug_ ? before : "";
        SetEnvironmentVariableA("WINEDEBUG", "-all,fixme+advapi");
    }
    ~WineRestartLog()
    {
        SetEnvironmentVariableA("WINEDEBUG", hadDebug_ ? debugBefore_.c_str() : NULL);
    }
    WineRestartLog(const WineRestartLog &) = delete;
    WineRestartLog &operator=(const WineRestartLog &) = delete;

    /* The requests logged since the last call: each as Wine gives its arguments. */
    std::vector<std::string> Requests()
    {
        const std::string marker = "fixme:advapi:InitiateSystemShutdownExA ";
        std::string text = FileText(path_);
        std::vector<std::string> requests;
        std::istringstream lines(text.substr(std::min(start_, text.size())));
        for (std::string line; std::getline(lines, line);)
        {
            size_t at = line.find(marker);
            if (at != std::string::npos)
                requests.push_back(line.substr(at + marker.size()));
        }
        start_ = text.size();
        return requests;
    }

  private:
    std::string path_;
    size_t start_;
    bool hadDebug_;
    std::string debugBefore_;
};

/* A request as Wine logs it: the machine ("(null)" for this one, "\"\\\\\\\\NAME\"" for one
 * by name), Kelvra's message, the countdown, never a forced close, always a restart. */
std::string Logged(const std::string &machine, const std::string &changed, int seconds)
{
    return machine + " \"Kelvra: " + changed +
           ". These network settings take effect after a restart. Save your work.\" " +
           std::to_string(seconds) + " 0 1 0x70000";
}

} // namespace

TEST_F(KelvraTest, RestartIsRequestedExactlyForTheMachinesWhereKelvraWrote)
{
    /* Under Wine's cmd, into a file, as a script runs it; the requests read from what Wine
     * logs. A list names this machine and one that answers nowhere: the child of this machine
     * leaves it to the list run, which asks for it once every line is written. */
    const std::string own = ComputerName();
    const std::string folder = ProgramDirectory() + "\\restart-run";
    const std::string report = folder + "\\report.csv";
    const std::string list = folder + "\\machines.txt";
    const std::string disabled = "Media Sense is now disabled";
    const std::string unreachable = "NO-SUCH-PC,failed,,,53," + ReportedText(ERROR_BAD_NETPATH);
    const struct Case
    {
        const char *what;
        std::string arguments;
        KeyState key = KEY_NORMAL;
        DWORD mediaSense;
        DWORD exitCode;
        std::vector<std::string> lines;
        std::vector<std::string> requests;
        DWORD mediaSenseAfter;
    } cases[] = {
        {.what = "a change here",
         .arguments = "/MEDIASENSE=OFF /SAVE /RESTART=30 /QUIT",
         .mediaSense = 0,
         .exitCode = 1,
         .lines = {own + ",changed,off,on,,\"Restart requested, in 30 seconds.\""},
         .requests = {Logged("(null)", disabled, 30)},
         .mediaSenseAfter = 1},
        {.what = "a change on a machine by name",
         .arguments = "/COMPUTER=" + own + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .mediaSense = 0,
         .exitCode = 1,
         .lines = {own + ",changed,off,on,,\"Restart requested, in 60 seconds.\""},
         .requests = {Logged("\"\\\\\\\\" + own + "\"", disabled, 60)},
         .mediaSenseAfter = 1},
        {.what = "as asked",
         .arguments = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .mediaSense = 1,
         .exitCode = 0,
         .lines = {own + ",as asked,off,on,,"},
         .requests = {},
         .mediaSenseAfter = 1},
        {.what = "failed",
         .arguments = "/MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .exitCode = 0,
         .lines = {own + ",failed,on,on,5," + ReportedText(ERROR_ACCESS_DENIED)},
         .requests = {},
         .mediaSenseAfter = 0},
        {.what = "without /SAVE",
         .arguments = "/MEDIASENSE=OFF /RESTART /QUIT",
         .mediaSense = 0,
         .exitCode = 0,
         .lines = {own + ",as asked,on,on,,"},
         .requests = {},
         .mediaSenseAfter = 0},
        {.what = "a value Kelvra cannot take",
         .arguments = "/MEDIASENSE=OFF /SAVE /RESTART=soon /QUIT",
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {own + ",failed,,,," + CsvField(StringEntry(IDS_RESTART_REFUSED))},
         .requests = {},
         .mediaSenseAfter = 0},
        {.what = "stopping a restart",
         .arguments = "/MEDIASENSE=OFF /SAVE /RESTART=ABORT /QUIT",
         .mediaSense = 0,
         .exitCode = 1,
         .lines = {own + ",changed,,,,A restart was stopped."},
         .requests = {},
         .mediaSenseAfter = 0},
        {.what = "a list with this machine",
         .arguments = "/COMPUTER=@" + list + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .mediaSense = 0,
         .exitCode = 2,
         .lines = {own + ",changed,off,on,," + CsvField(StringEntry(IDS_RESTART_LAST)), unreachable,
                   own + ",changed,off,on,,\"Restart requested, in 60 seconds.\""},
         .requests = {Logged("(null)", disabled, 60)},
         .mediaSenseAfter = 1},
        {.what = "a list where this machine is as asked",
         .arguments = "/COMPUTER=@" + list + " /MEDIASENSE=OFF /SAVE /RESTART /QUIT",
         .mediaSense = 1,
         .exitCode = 2,
         .lines = {own + ",as asked,off,on,,", unreachable},
         .requests = {},
         .mediaSenseAfter = 1},
        {.what = "a list, stopping restarts",
         .arguments = "/COMPUTER=@" + list + " /RESTART=ABORT /QUIT",
         .mediaSense = 0,
         .exitCode = 1,
         /* Wine's AbortSystemShutdownA says yes for any name; Windows answers a machine that
          * answers nowhere with an error, and its line says "failed" */
         .lines = {own + ",changed,,,,A restart was stopped.",
                   "NO-SUCH-PC,changed,,,,A restart was stopped."},
         .requests = {},
         .mediaSenseAfter = 0},
    };
    CreateDirectoryA(folder.c_str(), NULL);
    {
        std::ofstream machines(list, std::ios::binary);
        machines << own << "\r\nNO-SUCH-PC\r\n";
    }
    WineRestartLog log;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.what << ": " << c.arguments);
        DeleteFileA(report.c_str());
        Prepare(c.key, c.mediaSense, ABSENT);
        log.Requests();

        EXPECT_EQ(
            c.exitCode,
            RunProcess("cmd.exe /c \"" + Command(c.arguments) + " > \"" + report + "\"\"", 60000));

        std::vector<std::string> lines;
        std::istringstream content(FileText(report));
        for (std::string line; std::getline(content, line);)
            lines.push_back(line.substr(0, line.find('\r')));
        EXPECT_EQ(c.lines, lines);
        EXPECT_EQ(c.requests, log.Requests());
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
        AllowFullAccess(TCPIP_KEY_PATH);
    }
}

TEST_F(KelvraTest, TheDialogSaysWhenTheMachineRestartsAndAsksOnlyWhenClosed)
{
    const std::string own = ComputerName();
    WineRestartLog log;
    for (DWORD stored : {DWORD(0), DWORD(1)})
    {
        SCOPED_TRACE(testing::Message() << "DisableDHCPMediaSense " << stored);
        Prepare(KEY_NORMAL, stored, ABSENT);
        log.Requests();
        ChildProcess kelvra(Command("/MEDIASENSE=OFF /SAVE /RESTART=120"));
        HWND dialog = kelvra.WaitForWindow();
        ASSERT_NE(HWND(NULL), dialog);
        /* the posted Save has run once the Save button is disabled */
        for (int i = 0; i < 100 && IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE)); i++)
            Sleep(Scaled(50));
        EXPECT_EQ(stored == 0 ? "Kelvra - restarts 120 seconds after this window closes" : "Kelvra",
                  WindowText(dialog));
        EXPECT_TRUE(log.Requests().empty()) << "asked for while the dialog is open";

        EXPECT_EQ(stored == 0 ? 1u : 0u, kelvra.CloseAndWait(dialog));
        std::vector<std::string> expected;
        if (stored == 0)
            expected.push_back(Logged("(null)", "Media Sense is now disabled", 120));
        EXPECT_EQ(expected, log.Requests());
    }
}

TEST_F(KelvraTest, TheScriptsInTheDocumentsDoWhatTheySay)
{
    /* Each script runs as the documents give it, under Wine's cmd, from a folder that holds
     * it, Kelvra.exe (unless the row takes it away) and a stand-in for shutdown.exe, which
     * cmd finds there before Windows' own and which only notes its arguments: no script may
     * need it any more. The restarts are read from what Wine logs. */
    const std::map<std::string, Script> scripts = DocumentScripts();
    const std::string txt = RawDocument("docs/README.txt");
    for (const auto &[name, script] : scripts)
    {
        std::string indented;
        for (const std::string &line : script)
            indented += (line.empty() ? "" : "  " + line) + "\n";
        EXPECT_NE(std::string::npos, txt.find(indented)) << "README.txt does not show " << name;
    }

    const std::string own = ComputerName();
    const std::string unreachable = "NO-SUCH-PC,failed,,,53," + ReportedText(ERROR_BAD_NETPATH);
    const std::string here = Logged("(null)", "Media Sense is now disabled", 60);
    enum Fault
    {
        NONE,
        NO_KELVRA,          /* Kelvra.exe is not where the script looks */
        REPORT_NOT_WRITABLE /* fleet.cmd's report.csv is a folder, as one held open is */
    };
    const struct Case
    {
        std::string script;
        KeyState key;
        DWORD mediaSense;
        Fault fault;
        /* fleet.cmd's report.csv */
        std::vector<std::string> report = {};
        /* what the script itself says on its output: fleet.cmd's messages, each a start */
        std::vector<std::string> said = {};
        /* job.cmd's kelvra.log, each line after its date and time */
        std::vector<std::string> log = {};
        std::vector<std::string> restarts;
        DWORD mediaSenseAfter;
    } cases[] = {
        /* a startup script restarts where Kelvra wrote, and never otherwise */
        {.script = "startup.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = NONE,
         .restarts = {here},
         .mediaSenseAfter = 1},
        {.script = "startup.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .fault = NONE,
         .restarts = {},
         .mediaSenseAfter = 1},
        {.script = "startup.cmd",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .fault = NONE,
         .restarts = {},
         .mediaSenseAfter = 0},
        {.script = "startup.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = NO_KELVRA,
         .restarts = {},
         .mediaSenseAfter = 0},
        /* the machines, in one list run: this one by its name, one given as \\NAME that
         * answers nowhere, a comment, a blank line; this machine restarted last */
        {.script = "fleet.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = NONE,
         .report = {own + ",changed,off,on,," + CsvField(StringEntry(IDS_RESTART_LAST)),
                    "\\\\" + unreachable,
                    own + ",changed,off,on,,\"Restart requested, in 60 seconds.\""},
         .restarts = {here},
         .mediaSenseAfter = 1},
        {.script = "fleet.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .fault = NONE,
         .report = {own + ",as asked,off,on,,", "\\\\" + unreachable},
         .restarts = {},
         .mediaSenseAfter = 1},
        {.script = "fleet.cmd",
         .key = KEY_DENIED,
         .mediaSense = 0,
         .fault = NONE,
         .report = {own + ",failed,on,on,5," + ReportedText(ERROR_ACCESS_DENIED),
                    "\\\\" + unreachable},
         .restarts = {},
         .mediaSenseAfter = 0},
        {.script = "fleet.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = NO_KELVRA,
         .report = {},
         .said = {"fleet.cmd: Kelvra.exe not run: code 9009"},
         .restarts = {},
         .mediaSenseAfter = 0},
        /* a report it cannot write: it stops before Kelvra runs */
        {.script = "fleet.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = REPORT_NOT_WRITABLE,
         .report = {},
         .said = {"fleet.cmd: cannot write report.csv in "},
         .restarts = {},
         .mediaSenseAfter = 0},
        /* the scheduled job keeps Kelvra's code */
        {.script = "job.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 0,
         .fault = NONE,
         .log = {own + " 1"},
         .restarts = {},
         .mediaSenseAfter = 1},
        {.script = "job.cmd",
         .key = KEY_NORMAL,
         .mediaSense = 1,
         .fault = NONE,
         .log = {own + " 0"},
         .restarts = {},
         .mediaSenseAfter = 1},
    };
    const std::string folder = ProgramDirectory() + "\\script-run";
    auto lines = [](const std::string &path)
    {
        std::vector<std::string> read;
        std::ifstream file(path);
        for (std::string line; std::getline(file, line);)
        {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            read.push_back(line);
        }
        return read;
    };
    WineRestartLog restarts;
    for (const auto &c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.script << ", key state " << c.key << ", DisableDHCPMediaSense "
                     << c.mediaSense << ", fault " << c.fault);
        auto found = scripts.find(c.script);
        ASSERT_NE(scripts.end(), found) << "README.md no longer shows " << c.script;
        for (const char *file :
             {"Kelvra.exe", "shutdown.exe", "shutdown.log", "shutdown.fail", "kelvra.log",
              "report.csv", "said.txt", "machines.txt", "startup.cmd", "fleet.cmd", "job.cmd"})
            DeleteFileA((folder + "\\" + file).c_str());
        RemoveDirectoryA((folder + "\\report.csv").c_str());
        CreateDirectoryA(folder.c_str(), NULL);
        if (c.fault != NO_KELVRA)
        {
            ASSERT_TRUE(CopyFileA(Exe().c_str(), (folder + "\\Kelvra.exe").c_str(), FALSE));
        }
        ASSERT_TRUE(CopyFileA((ProgramDirectory() + "\\shutdown_standin.exe").c_str(),
                              (folder + "\\shutdown.exe").c_str(), FALSE));
        if (c.fault == REPORT_NOT_WRITABLE)
        {
            ASSERT_TRUE(CreateDirectoryA((folder + "\\report.csv").c_str(), NULL));
        }
        {
            std::ofstream file(folder + "\\" + c.script, std::ios::binary);
            for (const std::string &line : found->second)
                file << line << "\r\n";
            std::ofstream machines(folder + "\\machines.txt", std::ios::binary);
            machines << own << "\r\n; a comment\r\n\\\\NO-SUCH-PC\r\n\r\n";
        }
        Prepare(c.key, c.mediaSense, ABSENT);
        restarts.Requests();

        RunProcess("cmd.exe /c \"cd /d \"" + folder + "\" && " + c.script + " >said.txt\"", 60000);

        if (c.script == "fleet.cmd")
        {
            EXPECT_EQ(c.report, lines(folder + "\\report.csv")) << "report.csv";
            std::vector<std::string> said = lines(folder + "\\said.txt");
            ASSERT_EQ(c.said.size(), said.size()) << "what fleet.cmd said";
            for (size_t i = 0; i < said.size(); i++)
                EXPECT_EQ(c.said[i], said[i].substr(0, c.said[i].size()));
        }
        std::vector<std::string> logged = lines(folder + "\\kelvra.log");
        if (c.script == "job.cmd")
        {
            ASSERT_EQ(c.log.size(), logged.size()) << "kelvra.log";
            for (size_t i = 0; i < logged.size(); i++)
            {
                const std::string &want = c.log[i];
                EXPECT_TRUE(logged[i].size() > want.size() &&
                            logged[i].compare(logged[i].size() - want.size(), want.size(), want) ==
                                0 &&
                            logged[i][logged[i].size() - want.size() - 1] == ' ')
                    << "kelvra.log says \"" << logged[i] << "\", not \"... " << want << "\"";
            }
        }
        EXPECT_EQ(c.restarts, restarts.Requests());
        EXPECT_EQ(std::vector<std::string>{}, lines(folder + "\\shutdown.log"))
            << "a script ran shutdown.exe";
        EXPECT_EQ(c.mediaSenseAfter, Stored(MEDIA_SENSE_NAME));
    }
    RemoveDirectoryA((folder + "\\report.csv").c_str());
}

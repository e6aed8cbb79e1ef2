#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "app/app_state.h"
#include "app/command_line.h"
#include "support/page_end.h"

namespace
{

const LONG NONE = NOT_REQUESTED;

/* A row names only what was asked for: {} is a tail that asks for nothing. */
struct Requests
{
    LONG mediaSense = NONE;
    LONG apipa = NONE;
    BOOL save = 0;
    BOOL quit = 0;
    std::string computer = ""; /* as recorded; "" for this machine */
    BOOL refused = 0;          /* a machine named in a form that names none */
    DWORD timeout = 30;        /* seconds */
    BOOL list = 0;             /* computer is the path of a list of machines */
    DWORD restart = RESTART_NONE;
    DWORD restartSeconds = 60;
    BOOL restartRefused = 0; /* a /RESTART value that is none Kelvra takes */
    BOOL consoleLast = 0;
};

std::ostream &operator<<(std::ostream &out, const Requests &r)
{
    return out << "{" << r.mediaSense << ", " << r.apipa << ", " << r.save << ", " << r.quit
               << ", \"" << r.computer << "\", refused " << r.refused << ", timeout " << r.timeout
               << ", list " << r.list << ", restart " << r.restart << " in " << r.restartSeconds
               << " s, refused " << r.restartRefused << ", console last " << r.consoleLast << "}";
}

bool operator==(const Requests &a, const Requests &b)
{
    return a.mediaSense == b.mediaSense && a.apipa == b.apipa && a.save == b.save &&
           a.quit == b.quit && a.computer == b.computer && a.refused == b.refused &&
           a.timeout == b.timeout && a.list == b.list && a.restart == b.restart &&
           a.restartSeconds == b.restartSeconds && a.restartRefused == b.restartRefused &&
           a.consoleLast == b.consoleLast;
}

Requests ParsedRequests(const char *tail)
{
    AppState.requestedDisableMediaSense = NOT_REQUESTED;
    AppState.requestedApipaEnabled = NOT_REQUESTED;
    AppState.autoSave = 0;
    AppState.autoQuit = 0;
    AppState.computerName = NULL;
    AppState.computerNameLength = 0;
    AppState.computerNameRefused = 0;
    AppState.timeoutSeconds = 30;
    AppState.machineListRun = 0;
    AppState.restartAsked = RESTART_NONE;
    AppState.restartSeconds = 60;
    AppState.restartRefused = 0;
    AppState.consoleLast = 0;
    ParseCommandLine(tail);
    std::string computer;
    if (AppState.computerName != NULL)
    {
        /* A pointer into the tail, never past its end. */
        EXPECT_GE(AppState.computerName, tail);
        EXPECT_LE(AppState.computerName + AppState.computerNameLength, tail + std::strlen(tail));
        computer.assign(AppState.computerName, AppState.computerNameLength);
    }
    return {.mediaSense = AppState.requestedDisableMediaSense,
            .apipa = AppState.requestedApipaEnabled,
            .save = AppState.autoSave,
            .quit = AppState.autoQuit,
            .computer = computer,
            .refused = AppState.computerNameRefused,
            .timeout = AppState.timeoutSeconds,
            .list = AppState.machineListRun,
            .restart = AppState.restartAsked,
            .restartSeconds = AppState.restartSeconds,
            .restartRefused = AppState.restartRefused,
            .consoleLast = AppState.consoleLast};
}

} // namespace

TEST(CommandLineTest, TailsGiveTheirRequests)
{
    const struct
    {
        const char *tail;
        Requests expected;
    } cases[] = {
        {"", {}},
        {"MEDIASENSE=OFF APIPA=ON SAVE QUIT", {}},
        {"/MEDIASENSE=ON", {.mediaSense = 0}},
        {"/MEDIASENSE=OFF", {.mediaSense = 1}},
        {"/APIPA=ON", {.apipa = 1}},
        {"/APIPA=OFF", {.apipa = 0}},
        {"/SAVE", {.save = 1}},
        {"/QUIT", {.quit = 1}},
        /* letter case is ignored */
        {"/mediasense=off", {.mediaSense = 1}},
        {"/Apipa=On /sAvE /quiT", {.apipa = 1, .save = 1, .quit = 1}},
        /* the value words are prefix tests */
        {"/MEDIASENSE=ONLY", {.mediaSense = 0}},
        {"/APIPA=OFFICE", {.apipa = 0}},
        /* no blanks needed, and keywords in test order need no '/' between them */
        {"/SAVE/QUIT", {.save = 1, .quit = 1}},
        {"/SAVE /QUIT", {.save = 1, .quit = 1}},
        {"/SAVEQUIT", {.save = 1, .quit = 1}},
        {"/QUITSAVE", {.quit = 1}},
        {"/MEDIASENSE=ON/APIPA=OFF", {.mediaSense = 0, .apipa = 0}},
        {"/MEDIASENSE=ONAPIPA=OFF", {.mediaSense = 0}},
        {"/MEDIASENSE=APIPA=ON", {.apipa = 1}},
        {"/APIPA=SAVE", {.save = 1}},
        {"/APIPA=QUIT", {.quit = 1}},
        {"/MEDIASENSE=OFF/SAVE/QUIT", {.mediaSense = 1, .save = 1, .quit = 1}},
        {"x/SAVE", {.save = 1}},
        {"//SAVE", {.save = 1}},
        {"/SAVESAVE/QUIT", {.save = 1, .quit = 1}},
        /* what is not an option is skipped */
        {"-SAVE", {}},
        {"/ SAVE", {}},
        {"/MEDIASENSE= OFF", {}},
        {"/MEDIA=OFF /APIPA ON /QUITE", {.quit = 1}},
        /* the machine to work on: up to a blank, a tab, a '/' or the end, "\\\\" or not */
        {"/COMPUTER=pc042", {.computer = "pc042"}},
        {"/computer=PC042", {.computer = "PC042"}},
        {"/COMPUTER=\\\\pc042", {.computer = "pc042"}},
        {"/COMPUTER=pc042/SAVE", {.save = 1, .computer = "pc042"}},
        {"/COMPUTER=pc042\t/QUIT", {.quit = 1, .computer = "pc042"}},
        {"/MEDIASENSE=OFF /COMPUTER=pc042 /SAVE /QUIT",
         {.mediaSense = 1, .save = 1, .quit = 1, .computer = "pc042"}},
        {"/COMPUTER=a /COMPUTER=b", {.computer = "b"}},
        {"/COMPUTER=\\\\\\\\\\\\x", {.computer = "\\\\\\\\x"}},
        {"/COMPUTER=.", {.computer = "."}},
        {"/COMPUTER=computer42", {.computer = "computer42"}},
        /* one pair of quotes around the name, as a batch file writes "%PC%", is taken off */
        {"/COMPUTER=\"pc042\"", {.computer = "pc042"}},
        {"/COMPUTER=\"\\\\pc042\"/SAVE", {.save = 1, .computer = "pc042"}},
        {"/COMPUTER=\"pc042\" /QUIT", {.quit = 1, .computer = "pc042"}},
        /* a name that is empty or no name at all is refused, never taken for this machine */
        {"/COMPUTER= /SAVE", {.save = 1, .refused = 1}},
        {"/COMPUTER=\\\\ /SAVE", {.save = 1, .refused = 1}},
        {"/COMPUTER=/SAVE", {.save = 1, .refused = 1}},
        {"/COMPUTER=", {.refused = 1}},
        {"/COMPUTER=\"\"", {.refused = 1}},
        {"/COMPUTER=\"PC 42\"", {.refused = 1}},
        {"/COMPUTER=\"pc042", {.refused = 1}},
        {"/COMPUTER=\"pc042\"x", {.refused = 1}},
        {"/COMPUTER=pc\"042", {.refused = 1}},
        {"/COMPUTER=\"pc\"042\"", {.refused = 1}},
        {"/COMPUTER=a /COMPUTER=", {.refused = 1}},
        {"/COMPUTER= /COMPUTER=a", {.refused = 1}},
        /* the fifth keyword test: after /QUIT in a chain, and nothing before it */
        {"/QUITCOMPUTER=x", {.quit = 1, .computer = "x"}},
        {"/SAVEQUITCOMPUTER=x/APIPA=OFF", {.apipa = 0, .save = 1, .quit = 1, .computer = "x"}},
        {"/COMPUTER=xSAVE", {.computer = "xSAVE"}},
        /* an argument that begins as a machine's name would, but gives none as /COMPUTER=name */
        {"/COMPUTERS", {.refused = 1}},
        {"/COMPUTER", {.refused = 1}},
        {"/COMPUTER:pc042", {.refused = 1}},
        {"/COMPUTER pc042 /SAVE", {.save = 1, .refused = 1}},
        {"/COMPUTERpc042", {.refused = 1}},
        {"/computer:pc042", {.refused = 1}},
        {"-COMPUTER=x", {.refused = 1}},
        {"/SAVE -computer=pc042", {.save = 1, .refused = 1}},
        {"COMPUTER=pc042", {.refused = 1}},
        {"/QUIT\tCOMPUTER", {.quit = 1, .refused = 1}},
        {"/ COMPUTER=x", {.refused = 1}},
        {"/SAVECOMPUTER:x", {.save = 1, .refused = 1}},
        {"/COMPUTER=pc042 /COMPUTER:pc043", {.refused = 1}},
        /* inside a word it is no attempt at a name */
        {"/MEDIASENSE=OFF xCOMPUTER", {.mediaSense = 1}},
        {"/HELPCOMPUTER", {}},
        /* a list of machines, by the path of its file: quoted, it may hold blanks */
        {"/COMPUTER=@machines.txt /SAVE", {.save = 1, .computer = "machines.txt", .list = 1}},
        {"/COMPUTER=@\\\\server\\share\\m.txt",
         {.computer = "\\\\server\\share\\m.txt", .list = 1}},
        {"/COMPUTER=@\"C:\\Kelvra lists\\plant.txt\" /QUIT",
         {.quit = 1, .computer = "C:\\Kelvra lists\\plant.txt", .list = 1}},
        {"/COMPUTER=@", {.refused = 1}},
        {"/COMPUTER=@\"\"", {.refused = 1}},
        {"/COMPUTER=@m.txt /COMPUTER=pc042", {.computer = "pc042"}},
        {"/COMPUTER=pc042 /COMPUTER=@m.txt", {.computer = "m.txt", .list = 1}},
        {"/COMPUTER=@m.txt /COMPUTER=", {.refused = 1}},
        /* nothing inside the value is an option, nor an attempt at naming a machine */
        {"/COMPUTER=@\"sub/saved.txt\" /MEDIASENSE=OFF /QUIT",
         {.mediaSense = 1, .quit = 1, .computer = "sub/saved.txt", .list = 1}},
        {"/COMPUTER=@\"C:/lists/APIPA=OFF.txt\" /QUIT",
         {.quit = 1, .computer = "C:/lists/APIPA=OFF.txt", .list = 1}},
        {"/COMPUTER=@\"Kelvra lists\\plant computers.txt\" /QUIT",
         {.quit = 1, .computer = "Kelvra lists\\plant computers.txt", .list = 1}},
        {"/COMPUTER=@\"a -computer=b.txt\"", {.computer = "a -computer=b.txt", .list = 1}},
        {"/COMPUTER=\"pc042/SAVE\"", {.refused = 1}},
        {"/COMPUTER=\"pc042 /SAVE", {.refused = 1}},
        {"/COMPUTER=@\"m.txt /SAVE", {.refused = 1}},
        {"/COMPUTER=\"pc\"x/SAVE", {.save = 1, .refused = 1}},
        {"/COMPUTER=@\"m.txt\"/SAVE", {.save = 1, .computer = "m.txt", .list = 1}},
        /* unquoted, a list's path with a '/' is refused, never cut there and the rest read */
        {"/COMPUTER=@C:/lists/saved.txt /QUIT", {.quit = 1, .refused = 1}},
        {"/COMPUTER=@m.txt/SAVE", {.refused = 1}},
        /* the time limit for another machine: 1 to 3600 seconds; anything else keeps it */
        {"/TIMEOUT=5", {.timeout = 5}},
        {"/timeout=1", {.timeout = 1}},
        {"/TIMEOUT=3600", {.timeout = 3600}},
        {"/TIMEOUT=0090", {.timeout = 90}},
        {"/TIMEOUT=10/SAVE", {.save = 1, .timeout = 10}},
        {"/COMPUTER=x/TIMEOUT=7", {.computer = "x", .timeout = 7}},
        {"/QUITCOMPUTER=x/TIMEOUT=7", {.quit = 1, .computer = "x", .timeout = 7}},
        {"/TIMEOUT=3601", {}},
        {"/TIMEOUT=0", {}},
        {"/TIMEOUT=", {}},
        {"/TIMEOUT= 5", {}},
        {"/TIMEOUT=5x", {}},
        {"/TIMEOUT=-5", {}},
        {"/TIMEOUT=1e3", {}},
        {"/TIMEOUT=99999999999999999999", {}},
        {"/TIMEOUT=4294967301", {}},
        {"/TIMEOUT=10 /TIMEOUT=abc", {.timeout = 10}},
        {"/TIMEOUT=10 /TIMEOUT=20", {.timeout = 20}},
        {"-TIMEOUT=5", {}},
        /* a restart after a change: 60 seconds, or 0 up to Windows' limit of ten years */
        {"/RESTART", {.restart = RESTART_AFTER_CHANGE}},
        {"/restart", {.restart = RESTART_AFTER_CHANGE}},
        {"/RESTART=0", {.restart = RESTART_AFTER_CHANGE, .restartSeconds = 0}},
        {"/RESTART=600", {.restart = RESTART_AFTER_CHANGE, .restartSeconds = 600}},
        {"/RESTART=315360000", {.restart = RESTART_AFTER_CHANGE, .restartSeconds = 315360000}},
        {"/RESTART=30/QUIT", {.quit = 1, .restart = RESTART_AFTER_CHANGE, .restartSeconds = 30}},
        {"/RESTART /SAVE", {.save = 1, .restart = RESTART_AFTER_CHANGE}},
        {"/QUITCOMPUTER=x/TIMEOUT=7/RESTART=5",
         {.quit = 1,
          .computer = "x",
          .timeout = 7,
          .restart = RESTART_AFTER_CHANGE,
          .restartSeconds = 5}},
        {"/RESTART=ABORT", {.restart = RESTART_ABORT}},
        {"/restart=Abort /COMPUTER=pc042", {.computer = "pc042", .restart = RESTART_ABORT}},
        {"/RESTART=10 /RESTART=ABORT", {.restart = RESTART_ABORT}},
        {"/RESTART=ABORT /RESTART=10", {.restart = RESTART_AFTER_CHANGE, .restartSeconds = 10}},
        {"/RESTART /CONSOLELAST", {.restart = RESTART_AFTER_CHANGE, .consoleLast = 1}},
        /* any other value refuses the run: never no countdown, never the default, never none */
        {"/RESTART=", {.restartRefused = 1}},
        {"/RESTART= 60", {.restartRefused = 1}},
        {"/RESTART=315360001", {.restartRefused = 1}},
        {"/RESTART=4294967356", {.restartRefused = 1}},
        {"/RESTART=99999999999999999999", {.restartRefused = 1}},
        {"/RESTART=-1", {.restartRefused = 1}},
        {"/RESTART=60s", {.restartRefused = 1}},
        {"/RESTART=1e3", {.restartRefused = 1}},
        {"/RESTART:60", {.restartRefused = 1}},
        {"/RESTART60", {.restartRefused = 1}},
        {"/RESTARTS", {.restartRefused = 1}},
        {"/RESTART=ABORTED", {.restartRefused = 1}},
        {"/RESTART=NOW", {.restartRefused = 1}},
        {"/RESTART=60 /RESTART=x", {.restartRefused = 1}},
        {"/RESTART=x /RESTART=60", {.restartRefused = 1}},
        {"-RESTART", {.restartRefused = 1}},
        {"/SAVE -restart=60", {.save = 1, .restartRefused = 1}},
        {"/SAVE RESTART /QUIT", {.save = 1, .quit = 1, .restartRefused = 1}},
        /* inside a word it is no attempt at a restart */
        {"/MEDIASENSE=OFF xRESTART", {.mediaSense = 1}},
        /* a lone '/' at the end */
        {"/", {}},
        {"/SAVE /", {.save = 1}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, ParsedRequests(c.tail)) << "tail \"" << c.tail << "\"";
}

TEST(CommandLineTest, ForEachSettingTheLastRequestWins)
{
    /* The same rows for both settings: a later value overrides an earlier one in either order,
     * other options between them change nothing, and a missing or unknown value leaves the
     * earlier one. */
    const struct
    {
        const char *tail;
        Requests expected;
    } cases[] = {
        {"/MEDIASENSE=ON /MEDIASENSE=OFF", {.mediaSense = 1}},
        {"/MEDIASENSE=OFF /MEDIASENSE=ON", {.mediaSense = 0}},
        {"/MEDIASENSE=OFF /SAVE /APIPA=ON /MEDIASENSE=ON",
         {.mediaSense = 0, .apipa = 1, .save = 1}},
        {"/MEDIASENSE=OFF /MEDIASENSE=", {.mediaSense = 1}},
        {"/MEDIASENSE=ON /MEDIASENSE=MAYBE", {.mediaSense = 0}},
        {"/APIPA=ON /APIPA=OFF", {.apipa = 0}},
        {"/APIPA=OFF /APIPA=ON", {.apipa = 1}},
        {"/APIPA=OFF /SAVE /MEDIASENSE=ON /APIPA=ON", {.mediaSense = 0, .apipa = 1, .save = 1}},
        {"/APIPA=OFF /APIPA=", {.apipa = 0}},
        {"/APIPA=ON /APIPA=MAYBE", {.apipa = 1}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, ParsedRequests(c.tail)) << "tail \"" << c.tail << "\"";
}

TEST(CommandLineTest, MatchKeywordComparesOnlyTheKeywordsLength)
{
    const struct
    {
        const char *keyword;
        const char *text;
        BOOL expected;
    } cases[] = {
        {"ON", "ON", 1},         {"ON", "on", 1},        {"ON", "oN/SAVE", 1},
        {"OFF", "OFFICE", 1},    {"OFF", "ON", 0},       {"OFF", "OF", 0},
        {"SAVE", "SAV", 0},      {"SAVE", "", 0},        {"QUIT", "QUIET", 0},
        {"APIPA=", "apipa=", 1}, {"APIPA=", "APIPA", 0}, {"MEDIASENSE=", " MEDIASENSE=", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, MatchKeyword(c.keyword, c.text))
            << "keyword \"" << c.keyword << "\", text \"" << c.text << "\"";
}

TEST(CommandLineTest, NeverReadsPastTheEndOfTheTail)
{
    /* Each text ends right before a page that may not be read. */
    const struct
    {
        const char *tail;
        Requests expected;
    } cases[] = {
        {"", {}},
        {"/", {}},
        {"/MEDIASENSE=", {}},
        {"/MEDIASENSE=O", {}},
        {"/MEDIASENSE=ON", {.mediaSense = 0}},
        {"/APIPA=", {}},
        {"/APIPA=OF", {}},
        {"/MEDIASENSE=APIPA=", {}},
        {"/SAV", {}},
        {"/QUI", {}},
        {"/SAVEQUI", {.save = 1}},
        {"/SAVE/", {.save = 1}},
        {"/COMPUTER=\"", {.refused = 1}},
        {"/COMPUTER=\"x", {.refused = 1}},
        {"/COMPUTER=\\", {.computer = "\\"}},
        {"/COMPUTER=x", {.computer = "x"}},
        {"/COMPUTE", {}},
        {"-COMPUTE", {}},
        {"COMPUTE", {}},
        {"/TIMEOUT=", {}},
        {"/TIMEOUT=12", {.timeout = 12}},
        {"/RESTART", {.restart = RESTART_AFTER_CHANGE}},
        {"/RESTART=", {.restartRefused = 1}},
        {"/RESTART=1", {.restart = RESTART_AFTER_CHANGE, .restartSeconds = 1}},
        {"/RESTART=ABOR", {.restartRefused = 1}},
        {"/RESTART=ABORT", {.restart = RESTART_ABORT}},
        {"/RESTAR", {}},
    };
    PageEnd page;
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, ParsedRequests(page.Place(c.tail))) << "tail \"" << c.tail << "\"";

    const char *keywords[] = {"MEDIASENSE=", "APIPA=", "SAVE",      "QUIT",
                              "ON",          "OFF",    "COMPUTER=", "TIMEOUT="};
    for (const char *keyword : keywords)
    {
        std::string text(keyword);
        for (size_t length = 0; length < text.size(); length++)
            EXPECT_EQ(0, MatchKeyword(keyword, page.Place(text.substr(0, length))))
                << keyword << " against its first " << length << " characters";
        EXPECT_EQ(1, MatchKeyword(keyword, page.Place(text))) << keyword;
    }
}

TEST(CommandLineTest, RandomTailsChangeNothingButTheRequests)
{
    /* Fragments of the options, so that near-misses are common; fixed seed, bounded run. */
    const char *fragments[] = {"/",         "/",    "MEDIASENSE=", "APIPA=",   "SAVE", "QUIT",
                               "ON",        "OFF",  "medias",      "Apipa",    "=",    " ",
                               "-",         "\"",   "O",           "\xE9",     "\t",   "x",
                               "COMPUTER=", "\\\\", "COMPUTER",    "TIMEOUT=", "9",    "36",
                               "RESTART",   "=",    "ABORT",       "315360001"};
    std::mt19937 random(20261209);
    std::uniform_int_distribution<size_t> pick(0, sizeof(fragments) / sizeof(fragments[0]) - 1);
    std::uniform_int_distribution<int> count(0, 6);
    PageEnd page;

    AppStateRecord poisoned;
    std::memset(&poisoned, 0xA5, sizeof(poisoned));
    for (int run = 0; run < 20000; run++)
    {
        std::string tail;
        for (int n = count(random); n > 0; n--)
            tail += fragments[pick(random)];
        if (random() % 2 == 0 && !tail.empty())
            tail.resize(random() % tail.size()); /* cut inside a keyword */
        SCOPED_TRACE("tail \"" + tail + "\"");

        AppState = poisoned;
        AppState.requestedDisableMediaSense = NOT_REQUESTED;
        AppState.requestedApipaEnabled = NOT_REQUESTED;
        AppState.autoSave = 0;
        AppState.autoQuit = 0;
        AppState.computerName = NULL;
        AppState.computerNameLength = 0;
        AppState.computerNameRefused = 0;
        AppState.timeoutSeconds = 30;
        AppState.restartAsked = RESTART_NONE;
        AppState.restartSeconds = 60;
        AppState.restartRefused = 0;
        AppState.consoleLast = 0;
        const char *placed = page.Place(tail);
        ParseCommandLine(placed);

        ASSERT_EQ(poisoned.registryRoot, AppState.registryRoot);
        if (AppState.computerName != NULL)
        {
            std::string name(AppState.computerName, AppState.computerNameLength);
            ASSERT_GE(AppState.computerName, placed);
            ASSERT_LE(AppState.computerName + AppState.computerNameLength, placed + tail.size());
            /* a name is never empty, nor cut out of a refused one */
            ASSERT_EQ(name.empty(), AppState.computerNameRefused == 1);
            ASSERT_EQ(std::string::npos, name.find_first_of(" \t/\""));
        }
        ASSERT_TRUE(AppState.computerNameRefused == 0 || AppState.computerNameRefused == 1);
        ASSERT_GE(AppState.timeoutSeconds, 1u);
        ASSERT_LE(AppState.timeoutSeconds, 3600u);
        /* a refused restart asks for none, and a countdown never passes Windows' limit */
        ASSERT_TRUE(AppState.restartRefused == 0 || AppState.restartAsked == RESTART_NONE);
        ASSERT_LE(AppState.restartSeconds, 315360000u);
        ASSERT_EQ(poisoned.runFailed, AppState.runFailed);
        ASSERT_EQ(poisoned.failureCode, AppState.failureCode);
        ASSERT_EQ(poisoned.valueWritten, AppState.valueWritten);
        ASSERT_EQ(poisoned.mediaSenseOn, AppState.mediaSenseOn);
        ASSERT_EQ(poisoned.apipaOn, AppState.apipaOn);
        ASSERT_EQ(poisoned.instance, AppState.instance);
        ASSERT_EQ(poisoned.platformSupported, AppState.platformSupported);
        ASSERT_EQ(poisoned.disableMediaSense, AppState.disableMediaSense);
        ASSERT_EQ(poisoned.ipAutoconfigEnabled, AppState.ipAutoconfigEnabled);
        ASSERT_EQ(poisoned.changeMediaSense, AppState.changeMediaSense);
        ASSERT_EQ(poisoned.changeApipa, AppState.changeApipa);
        ASSERT_EQ(poisoned.currentPage, AppState.currentPage);
        ASSERT_EQ(poisoned.exitCode, AppState.exitCode);
        ASSERT_EQ(0, std::memcmp(poisoned.messageText, AppState.messageText,
                                 sizeof(poisoned.messageText)));
        ASSERT_GE(AppState.requestedDisableMediaSense, -1);
        ASSERT_LE(AppState.requestedDisableMediaSense, 1);
        ASSERT_GE(AppState.requestedApipaEnabled, -1);
        ASSERT_LE(AppState.requestedApipaEnabled, 1);
        ASSERT_TRUE(AppState.autoSave == 0 || AppState.autoSave == 1);
        ASSERT_TRUE(AppState.autoQuit == 0 || AppState.autoQuit == 1);
    }
}

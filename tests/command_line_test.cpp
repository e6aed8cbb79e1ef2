#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "app/app_state.h"
#include "app/command_line.h"

namespace
{

struct Requests
{
    LONG mediaSense;
    LONG apipa;
    BOOL save;
    BOOL quit;
};

std::ostream &operator<<(std::ostream &out, const Requests &r)
{
    return out << "{" << r.mediaSense << ", " << r.apipa << ", " << r.save << ", " << r.quit << "}";
}

bool operator==(const Requests &a, const Requests &b)
{
    return a.mediaSense == b.mediaSense && a.apipa == b.apipa && a.save == b.save &&
           a.quit == b.quit;
}

const LONG NONE = NOT_REQUESTED;

Requests ParsedRequests(const char *tail)
{
    AppState.requestedDisableMediaSense = NOT_REQUESTED;
    AppState.requestedApipaEnabled = NOT_REQUESTED;
    AppState.autoSave = 0;
    AppState.autoQuit = 0;
    ParseCommandLine(tail);
    return {AppState.requestedDisableMediaSense, AppState.requestedApipaEnabled, AppState.autoSave,
            AppState.autoQuit};
}

/* Two pages, the second one unreadable: a text placed so that its terminating zero is the
 * last readable byte crashes any reader that looks one byte further. */
class PageEnd
{
  public:
    PageEnd()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize_ = info.dwPageSize;
        base_ = static_cast<char *>(
            VirtualAlloc(NULL, 2 * pageSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ == NULL || !VirtualProtect(base_ + pageSize_, pageSize_, PAGE_NOACCESS, &old))
            ADD_FAILURE() << "cannot set up the guard page: error " << GetLastError();
    }
    ~PageEnd()
    {
        VirtualFree(base_, 0, MEM_RELEASE);
    }
    const char *Place(const std::string &text)
    {
        char *start = base_ + pageSize_ - (text.size() + 1);
        std::memcpy(start, text.c_str(), text.size() + 1);
        return start;
    }

  private:
    char *base_ = NULL;
    DWORD pageSize_ = 0;
};

} // namespace

TEST(CommandLineTest, TailsGiveTheirRequests)
{
    const struct
    {
        const char *tail;
        Requests expected;
    } cases[] = {
        {"", {NONE, NONE, 0, 0}},
        {"MEDIASENSE=OFF APIPA=ON SAVE QUIT", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE=ON", {0, NONE, 0, 0}},
        {"/MEDIASENSE=OFF", {1, NONE, 0, 0}},
        {"/APIPA=ON", {NONE, 1, 0, 0}},
        {"/APIPA=OFF", {NONE, 0, 0, 0}},
        {"/SAVE", {NONE, NONE, 1, 0}},
        {"/QUIT", {NONE, NONE, 0, 1}},
        /* letter case is ignored */
        {"/mediasense=off", {1, NONE, 0, 0}},
        {"/Apipa=On /sAvE /quiT", {NONE, 1, 1, 1}},
        /* the value words are prefix tests */
        {"/MEDIASENSE=ONLY", {0, NONE, 0, 0}},
        {"/APIPA=OFFICE", {NONE, 0, 0, 0}},
        /* no blanks needed, and keywords in test order need no '/' between them */
        {"/SAVE/QUIT", {NONE, NONE, 1, 1}},
        {"/SAVE /QUIT", {NONE, NONE, 1, 1}},
        {"/SAVEQUIT", {NONE, NONE, 1, 1}},
        {"/QUITSAVE", {NONE, NONE, 0, 1}},
        {"/MEDIASENSE=ON/APIPA=OFF", {0, 0, 0, 0}},
        {"/MEDIASENSE=ONAPIPA=OFF", {0, NONE, 0, 0}},
        {"/MEDIASENSE=APIPA=ON", {NONE, 1, 0, 0}},
        {"/APIPA=SAVE", {NONE, NONE, 1, 0}},
        {"/APIPA=QUIT", {NONE, NONE, 0, 1}},
        {"/MEDIASENSE=OFF/SAVE/QUIT", {1, NONE, 1, 1}},
        {"x/SAVE", {NONE, NONE, 1, 0}},
        {"//SAVE", {NONE, NONE, 1, 0}},
        {"/SAVESAVE/QUIT", {NONE, NONE, 1, 1}},
        /* what is not an option is skipped */
        {"-SAVE", {NONE, NONE, 0, 0}},
        {"/ SAVE", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE= OFF", {NONE, NONE, 0, 0}},
        {"/MEDIA=OFF /APIPA ON /QUITE", {NONE, NONE, 0, 1}},
        /* a lone '/' at the end */
        {"/", {NONE, NONE, 0, 0}},
        {"/SAVE /", {NONE, NONE, 1, 0}},
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
        {"/MEDIASENSE=ON /MEDIASENSE=OFF", {1, NONE, 0, 0}},
        {"/MEDIASENSE=OFF /MEDIASENSE=ON", {0, NONE, 0, 0}},
        {"/MEDIASENSE=OFF /SAVE /APIPA=ON /MEDIASENSE=ON", {0, 1, 1, 0}},
        {"/MEDIASENSE=OFF /MEDIASENSE=", {1, NONE, 0, 0}},
        {"/MEDIASENSE=ON /MEDIASENSE=MAYBE", {0, NONE, 0, 0}},
        {"/APIPA=ON /APIPA=OFF", {NONE, 0, 0, 0}},
        {"/APIPA=OFF /APIPA=ON", {NONE, 1, 0, 0}},
        {"/APIPA=OFF /SAVE /MEDIASENSE=ON /APIPA=ON", {0, 1, 1, 0}},
        {"/APIPA=OFF /APIPA=", {NONE, 0, 0, 0}},
        {"/APIPA=ON /APIPA=MAYBE", {NONE, 1, 0, 0}},
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
        {"", {NONE, NONE, 0, 0}},
        {"/", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE=", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE=O", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE=ON", {0, NONE, 0, 0}},
        {"/APIPA=", {NONE, NONE, 0, 0}},
        {"/APIPA=OF", {NONE, NONE, 0, 0}},
        {"/MEDIASENSE=APIPA=", {NONE, NONE, 0, 0}},
        {"/SAV", {NONE, NONE, 0, 0}},
        {"/QUI", {NONE, NONE, 0, 0}},
        {"/SAVEQUI", {NONE, NONE, 1, 0}},
        {"/SAVE/", {NONE, NONE, 1, 0}},
    };
    PageEnd page;
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, ParsedRequests(page.Place(c.tail))) << "tail \"" << c.tail << "\"";

    const char *keywords[] = {"MEDIASENSE=", "APIPA=", "SAVE", "QUIT", "ON", "OFF"};
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
    const char *fragments[] = {"/",  "/",   "MEDIASENSE=", "APIPA=", "SAVE", "QUIT",
                               "ON", "OFF", "medias",      "Apipa",  "=",    " ",
                               "-",  "\"",  "O",           "\xE9",   "\t",   "x"};
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
        ParseCommandLine(page.Place(tail));

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

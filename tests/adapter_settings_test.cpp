#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "store/adapter_settings.h"
#include "support/adapter_fixtures.h"
#include "support/registry_helpers.h"

namespace
{

using Found = std::vector<std::pair<std::string, LONG>>;

/* A machine's root of the test's own, a private key laid out like HKLM, handed to the store:
 * a store that read the real HKLM would find nothing of what the test lays out. */
class AdapterSettingsTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        DeleteKey(PrivateKeyPath());
        CreateKey(PrivateKeyPath());
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, PrivateKeyPath().c_str(), 0,
                                               KEY_ALL_ACCESS, &root_));
    }
    void TearDown() override
    {
        RegCloseKey(root_);
        for (const std::string &key : denied_)
            AllowFullAccess(key);
        DeleteKey(PrivateKeyPath());
    }
    void Store(const AdapterFixture &adapter)
    {
        StoreAdapter(PrivateKeyPath() + "\\", adapter);
        if (adapter.denied)
            denied_.push_back(PrivateKeyPath() + "\\" INTERFACES_KEY_PATH "\\" + adapter.guid);
    }
    /* What the store finds, by name, sorted: the registry's own order is not the point. */
    Found Read()
    {
        settings_.count = 0xA5A5;
        ReadAdapterSettings(root_, &settings_);
        Found found;
        for (DWORD i = 0; i < settings_.count && i < MAX_ADAPTER_SETTINGS; i++)
            found.emplace_back(settings_.adapters[i].name, settings_.adapters[i].apipaOn);
        std::sort(found.begin(), found.end());
        return found;
    }
    HKEY root_ = NULL;
    AdapterSettings settings_;
    std::vector<std::string> denied_;
};

} // namespace

TEST_F(AdapterSettingsTest, FindsTheDhcpAdaptersWithADwordOfTheirOwnByTheirConnectionsName)
{
    const std::string LONGEST(256, 'n');
    const std::string TOO_LONG(257, 'n');
    const AdapterFixture adapters[] = {
        {.guid = "{11111111-0000-0000-0000-000000000001}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 0,
         .connectionName = "Local Area Connection 2"},
        {.guid = "{22222222-0000-0000-0000-000000000002}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 1},
        /* read as the value in Parameters is: any number but 1 is off */
        {.guid = "{33333333-0000-0000-0000-000000000003}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 2},
        /* an empty name is no name; the longest is taken whole, a longer one not at all */
        {.guid = "{44444444-0000-0000-0000-000000000004}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 0,
         .connectionName = ""},
        {.guid = "{55555555-0000-0000-0000-000000000005}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 1,
         .connectionName = LONGEST.c_str()},
        {.guid = "{66666666-0000-0000-0000-000000000006}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 0,
         .connectionName = TOO_LONG.c_str()},
        /* left out: a fixed address, no EnableDHCP, EnableDHCP not 1, no value of its own,
         * a value of another type, a key that cannot be read */
        {.guid = "{77777777-0000-0000-0000-000000000007}",
         .enableDhcp = 0,
         .ownType = REG_DWORD,
         .own = 0,
         .connectionName = "Fixed"},
        {.guid = "{88888888-0000-0000-0000-000000000008}", .ownType = REG_DWORD, .own = 0},
        {.guid = "{99999999-0000-0000-0000-000000000009}",
         .enableDhcp = 2,
         .ownType = REG_DWORD,
         .own = 0},
        {.guid = "{AAAAAAAA-0000-0000-0000-00000000000A}",
         .enableDhcp = 1,
         .connectionName = "No own value"},
        {.guid = "{BBBBBBBB-0000-0000-0000-00000000000B}",
         .enableDhcp = 1,
         .ownType = REG_SZ,
         .own = 0},
        {.guid = "{CCCCCCCC-0000-0000-0000-00000000000C}",
         .enableDhcp = 1,
         .ownType = REG_DWORD,
         .own = 0,
         .connectionName = "Denied",
         .denied = true},
    };
    for (const AdapterFixture &adapter : adapters)
        Store(adapter);
    /* A name of 257 characters stored without its zero fits the read, not the name. */
    const char *unterminated = "{DDDDDDDD-0000-0000-0000-00000000000D}";
    Store({.guid = unterminated, .enableDhcp = 1, .ownType = REG_DWORD, .own = 1});
    CreateKey(PrivateKeyPath() + "\\" NETWORK_CLASS_KEY_PATH "\\" + unterminated + "\\Connection");
    SetRawValue(PrivateKeyPath() + "\\" NETWORK_CLASS_KEY_PATH "\\" + unterminated + "\\Connection",
                "Name", REG_SZ, std::vector<BYTE>(TOO_LONG.begin(), TOO_LONG.end()));

    Found expected = {
        {"Local Area Connection 2", 0},
        {"{22222222-0000-0000-0000-000000000002}", 1},
        {"{33333333-0000-0000-0000-000000000003}", 0},
        {"{44444444-0000-0000-0000-000000000004}", 0},
        {LONGEST, 1},
        {"{66666666-0000-0000-0000-000000000006}", 0},
        {"{DDDDDDDD-0000-0000-0000-00000000000D}", 1},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, Read());
}

TEST_F(AdapterSettingsTest, AMachineWithoutInterfacesHasNone)
{
    /* nothing under the root at all, then the key without adapters */
    EXPECT_EQ(Found{}, Read());
    CreateKey(PrivateKeyPath() + "\\" INTERFACES_KEY_PATH);
    EXPECT_EQ(Found{}, Read());
    EXPECT_EQ(0u, settings_.count);
}

TEST_F(AdapterSettingsTest, MoreAdaptersThanItHoldsStopAtItsSize)
{
    for (int i = 0; i < MAX_ADAPTER_SETTINGS + 3; i++)
    {
        std::string guid = "{adapter" + std::to_string(100 + i) + "}";
        Store({.guid = guid.c_str(), .enableDhcp = 1, .ownType = REG_DWORD, .own = 0});
    }
    EXPECT_EQ(size_t(MAX_ADAPTER_SETTINGS), Read().size());
    EXPECT_EQ(DWORD(MAX_ADAPTER_SETTINGS), settings_.count);
}

TEST(CountAdaptersApartTest, CountsThoseInTheOtherStateThanParameters)
{
    AdapterSettings settings = {};
    const LONG states[] = {0, 1, 1, 0, 0};
    for (LONG state : states)
        settings.adapters[settings.count++].apipaOn = state;

    const struct
    {
        LONG apipaOn;
        DWORD expected;
    } cases[] = {{1, 3}, {0, 2}, {STATE_UNKNOWN, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, CountAdaptersApart(&settings, c.apipaOn)) << "state " << c.apipaOn;
    settings.count = 0;
    EXPECT_EQ(0u, CountAdaptersApart(&settings, 1));
}

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "store/parameter_store.h"
#include "support/registry_helpers.h"

namespace
{

const DWORD POISON = 0xDEADBEEF;

/* A key of the test's own, made empty before the test and removed after it. */
class ParameterStoreTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        key_ = PrivateKeyPath();
        DeleteKey(key_);
        CreateKey(key_);
    }
    void TearDown() override
    {
        DeleteKey(key_);
    }
    const char *Key() const
    {
        return key_.c_str();
    }
    std::string key_;
};

std::vector<BYTE> Bytes(std::initializer_list<BYTE> bytes)
{
    return std::vector<BYTE>(bytes);
}

/* Fills the stack that the next call will use with 0xA5 and returns: a buffer that the call
 * leaves unset then holds 0xA5, not whatever zeros happened to be there. */
[[gnu::noinline]] void PoisonStack()
{
    volatile BYTE filler[4096];
    for (size_t i = 0; i < sizeof(filler); i++)
        filler[i] = 0xA5;
}

} // namespace

TEST_F(ParameterStoreTest, ReadTakesOnlyADwordAndOtherwiseKeepsTheDefault)
{
    const struct
    {
        const char *what;
        bool present;
        DWORD type;
        std::vector<BYTE> data;
        BOOL expectedResult;
        DWORD expectedValue;
    } cases[] = {
        {"absent", false, 0, {}, 1, POISON},
        {"REG_DWORD 7", true, REG_DWORD, Bytes({7, 0, 0, 0}), 1, 7},
        {"REG_DWORD 1", true, REG_DWORD, Bytes({1, 0, 0, 0}), 1, 1},
        {"REG_DWORD 0", true, REG_DWORD, Bytes({0, 0, 0, 0}), 1, 0},
        /* stored short: the bytes that it lacks read as 0 */
        {"REG_DWORD of 3 bytes", true, REG_DWORD, Bytes({0x56, 0x34, 0x12}), 1, 0x123456},
        {"REG_DWORD of 2 bytes", true, REG_DWORD, Bytes({0x34, 0x12}), 1, 0x1234},
        {"REG_DWORD of 1 byte", true, REG_DWORD, Bytes({0x12}), 1, 0x12},
        {"REG_DWORD of no bytes", true, REG_DWORD, {}, 1, 0},
        {"REG_DWORD of 8 bytes", true, REG_DWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), 0, POISON},
        {"REG_SZ", true, REG_SZ, Bytes({'1', 0}), 0, POISON},
        {"REG_BINARY", true, REG_BINARY, Bytes({1, 0, 0, 0}), 0, POISON},
        {"REG_QWORD", true, REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), 0, POISON},
        {"REG_DWORD_BIG_ENDIAN", true, REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1}), 0, POISON},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteValue(key_, APIPA_NAME);
        if (c.present)
            SetRawValue(key_, APIPA_NAME, c.type, c.data);

        DWORD value = POISON;
        PoisonStack();
        EXPECT_EQ(c.expectedResult, ReadDwordValue(Key(), APIPA_NAME, &value));
        EXPECT_EQ(c.expectedValue, value);
    }
}

TEST_F(ParameterStoreTest, ReadFromAMissingKeyKeepsTheDefault)
{
    DeleteKey(key_);
    DWORD value = POISON;
    EXPECT_EQ(0, ReadDwordValue(Key(), MEDIA_SENSE_NAME, &value));
    EXPECT_EQ(POISON, value);
    EXPECT_FALSE(KeyExists(key_));
}

TEST_F(ParameterStoreTest, WriteStoresAFourByteDwordThatReadsBack)
{
    const DWORD values[] = {1, 0, 7, 0xFFFFFFFF};
    for (DWORD written : values)
    {
        SCOPED_TRACE(written);
        lstrcpyA(AppState.messageText, "poison");
        EXPECT_EQ(1, WriteDwordValue(Key(), MEDIA_SENSE_NAME, written));

        const BYTE *bytes = reinterpret_cast<const BYTE *>(&written);
        RawValue expected = {REG_DWORD, std::vector<BYTE>(bytes, bytes + 4)};
        EXPECT_EQ(expected, GetRawValue(key_, MEDIA_SENSE_NAME));
        DWORD read = POISON;
        EXPECT_EQ(1, ReadDwordValue(Key(), MEDIA_SENSE_NAME, &read));
        EXPECT_EQ(written, read);
        EXPECT_STREQ("poison", AppState.messageText) << "a success leaves the text alone";
    }
}

TEST_F(ParameterStoreTest, WriteChangesNoOtherValueOfTheKey)
{
    SetRawValue(key_, "Hostname", REG_SZ, Bytes({'h', 'o', 's', 't', 0}));
    SetDword(key_, APIPA_NAME, 1);
    SetRawValue(key_, "", REG_SZ, Bytes({'d', 0}));
    SetRawValue(key_, "DisableDHCPMediaSens", REG_DWORD, Bytes({5, 0, 0, 0}));
    ValueMap before = GetAllValues(key_);

    ASSERT_EQ(1, WriteDwordValue(Key(), MEDIA_SENSE_NAME, 1));

    ValueMap after = GetAllValues(key_);
    after.erase(MEDIA_SENSE_NAME);
    EXPECT_EQ(before, after);
}

TEST_F(ParameterStoreTest, WriteFailuresLeaveTheSystemTextAndCreateNothing)
{
    const struct
    {
        const char *what;
        bool keyExists;
        bool denied;
        DWORD error;
    } cases[] = {
        {"missing key", false, false, ERROR_FILE_NOT_FOUND},
        {"key that refuses full access", true, true, ERROR_ACCESS_DENIED},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteKey(key_);
        if (c.keyExists)
        {
            CreateKey(key_);
            SetDword(key_, MEDIA_SENSE_NAME, 0);
        }
        if (c.denied)
            DenyFullAccess(key_);
        lstrcpyA(AppState.messageText, "poison");

        EXPECT_EQ(0, WriteDwordValue(Key(), MEDIA_SENSE_NAME, 1));

        EXPECT_STREQ(SystemErrorText(c.error).c_str(), AppState.messageText);
        EXPECT_NE(std::string("poison"), AppState.messageText);
        EXPECT_EQ(c.keyExists, KeyExists(key_));
        if (c.keyExists)
        {
            DWORD value = POISON;
            EXPECT_EQ(1, ReadDwordValue(Key(), MEDIA_SENSE_NAME, &value))
                << "reading needs no more than read access";
            EXPECT_EQ(0u, value);
        }
    }
}

TEST(ParameterStoreTcpipTest, WritesAndReadsTheRealParametersKey)
{
    SavedKey saved(TCPIP_KEY_PATH);
    ValueMap before = GetAllValues(TCPIP_KEY_PATH);
    before.erase(MEDIA_SENSE_NAME);
    before.erase(APIPA_NAME);

    const struct
    {
        const char *name;
        DWORD written;
    } cases[] = {{MEDIA_SENSE_NAME, 1}, {APIPA_NAME, 0}, {MEDIA_SENSE_NAME, 0}};
    for (const auto &c : cases)
    {
        SCOPED_TRACE(std::string(c.name) + " = " + std::to_string(c.written));
        EXPECT_EQ(1, WriteDwordValue(TCPIP_KEY_PATH, c.name, c.written));
        DWORD read = POISON;
        EXPECT_EQ(1, ReadDwordValue(TCPIP_KEY_PATH, c.name, &read));
        EXPECT_EQ(c.written, read);
    }

    ValueMap after = GetAllValues(TCPIP_KEY_PATH);
    after.erase(MEDIA_SENSE_NAME);
    after.erase(APIPA_NAME);
    EXPECT_EQ(before, after);
}

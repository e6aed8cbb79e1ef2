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

/* A registry root of the test's own, a private key laid out like a machine's HKLM and handed
 * to the store as its root, with the store's key "Parameters" below it, made empty before the
 * test and removed after it. A store that went to the real HKLM would not find it. */
class ParameterStoreTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        DeleteKey(PrivateKeyPath());
        CreateKey(key_);
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, PrivateKeyPath().c_str(), 0,
                                               KEY_ALL_ACCESS, &root_));
    }
    void TearDown() override
    {
        RegCloseKey(root_);
        DeleteKey(PrivateKeyPath());
    }
    HKEY Root() const
    {
        return root_;
    }
    static const char *Key()
    {
        return "Parameters";
    }
    HKEY root_ = NULL;
    std::string key_ = PrivateKeyPath() + "\\Parameters";
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
        LONG expectedResult;
        DWORD expectedValue;
    } cases[] = {
        {.what = "absent",
         .present = false,
         .type = 0,
         .data = {},
         .expectedResult = ERROR_FILE_NOT_FOUND,
         .expectedValue = POISON},
        {.what = "REG_DWORD 7",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({7, 0, 0, 0}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 7},
        {.what = "REG_DWORD 1",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({1, 0, 0, 0}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 1},
        {.what = "REG_DWORD 0",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({0, 0, 0, 0}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 0},
        /* stored short: the bytes that it lacks read as 0 */
        {.what = "REG_DWORD of 3 bytes",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({0x56, 0x34, 0x12}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 0x123456},
        {.what = "REG_DWORD of 2 bytes",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({0x34, 0x12}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 0x1234},
        {.what = "REG_DWORD of 1 byte",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({0x12}),
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 0x12},
        {.what = "REG_DWORD of no bytes",
         .present = true,
         .type = REG_DWORD,
         .data = {},
         .expectedResult = ERROR_SUCCESS,
         .expectedValue = 0},
        {.what = "REG_DWORD of 8 bytes",
         .present = true,
         .type = REG_DWORD,
         .data = Bytes({1, 0, 0, 0, 0, 0, 0, 0}),
         .expectedResult = ERROR_INVALID_DATA,
         .expectedValue = POISON},
        {.what = "REG_SZ",
         .present = true,
         .type = REG_SZ,
         .data = Bytes({'1', 0}),
         .expectedResult = ERROR_INVALID_DATA,
         .expectedValue = POISON},
        {.what = "REG_BINARY",
         .present = true,
         .type = REG_BINARY,
         .data = Bytes({1, 0, 0, 0}),
         .expectedResult = ERROR_INVALID_DATA,
         .expectedValue = POISON},
        {.what = "REG_QWORD",
         .present = true,
         .type = REG_QWORD,
         .data = Bytes({1, 0, 0, 0, 0, 0, 0, 0}),
         .expectedResult = ERROR_INVALID_DATA,
         .expectedValue = POISON},
        {.what = "REG_DWORD_BIG_ENDIAN",
         .present = true,
         .type = REG_DWORD_BIG_ENDIAN,
         .data = Bytes({0, 0, 0, 1}),
         .expectedResult = ERROR_INVALID_DATA,
         .expectedValue = POISON},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteValue(key_, APIPA_NAME);
        if (c.present)
            SetRawValue(key_, APIPA_NAME, c.type, c.data);

        DWORD value = POISON;
        PoisonStack();
        EXPECT_EQ(c.expectedResult, ReadDwordValue(Root(), Key(), APIPA_NAME, &value));
        EXPECT_EQ(c.expectedValue, value);
    }
}

TEST_F(ParameterStoreTest, ReadFromAMissingKeyKeepsTheDefault)
{
    DeleteKey(key_);
    DWORD value = POISON;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadDwordValue(Root(), Key(), MEDIA_SENSE_NAME, &value));
    EXPECT_EQ(POISON, value);
    EXPECT_FALSE(KeyExists(key_));
}

TEST_F(ParameterStoreTest, AReadThatIsRefusedSaysWhy)
{
    SetDword(key_, MEDIA_SENSE_NAME, 1);
    DenyReading(key_);
    DWORD value = POISON;
    EXPECT_EQ(ERROR_ACCESS_DENIED, ReadDwordValue(Root(), Key(), MEDIA_SENSE_NAME, &value));
    EXPECT_EQ(POISON, value);
    AllowFullAccess(key_);
}

TEST_F(ParameterStoreTest, TheTargetsRecordedVersionSaysWhetherItIsSupported)
{
    /* Below the root, where a machine keeps it. Absent: a Windows 9x machine keeps no such
     * key; anything but a version of 5 or more is no supported Windows. */
    const std::string versionKey =
        PrivateKeyPath() + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    const struct
    {
        const char *what;
        bool keyPresent;
        DWORD type;
        std::string data; /* stored as given, without a terminating zero unless it holds one */
        BOOL supported;
    } cases[] = {
        {.what = "no key", .keyPresent = false, .type = 0, .data = "", .supported = 0},
        {.what = "no value", .keyPresent = true, .type = 0, .data = "", .supported = 0},
        {.what = "NT 4",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("4.0", 4),
         .supported = 0},
        {.what = "2000",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("5.0", 4),
         .supported = 1},
        {.what = "XP",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("5.1", 4),
         .supported = 1},
        {.what = "2003",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("5.2", 4),
         .supported = 1},
        {.what = "7",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("6.1", 4),
         .supported = 1},
        {.what = "10",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("10.0", 5),
         .supported = 1},
        {.what = "without its zero",
         .keyPresent = true,
         .type = REG_SZ,
         .data = "5.1",
         .supported = 1},
        {.what = "empty",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("", 1),
         .supported = 0},
        {.what = "no digits",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string("x5.1", 5),
         .supported = 0},
        {.what = "longer than any version",
         .keyPresent = true,
         .type = REG_SZ,
         .data = std::string(100, '5') + std::string(1, '\0'),
         .supported = 0},
        {.what = "a DWORD",
         .keyPresent = true,
         .type = REG_DWORD,
         .data = std::string("\x05\0\0\0", 4),
         .supported = 0},
    };
    for (const auto &c : cases)
    {
        SCOPED_TRACE(c.what);
        DeleteKey(versionKey);
        if (c.keyPresent)
            CreateKey(versionKey);
        if (c.type != 0)
            SetRawValue(versionKey, "CurrentVersion", c.type,
                        std::vector<BYTE>(c.data.begin(), c.data.end()));
        BOOL supported = 0xA5;
        EXPECT_EQ(ERROR_SUCCESS, ReadTargetPlatform(Root(), &supported));
        EXPECT_EQ(c.supported, supported);
    }

    SetRawValue(versionKey, "CurrentVersion", REG_SZ, {'5', '.', '1', 0});
    DenyReading(versionKey);
    BOOL supported = 0xA5;
    EXPECT_EQ(ERROR_ACCESS_DENIED, ReadTargetPlatform(Root(), &supported));
    EXPECT_EQ(0, supported);
    AllowFullAccess(versionKey);
}

TEST_F(ParameterStoreTest, WriteStoresAFourByteDwordThatReadsBack)
{
    const DWORD values[] = {1, 0, 7, 0xFFFFFFFF};
    for (DWORD written : values)
    {
        SCOPED_TRACE(written);
        lstrcpyA(AppState.messageText, "poison");
        EXPECT_EQ(1, WriteDwordValue(Root(), Key(), MEDIA_SENSE_NAME, written));

        const BYTE *bytes = reinterpret_cast<const BYTE *>(&written);
        RawValue expected = {REG_DWORD, std::vector<BYTE>(bytes, bytes + 4)};
        EXPECT_EQ(expected, GetRawValue(key_, MEDIA_SENSE_NAME));
        DWORD read = POISON;
        EXPECT_EQ(ERROR_SUCCESS, ReadDwordValue(Root(), Key(), MEDIA_SENSE_NAME, &read));
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

    ASSERT_EQ(1, WriteDwordValue(Root(), Key(), MEDIA_SENSE_NAME, 1));

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

        EXPECT_EQ(0, WriteDwordValue(Root(), Key(), MEDIA_SENSE_NAME, 1));

        EXPECT_STREQ(SystemErrorText(c.error).c_str(), AppState.messageText);
        EXPECT_NE(std::string("poison"), AppState.messageText);
        EXPECT_EQ(c.keyExists, KeyExists(key_));
        if (c.keyExists)
        {
            DWORD value = POISON;
            EXPECT_EQ(ERROR_SUCCESS, ReadDwordValue(Root(), Key(), MEDIA_SENSE_NAME, &value))
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
        EXPECT_EQ(1, WriteDwordValue(HKEY_LOCAL_MACHINE, TCPIP_KEY_PATH, c.name, c.written));
        DWORD read = POISON;
        EXPECT_EQ(ERROR_SUCCESS, ReadDwordValue(HKEY_LOCAL_MACHINE, TCPIP_KEY_PATH, c.name, &read));
        EXPECT_EQ(c.written, read);
    }

    ValueMap after = GetAllValues(TCPIP_KEY_PATH);
    after.erase(MEDIA_SENSE_NAME);
    after.erase(APIPA_NAME);
    EXPECT_EQ(before, after);
}

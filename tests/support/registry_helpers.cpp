#include <windows.h>

#include <sddl.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "support/registry_helpers.h"

namespace
{

struct OpenKey
{
    HKEY handle = NULL;
    OpenKey(const std::string &subkey, REGSAM access)
    {
        LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, access, &handle);
        if (result != ERROR_SUCCESS)
        {
            ADD_FAILURE() << "cannot open " << subkey << ": error " << result;
            handle = NULL;
        }
    }
    ~OpenKey()
    {
        if (handle != NULL)
            RegCloseKey(handle);
    }
};

} // namespace

std::string PrivateKeyPath()
{
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char &c : name)
        if (c == '/' || c == '\\')
            c = '_';
    return "SOFTWARE\\KelvraTests\\" + name;
}

bool KeyExists(const std::string &subkey)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void CreateKey(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    HKEY key;
    LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, NULL, 0, KEY_ALL_ACCESS,
                                  NULL, &key, NULL);
    ASSERT_EQ(ERROR_SUCCESS, result) << "creating " << subkey;
    RegCloseKey(key);
}

void DeleteKey(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    LONG result = RegDeleteTreeA(HKEY_LOCAL_MACHINE, subkey.c_str());
    ASSERT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        << "deleting " << subkey << ": error " << result;
}

void SetRawValue(const std::string &subkey, const char *name, DWORD type,
                 const std::vector<BYTE> &data, Caller where)
{
    CALLER_TRACE(where);
    OpenKey key(subkey, KEY_SET_VALUE);
    ASSERT_NE(HKEY(NULL), key.handle);
    LONG result = RegSetValueExA(key.handle, name, 0, type, data.empty() ? NULL : data.data(),
                                 (DWORD)data.size());
    ASSERT_EQ(ERROR_SUCCESS, result) << "setting " << subkey << "\\" << name;
}

void SetDword(const std::string &subkey, const char *name, DWORD value, Caller where)
{
    CALLER_TRACE(where);
    const BYTE *bytes = reinterpret_cast<const BYTE *>(&value);
    SetRawValue(subkey, name, REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(value)));
}

void DeleteValue(const std::string &subkey, const char *name, Caller where)
{
    CALLER_TRACE(where);
    OpenKey key(subkey, KEY_SET_VALUE);
    ASSERT_NE(HKEY(NULL), key.handle);
    LONG result = RegDeleteValueA(key.handle, name);
    ASSERT_TRUE(result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        << "deleting " << subkey << "\\" << name << ": error " << result;
}

std::optional<RawValue> GetRawValue(const std::string &subkey, const char *name, Caller where)
{
    CALLER_TRACE(where);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RawValue value{};
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, name, NULL, &value.type, NULL, &size);
    if (result == ERROR_SUCCESS)
    {
        value.data.resize(size);
        result = RegQueryValueExA(key, name, NULL, &value.type,
                                  value.data.empty() ? NULL : value.data.data(), &size);
    }
    RegCloseKey(key);
    if (result == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    EXPECT_EQ(ERROR_SUCCESS, result) << "reading " << subkey << "\\" << name;
    return value;
}

DWORD StoredDword(const std::string &subkey, const char *name, Caller where)
{
    CALLER_TRACE(where);
    std::optional<RawValue> value = GetRawValue(subkey, name);
    if (!value)
        return ABSENT;
    EXPECT_EQ(DWORD(REG_DWORD), value->type) << name;
    EXPECT_EQ(4u, value->data.size()) << name;
    DWORD number = 0;
    CopyMemory(&number, value->data.data(), std::min<size_t>(4, value->data.size()));
    return number;
}

ValueMap GetAllValues(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    ValueMap values;
    OpenKey key(subkey, KEY_READ);
    if (key.handle == NULL)
        return values;
    for (DWORD index = 0;; index++)
    {
        char name[16384];
        DWORD nameLength = sizeof(name);
        RawValue value{};
        DWORD size = 0;
        LONG result =
            RegEnumValueA(key.handle, index, name, &nameLength, NULL, &value.type, NULL, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(ERROR_SUCCESS, result) << "enumerating " << subkey;
        if (result != ERROR_SUCCESS)
            break;
        value.data.resize(size);
        nameLength = sizeof(name);
        result = RegEnumValueA(key.handle, index, name, &nameLength, NULL, &value.type,
                               value.data.empty() ? NULL : value.data.data(), &size);
        EXPECT_EQ(ERROR_SUCCESS, result) << "enumerating " << subkey;
        values[name] = value;
    }
    return values;
}

static void SetKeyDacl(const std::string &subkey, const char *sddl)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                     &descriptor, NULL));
    OpenKey key(subkey, WRITE_DAC);
    LONG result = key.handle == NULL
                      ? ERROR_INVALID_HANDLE
                      : RegSetKeySecurity(key.handle, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    ASSERT_EQ(ERROR_SUCCESS, result) << "setting the DACL of " << subkey << " to " << sddl;
}

void DenyFullAccess(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    /* D: protected DACL; deny Everyone (WD) set-value and create-subkey, then allow
     * Everyone read, delete and WRITE_DAC, the last so that the test can undo it. */
    SetKeyDacl(subkey, "D:P(D;;0x6;;;WD)(A;;0x20019;;;WD)(A;;0x50000;;;WD)");
}

void DenyReading(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    /* Deny Everyone query-value (0x1), then allow read, delete and WRITE_DAC. */
    SetKeyDacl(subkey, "D:P(D;;0x1;;;WD)(A;;0x20019;;;WD)(A;;0x50000;;;WD)");
}

void AllowFullAccess(const std::string &subkey, Caller where)
{
    CALLER_TRACE(where);
    SetKeyDacl(subkey, "D:P(A;;KA;;;WD)");
}

SavedKey::SavedKey(const std::string &subkey, Caller where)
    : subkey_(subkey), backup_("SOFTWARE\\KelvraTests\\Saved\\" + subkey), existed_(false),
      where_(where)
{
    CALLER_TRACE(where);
    DeleteKey(backup_);
    existed_ = KeyExists(subkey_);
    if (!existed_)
        return;
    CreateKey(backup_);
    OpenKey from(subkey_, KEY_READ);
    OpenKey to(backup_, KEY_ALL_ACCESS);
    if (from.handle != NULL && to.handle != NULL)
    {
        EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(from.handle, NULL, to.handle))
            << "saving " << subkey_;
    }
}

SavedKey::~SavedKey()
{
    CALLER_TRACE(where_);
    DeleteKey(subkey_);
    if (!existed_)
        return;
    CreateKey(subkey_);
    {
        OpenKey from(backup_, KEY_READ);
        OpenKey to(subkey_, KEY_ALL_ACCESS);
        if (from.handle != NULL && to.handle != NULL)
        {
            EXPECT_EQ(ERROR_SUCCESS, RegCopyTreeA(from.handle, NULL, to.handle))
                << "restoring " << subkey_;
        }
    }
    DeleteKey(backup_);
}

std::string SystemErrorText(DWORD error)
{
    char text[1024] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                   sizeof(text), NULL);
    return text;
}

std::string SystemErrorLine(DWORD error)
{
    std::string text = SystemErrorText(error);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

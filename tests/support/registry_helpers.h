/*
 * Registry helpers for the tests: private keys under HKLM, raw values of any type and size,
 * keys that refuse full access, and values saved and restored around a test.
 */
#ifndef KELVRA_TESTS_REGISTRY_HELPERS_H
#define KELVRA_TESTS_REGISTRY_HELPERS_H

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/caller.h"

/* The key and the two values as an administrator's "reg query" names them. Never taken from
 * Kelvra's own header: a misspelt name there must not agree with the tests. */
#define TCPIP_KEY_PATH "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"
#define MEDIA_SENSE_NAME "DisableDHCPMediaSense"
#define APIPA_NAME "IPAutoconfigurationEnabled"

struct RawValue
{
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RawValue &other) const
    {
        return type == other.type && data == other.data;
    }
};

using ValueMap = std::map<std::string, RawValue>;

/* A key of the running test's own under HKLM\SOFTWARE\KelvraTests, named after the test. */
std::string PrivateKeyPath();

bool KeyExists(const std::string &subkey);
void CreateKey(const std::string &subkey, Caller where = Caller::current());
void DeleteKey(const std::string &subkey, Caller where = Caller::current());

void SetRawValue(const std::string &subkey, const char *name, DWORD type,
                 const std::vector<BYTE> &data, Caller where = Caller::current());
void SetDword(const std::string &subkey, const char *name, DWORD value,
              Caller where = Caller::current());
void DeleteValue(const std::string &subkey, const char *name, Caller where = Caller::current());
/* The value as stored, or nothing when it is absent. */
std::optional<RawValue> GetRawValue(const std::string &subkey, const char *name,
                                    Caller where = Caller::current());
/* A stored value that is absent, as StoredDword reports it. */
const DWORD ABSENT = 0xA85E;

/* A REG_DWORD value of 4 bytes (the test fails on any other type or size), or ABSENT. */
DWORD StoredDword(const std::string &subkey, const char *name, Caller where = Caller::current());

/* Every value of the key, by name. */
ValueMap GetAllValues(const std::string &subkey, Caller where = Caller::current());

/* Gives the key a DACL that lets everyone read it and change its security, but denies
 * setting values and creating subkeys, so that opening it with KEY_ALL_ACCESS fails with
 * ERROR_ACCESS_DENIED: what an account without administrative rights meets. */
void DenyFullAccess(const std::string &subkey, Caller where = Caller::current());
/* Gives the key a DACL that denies everyone reading its values, so that opening it to read
 * fails with ERROR_ACCESS_DENIED; changing its security stays allowed, to undo it. */
void DenyReading(const std::string &subkey, Caller where = Caller::current());
/* Undoes DenyFullAccess and DenyReading: everyone may do anything with the key. */
void AllowFullAccess(const std::string &subkey, Caller where = Caller::current());

/* Snapshots a whole key (values and subkeys, with their security) and puts it back as it
 * was when destroyed, whatever the test did to it in between. */
class SavedKey
{
  public:
    explicit SavedKey(const std::string &subkey, Caller where = Caller::current());
    ~SavedKey();
    SavedKey(const SavedKey &) = delete;
    SavedKey &operator=(const SavedKey &) = delete;

  private:
    std::string subkey_;
    std::string backup_;
    bool existed_;
    Caller where_;
};

/* The system's text for an error code: the oracle for AppState.messageText. */
std::string SystemErrorText(DWORD error);

/* The same text as Kelvra's report line gives it: without the line break that ends it. */
std::string SystemErrorLine(DWORD error);

#endif

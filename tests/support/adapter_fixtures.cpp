#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/adapter_fixtures.h"

const AdapterFixture PLANT_OFF = {.guid = "{11111111-0000-0000-0000-000000000001}",
                                  .enableDhcp = 1,
                                  .ownType = REG_DWORD,
                                  .own = 0,
                                  .connectionName = "Local Area Connection 2"};
const AdapterFixture OFFICE_ON = {.guid = "{22222222-0000-0000-0000-000000000002}",
                                  .enableDhcp = 1,
                                  .ownType = REG_DWORD,
                                  .own = 1,
                                  .connectionName = "Office"};

void StoreAdapter(const std::string &base, const AdapterFixture &adapter, Caller where)
{
    CALLER_TRACE(where);
    std::string tcpip = base + INTERFACES_KEY_PATH "\\" + adapter.guid;

    CreateKey(tcpip);
    if (adapter.enableDhcp != ABSENT)
        SetDword(tcpip, "EnableDHCP", adapter.enableDhcp);
    if (adapter.ownType == REG_SZ)
    {
        std::string text = std::to_string(adapter.own);
        SetRawValue(tcpip, APIPA_NAME, REG_SZ,
                    std::vector<BYTE>(text.c_str(), text.c_str() + text.size() + 1));
    }
    else if (adapter.ownType != REG_NONE)
        SetDword(tcpip, APIPA_NAME, adapter.own);
    if (adapter.connectionName != nullptr)
    {
        std::string connection = base + NETWORK_CLASS_KEY_PATH "\\" + adapter.guid + "\\Connection";
        const char *name = adapter.connectionName;

        CreateKey(connection);
        SetRawValue(connection, "Name", REG_SZ,
                    std::vector<BYTE>(name, name + std::string(name).size() + 1));
    }
    if (adapter.denied)
        DenyReading(tcpip);
}

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/adapter_fixtures.h"

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

#include <windows.h>

#include "app/app_state.h"
#include "store/adapter_settings.h"
#include "store/parameter_store.h"

/* Replaces name, an adapter's key name, with the name of its connection, when it has one that
 * fits; else name is left as it was. */
static void ReadConnectionName(HKEY root, char *name)
{
    HKEY network;
    HKEY adapterKey;
    HKEY connection;
    /* One byte more than a name with its zero: the data need not end in a zero. */
    char text[ADAPTER_NAME_SIZE + 1];
    DWORD size = ADAPTER_NAME_SIZE;
    DWORD type;
    DWORD length;
    DWORD i;
    LONG result;

    if (RegOpenKeyExA(root, NETWORK_CONNECTIONS_KEY, 0, KEY_READ, &network) != ERROR_SUCCESS)
        return;
    /* Opened a step at a time, so that no path has to be put together from a name of any
     * length. */
    result = RegOpenKeyExA(network, name, 0, KEY_READ, &adapterKey);
    RegCloseKey(network);
    if (result != ERROR_SUCCESS)
        return;
    result = RegOpenKeyExA(adapterKey, "Connection", 0, KEY_READ, &connection);
    RegCloseKey(adapterKey);
    if (result != ERROR_SUCCESS)
        return;
    result = RegQueryValueExA(connection, "Name", NULL, &type, (BYTE *)text, &size);
    RegCloseKey(connection);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return;
    text[size] = '\0';
    length = (DWORD)lstrlenA(text);
    /* An empty name is no name, and one longer than a connection's can be is not taken. */
    if (length == 0 || length >= ADAPTER_NAME_SIZE)
        return;
    for (i = 0; i <= length; i++)
        name[i] = text[i];
}

void ReadAdapterSettings(HKEY root, AdapterSettings *found)
{
    HKEY interfaces;
    DWORD index;

    found->count = 0;
    if (RegOpenKeyExA(root, TCPIP_INTERFACES_KEY, 0, KEY_READ, &interfaces) != ERROR_SUCCESS)
        return;
    for (index = 0; found->count < MAX_ADAPTER_SETTINGS; index++)
    {
        AdapterSetting *adapter = &found->adapters[found->count];
        DWORD size = ADAPTER_NAME_SIZE;
        DWORD enableDhcp = 0;
        DWORD own;
        LONG result =
            RegEnumKeyExA(interfaces, index, adapter->name, &size, NULL, NULL, NULL, NULL);

        if (result == ERROR_NO_MORE_ITEMS)
            break;
        /* A subkey whose name does not fit is no adapter's; any other error (the network,
         * on another machine) would come again for every index. */
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        /* APIPA acts only where the adapter asks DHCP for its address. */
        if (ReadDwordValue(interfaces, adapter->name, "EnableDHCP", &enableDhcp) != ERROR_SUCCESS ||
            enableDhcp != 1)
            continue;
        /* Read as the value in Parameters is read: absent or of another type, it is no
         * setting of the adapter's own. */
        if (ReadDwordValue(interfaces, adapter->name, APIPA_VALUE, &own) != ERROR_SUCCESS)
            continue;
        adapter->apipaOn = own == 1;
        ReadConnectionName(root, adapter->name);
        found->count++;
    }
    RegCloseKey(interfaces);
}

DWORD CountAdaptersApart(const AdapterSettings *found, LONG apipaOn)
{
    DWORD apart = 0;
    DWORD i;

    if (apipaOn == STATE_UNKNOWN)
        return 0;
    for (i = 0; i < found->count; i++)
    {
        if (found->adapters[i].apipaOn != apipaOn)
            apart++;
    }
    return apart;
}

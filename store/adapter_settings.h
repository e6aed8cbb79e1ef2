/*
 * Network adapters with an APIPA setting of their own: IPAutoconfigurationEnabled under
 * Tcpip\Parameters\Interfaces\<adapter>, which wins over the value in Parameters for that
 * adapter. Kelvra never writes these; it only finds them, so that what it says about APIPA is
 * true on every adapter.
 */
#ifndef KELVRA_ADAPTER_SETTINGS_H
#define KELVRA_ADAPTER_SETTINGS_H

#include <windows.h>

#define TCPIP_INTERFACES_KEY "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces"
/* The network connections' class key: <adapter>\Connection, value Name, is the name that the
 * Network Connections folder shows ("Local Area Connection 2"). */
#define NETWORK_CONNECTIONS_KEY                                                                    \
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}"

/* More than any machine Kelvra is for has; adapters past it are not looked at. */
#define MAX_ADAPTER_SETTINGS 32
/* A connection's name is at most 256 characters; a subkey's, 255. */
#define ADAPTER_NAME_SIZE 257

struct AdapterSetting
{
    char name[ADAPTER_NAME_SIZE];
    LONG apipaOn; /* the adapter's own state: 1 when its value is 1, else 0 */
};

/* The adapters whose own setting can act: those that take their address from DHCP
 * (EnableDHCP 1) and hold a REG_DWORD IPAutoconfigurationEnabled of their own. */
struct AdapterSettings
{
    DWORD count;
    AdapterSetting adapters[MAX_ADAPTER_SETTINGS];
};

/* Finds them under the registry root root, in the order the registry lists them. Nothing here
 * fails the run: an adapter whose keys cannot be read is left out, and a machine without the
 * Interfaces key has none. */
void ReadAdapterSettings(HKEY root, AdapterSettings *found);

/* How many of them have the other state than apipaOn, the state of the value in Parameters;
 * none when that state is not known (STATE_UNKNOWN). */
DWORD CountAdaptersApart(const AdapterSettings *found, LONG apipaOn);

#endif

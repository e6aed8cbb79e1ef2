/*
 * Network adapters as the tests lay them out in a registry: an adapter's TCP/IP key under
 * Tcpip\Parameters\Interfaces and its connection's name under the network class key, each
 * part present or not, so that every case of an adapter with an APIPA setting of its own can
 * be built.
 */
#ifndef KELVRA_TESTS_ADAPTER_FIXTURES_H
#define KELVRA_TESTS_ADAPTER_FIXTURES_H

#include <windows.h>

#include <string>

#include "support/caller.h"
#include "support/registry_helpers.h"

/* As an administrator's "reg query" names them; never taken from Kelvra's own header. */
#define INTERFACES_KEY_PATH TCPIP_KEY_PATH "\\Interfaces"
#define NETWORK_CLASS_KEY_PATH                                                                     \
    "SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}"

struct AdapterFixture
{
    const char *guid; /* its subkey under both keys */
    DWORD enableDhcp = ABSENT;
    /* Its own IPAutoconfigurationEnabled: REG_NONE for none, REG_SZ stores own as text. */
    DWORD ownType = REG_NONE;
    DWORD own = 0;
    const char *connectionName = nullptr; /* nullptr: no Connection key */
    bool denied = false;                  /* its TCP/IP key refuses reading */
};

/* The two cards of a machine that follows KB 244268: the plant's, its DHCP adapter with APIPA
 * off of its own and a connection's name, and the office's, with APIPA on of its own. */
extern const AdapterFixture PLANT_OFF;
extern const AdapterFixture OFFICE_ON;

/* Lays the adapter out below base: "" for HKLM itself, or a private key's path and "\\",
 * which a test then hands to Kelvra as a machine's root. */
void StoreAdapter(const std::string &base, const AdapterFixture &adapter,
                  Caller where = Caller::current());

#endif

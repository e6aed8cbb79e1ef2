/*
 * The TCP/IP parameter store: one DWORD value at a time under a subkey of
 * HKEY_LOCAL_MACHINE, and whether the running system gives those values any meaning.
 */
#ifndef KELVRA_PARAMETER_STORE_H
#define KELVRA_PARAMETER_STORE_H

#include <windows.h>

#define TCPIP_PARAMETERS_KEY "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"
#define MEDIA_SENSE_VALUE "DisableDHCPMediaSense"
#define APIPA_VALUE "IPAutoconfigurationEnabled"

/* 1 when a REG_DWORD was read into value or the value is absent (value untouched);
 * 0 when the key cannot be opened, the query fails or the type is not REG_DWORD. */
BOOL ReadDwordValue(const char *subkey, const char *valueName, DWORD *value);

/* 1 on success; 0 on failure, with the system's text for the error in AppState.messageText.
 * The key is only opened, never created. */
BOOL WriteDwordValue(const char *subkey, const char *valueName, DWORD value);

/* 1 on the Windows NT family from version 5 (Windows 2000) on, 0 otherwise. */
BOOL IsPlatformSupported(void);

#endif

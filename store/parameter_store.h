/*
 * The TCP/IP parameter store: one DWORD value at a time under a subkey of a registry root,
 * HKEY_LOCAL_MACHINE of this machine or of the machine that /COMPUTER= names, and whether the
 * system those values live on gives them any meaning. The root is always the caller's: nothing
 * here reaches for the local registry by itself.
 */
#ifndef KELVRA_PARAMETER_STORE_H
#define KELVRA_PARAMETER_STORE_H

#include <windows.h>

#define TCPIP_PARAMETERS_KEY "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters"
#define MEDIA_SENSE_VALUE "DisableDHCPMediaSense"
#define APIPA_VALUE "IPAutoconfigurationEnabled"

/* Reads a REG_DWORD into value. Returns ERROR_SUCCESS when it was read; ERROR_FILE_NOT_FOUND
 * when the key or the value is absent, and ERROR_INVALID_DATA when the value is not a REG_DWORD
 * of at most 4 bytes, both leaving value untouched, so that the caller's default stands; any
 * other code when the value could not be read at all (access denied, the network). */
LONG ReadDwordValue(HKEY root, const char *subkey, const char *valueName, DWORD *value);

/* 1 on success; 0 on failure, recorded as the run's (RecordFailure), with the system's text for
 * the error in AppState.messageText.
 * The key is only opened, never created. */
BOOL WriteDwordValue(HKEY root, const char *subkey, const char *valueName, DWORD value);

/* 1 on the Windows NT family from version 5 (Windows 2000) on, 0 otherwise: the running
 * system. */
BOOL IsPlatformSupported(void);

/* Whether the system whose registry root is root supports the settings, from the version it
 * records (SOFTWARE\Microsoft\Windows NT\CurrentVersion, CurrentVersion "5.0", "5.1", ...):
 * *supported is 1 from major version 5 on, 0 for an older version or none recorded (Windows 9x
 * keeps no such key). Returns ERROR_SUCCESS, or the code of the error that kept it from reading
 * the version. */
LONG ReadTargetPlatform(HKEY root, BOOL *supported);

#endif

/*
 * The settings dialog: shows both settings, takes change requests from the command line and
 * the check boxes, saves them and carries out /SAVE and /QUIT.
 */
#ifndef KELVRA_SETTINGS_DIALOG_H
#define KELVRA_SETTINGS_DIALOG_H

#include <windows.h>

/* The procedure of dialog template 101. */
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif

/*
 * The settings dialog: shows both settings, takes change requests from the command line and
 * the check boxes, saves them and carries out /SAVE and /QUIT.
 */
#ifndef KELVRA_SETTINGS_DIALOG_H
#define KELVRA_SETTINGS_DIALOG_H

#include <windows.h>

/* The procedure of dialog template 101. */
INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

/* Reads both settings and shows them, marks what the command line asked for, shows page 0. */
void InitSettingsPanel(HWND dialog);
/* Gives the dialog Kelvra's icon, when it loads. */
void SetDialogIcon(HWND dialog);
/* Puts the dialog's class icon back and destroys the icon that SetDialogIcon loaded. */
void ReleaseDialogIcon(HWND dialog);
/* A click on check box 1004 or 1006 marks or unmarks its setting. */
void OnChangeBoxClicked(HWND dialog, int controlId);
/* Writes the flipped value of each marked setting and reports how it went. */
void SaveChanges(HWND dialog);

#endif

/*
 * Helpers for tests that create the real dialog template in-process and drive it with
 * messages, as the dialog manager and a user would.
 */
#ifndef KELVRA_TESTS_DIALOG_HELPERS_H
#define KELVRA_TESTS_DIALOG_HELPERS_H

#include <windows.h>

#include <string>

/* Delivers every message that is waiting, through the dialog manager as a modal loop would. */
void PumpMessages(HWND dialog);

std::string ControlText(HWND dialog, int controlId);
std::string WindowText(HWND window);

/* String-table entry id of the running program, loaded whole; empty when there is none. */
std::string StringEntry(UINT id);

/* Template 101 of the running program, created modelessly with the given procedure, shown
 * and in the foreground; destroyed with the object. */
class TemplateDialog
{
  public:
    explicit TemplateDialog(DLGPROC procedure);
    ~TemplateDialog();
    TemplateDialog(const TemplateDialog &) = delete;
    TemplateDialog &operator=(const TemplateDialog &) = delete;
    HWND Handle() const
    {
        return handle_;
    }

  private:
    HWND handle_;
};

#endif

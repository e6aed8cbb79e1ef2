/*
 * Helpers for tests that create the real dialog template in-process and drive it with
 * messages, as the dialog manager and a user would.
 */
#ifndef KELVRA_TESTS_DIALOG_HELPERS_H
#define KELVRA_TESTS_DIALOG_HELPERS_H

#include <windows.h>

#include <string>
#include <vector>

#include "support/caller.h"

/* Delivers every message that is waiting, through the dialog manager as a modal loop would. */
void PumpMessages(HWND dialog);

std::string ControlText(HWND dialog, int controlId);
std::string WindowText(HWND window);

/* String-table entry id of the running program, loaded whole; empty when there is none. */
std::string StringEntry(UINT id);

/* What a test saw of a message box that came up while a MessageBoxWatcher was watching. */
struct SeenBox
{
    HWND owner;
    std::string title;
    std::string text;
    bool stopIcon;
    bool okOnly;
    /* The owner's two status lines while the box was up. */
    std::string mediaSenseStatus;
    std::string apipaStatus;
};

/* While it lives, a timer records every message box that this thread shows and presses its
 * OK, from inside the box's own modal loop. */
class MessageBoxWatcher
{
  public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher &) = delete;
    MessageBoxWatcher &operator=(const MessageBoxWatcher &) = delete;
    /* Every box that any watcher has seen since the test last emptied this list. */
    static std::vector<SeenBox> &Seen();

  private:
    UINT_PTR timer_;
};

/* A dialog procedure that does nothing, so that only what a test does acts on the dialog. */
INT_PTR CALLBACK PlainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

/* Template 101 of the running program, created modelessly with the given procedure, shown
 * and in the foreground; destroyed with the object. */
class TemplateDialog
{
  public:
    explicit TemplateDialog(DLGPROC procedure, Caller where = Caller::current());
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

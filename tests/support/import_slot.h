/*
 * The import slots through which the product's code, linked into a test program, calls system
 * functions: a test puts its own function there to see a call's arguments, or to make the
 * system answer what it rarely answers.
 */
#ifndef KELVRA_TESTS_IMPORT_SLOT_H
#define KELVRA_TESTS_IMPORT_SLOT_H

#include <windows.h>

/* Puts replacement into an import slot for as long as it lives. */
template <typename Function>
class ImportSlot
{
  public:
    ImportSlot(Function &slot, Function replacement) : slot_(slot), original_(slot)
    {
        Set(replacement);
    }
    ~ImportSlot()
    {
        Set(original_);
    }
    ImportSlot(const ImportSlot &) = delete;
    ImportSlot &operator=(const ImportSlot &) = delete;

  private:
    void Set(Function function)
    {
        DWORD old;
        VirtualProtect(&slot_, sizeof(slot_), PAGE_READWRITE, &old);
        slot_ = function;
        VirtualProtect(&slot_, sizeof(slot_), old, &old);
    }
    Function &slot_;
    Function original_;
};

#endif

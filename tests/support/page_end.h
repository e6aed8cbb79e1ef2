/* Texts placed right before memory that may not be read, for tests of code that must stop at
 * a text's end. */
#ifndef KELVRA_TESTS_PAGE_END_H
#define KELVRA_TESTS_PAGE_END_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

/* Two pages, the second one unreadable: a text placed so that its terminating zero is the
 * last readable byte crashes any reader that looks one byte further. */
class PageEnd
{
  public:
    PageEnd()
    {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        pageSize_ = info.dwPageSize;
        base_ = static_cast<char *>(
            VirtualAlloc(NULL, 2 * pageSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ == NULL || !VirtualProtect(base_ + pageSize_, pageSize_, PAGE_NOACCESS, &old))
            ADD_FAILURE() << "cannot set up the guard page: error " << GetLastError();
    }
    ~PageEnd()
    {
        VirtualFree(base_, 0, MEM_RELEASE);
    }
    char *Place(const std::string &text)
    {
        char *start = base_ + pageSize_ - (text.size() + 1);
        std::memcpy(start, text.c_str(), text.size() + 1);
        return start;
    }

  private:
    char *base_ = NULL;
    DWORD pageSize_ = 0;
};

#endif

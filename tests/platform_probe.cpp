/* Exits with the platform check's verdict, so that a test can ask it of any emulated
 * Windows version. */
#include <windows.h>

#include "store/parameter_store.h"

int main()
{
    return IsPlatformSupported();
}

/* A test that crashes: its program must fail under CTest, every time. Wine's own crash
 * debugger left exit code 0 behind now and then, and the crash passed (tools/wine-prefix.sh). */
#include <gtest/gtest.h>

TEST(Crash, WritesThroughANullPointer)
{
    *static_cast<volatile int *>(nullptr) = 1;
}

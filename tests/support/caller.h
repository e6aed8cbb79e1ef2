/*
 * Where a helper was called from. A helper takes "Caller where = Caller::current()" as its
 * last parameter and opens with CALLER_TRACE(where): a failure inside it then also names the
 * test line that called it, not only the helper's own line.
 */
#ifndef KELVRA_TESTS_CALLER_H
#define KELVRA_TESTS_CALLER_H

#include <gtest/gtest.h>

#include <source_location>

using Caller = std::source_location;

#define CALLER_TRACE(where)                                                                        \
    const testing::ScopedTrace callerTrace((where).file_name(), int((where).line()),               \
                                           "called from here")

#endif

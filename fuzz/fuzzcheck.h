#pragma once

#include <cstdlib>

// A property the input broke: abort, so the fuzzer keeps the input.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

#pragma once

// A broken property ends the run like a crash does, so libFuzzer keeps the
// input that broke it as an artifact and the run fails.

#include <cstdio>
#include <cstdlib>

inline void require(bool holds, const char* property)
{
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}

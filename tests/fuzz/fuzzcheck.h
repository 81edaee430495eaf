#pragma once
#include <cstdio>
#include <cstdlib>

// A property that must hold for every input. When it does not, the message names it and the abort
// makes libFuzzer keep the input as a crash file.
#define FUZZ_REQUIRE(condition)                                                                    \
    ((condition) ? void() : FuzzRequirementFailed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void FuzzRequirementFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: requirement failed: %s\n", file, line, condition);
    std::abort();
}

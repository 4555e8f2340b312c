#pragma once

#include <cstdio>
#include <cstdlib>

namespace loomway::fuzz {

// A broken invariant: says which, then aborts so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}

} // namespace loomway::fuzz

#define CHECK(condition) ((condition) ? (void)0 : ::loomway::fuzz::Fail(#condition, __LINE__))

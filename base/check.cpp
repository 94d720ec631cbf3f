#include "base/check.h"

#include <cstdio>
#include <cstdlib>

void checkFailed(const char* condition, const char* source) {
    std::fprintf(stderr, "Assertion failed: %s, file %s\n", condition, source);
    std::fflush(stderr);
    std::abort();
}

void reportOnce(const char* condition, const char* source) {
    static bool reported = false;
    if (reported) return;
    reported = true;
    std::fprintf(stderr, "Assertion failed: %s, file %s\n", condition, source);
    std::fflush(stderr);
}

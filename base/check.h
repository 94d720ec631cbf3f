#pragma once

// Invariant checks that stay active in every build type, the per-pixel path
// included. A failed check names the condition and the module it guards, then
// aborts the process.
#define SW_CHECK(condition, source) ((condition) ? static_cast<void>(0) : checkFailed(#condition, source))

[[noreturn]] void checkFailed(const char* condition, const char* source);

// Reports a failed condition like checkFailed but lets the caller carry on.
// Only the first report of the process is written, so one corrupt input cannot
// flood standard error frame after frame.
void reportOnce(const char* condition, const char* source);

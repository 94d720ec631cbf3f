#pragma once

// The few operating-system services the program needs, behind plain calls.

// Sets the SSE unit's flush-to-zero bit (denormal results become zero) and
// leaves every other MXCSR bit as it is.
void enableFlushToZero();

// Suspends the thread for the given number of milliseconds.
void pauseMilliseconds(unsigned milliseconds);

// Starts playing a WAV file and returns at once. The sound plays on its own;
// a file that is missing or unreadable stays silent.
void playSoundAsync(const char* path);

// Ends the process at once with the given status.
[[noreturn]] void exitProcess(int status);

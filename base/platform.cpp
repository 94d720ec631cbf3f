#include "base/platform.h"

#include <cstdlib>

#include <SDL.h>
#include <xmmintrin.h>

void enableFlushToZero() { _mm_setcsr(_mm_getcsr() | 0x8000u); }

void pauseMilliseconds(unsigned milliseconds) { SDL_Delay(milliseconds); }

void playSoundAsync(const char* path) {
    // Fire and forget: SDL copies the samples into the device's queue and
    // plays them on its own audio thread. The device stays open for the rest
    // of the process, since nothing waits for the sound to finish.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec format;
    Uint8* samples = nullptr;
    Uint32 length = 0;
    if (SDL_LoadWAV(path, &format, &samples, &length) == nullptr) return;
    format.callback = nullptr;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
    if (device == 0) {
        SDL_FreeWAV(samples);
        return;
    }
    SDL_QueueAudio(device, samples, length);
    SDL_FreeWAV(samples);
    SDL_PauseAudioDevice(device, 0);
}

void exitProcess(int status) { std::exit(status); }

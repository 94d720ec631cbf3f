// Minimal RIFF/WAVE writer for 16-bit PCM audio.
#pragma once

#include <cstdint>
#include <vector>

namespace demo_assets {

// Interleaved samples in [-1, 1] (clamped) encoded as a 16-bit PCM WAV file.
std::vector<uint8_t> encodeWav16(const std::vector<float>& interleaved, int channels, int sampleRate);

}  // namespace demo_assets

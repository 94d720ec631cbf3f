#include "wav_writer.h"

#include <algorithm>
#include <cmath>

namespace demo_assets {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t((v >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

std::vector<uint8_t> encodeWav16(const std::vector<float>& interleaved, int channels, int sampleRate) {
    const uint32_t dataBytes = uint32_t(interleaved.size() * 2);
    const uint32_t blockAlign = uint32_t(channels * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    putTag(out, "RIFF");
    put32(out, 36 + dataBytes);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);  // PCM format chunk size
    put16(out, 1);   // PCM
    put16(out, uint32_t(channels));
    put32(out, uint32_t(sampleRate));
    put32(out, uint32_t(sampleRate) * blockAlign);
    put16(out, blockAlign);
    put16(out, 16);
    putTag(out, "data");
    put32(out, dataBytes);
    for (float s : interleaved) {
        long v = std::lround(std::clamp(double(s), -1.0, 1.0) * 32767.0);
        put16(out, uint32_t(int16_t(v)) & 0xFFFF);
    }
    return out;
}

}  // namespace demo_assets

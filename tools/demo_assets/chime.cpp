#include "chime.h"

#include <algorithm>
#include <cmath>

#include "vec.h"

namespace demo_assets {

namespace {

struct Note {
    double start;      // seconds
    double frequency;  // Hz
    double pan;        // 0 = left, 1 = right
    double gain;
};

// A bell-like tone: fundamental plus weak octave and twelfth; upper partials
// decay faster so the note mellows as it rings.
double tone(double t, double f) {
    const double attack = 0.006;
    double env = t < attack ? t / attack : 1.0;
    double s = std::sin(2 * kPi * f * t) * std::exp(-t / 0.38);
    s += 0.28 * std::sin(2 * kPi * 2 * f * t) * std::exp(-t / 0.18);
    s += 0.08 * std::sin(2 * kPi * 3 * f * t) * std::exp(-t / 0.10);
    return env * s;
}

}  // namespace

ChimeSound makeStartupChime() {
    ChimeSound snd;
    const double duration = 1.2, fadeOut = 0.15;
    const Note notes[2] = {{0.0, 783.99, 0.40, 0.45}, {0.17, 1046.50, 0.60, 0.40}};
    const int frames = int(duration * snd.sampleRate);
    snd.samples.assign(size_t(frames) * 2, 0.0f);
    for (int i = 0; i < frames; ++i) {
        double t = double(i) / snd.sampleRate;
        double fade = std::min(1.0, (duration - t) / fadeOut);
        double left = 0, right = 0;
        for (const Note& n : notes) {
            if (t < n.start) continue;
            double v = n.gain * tone(t - n.start, n.frequency) * fade;
            left += v * std::cos(n.pan * kPi / 2);
            right += v * std::sin(n.pan * kPi / 2);
        }
        snd.samples[size_t(i) * 2] = float(left);
        snd.samples[size_t(i) * 2 + 1] = float(right);
    }
    return snd;
}

}  // namespace demo_assets

// The start-up sound: a soft two-note chime.
#pragma once

#include <vector>

namespace demo_assets {

struct ChimeSound {
    int sampleRate = 44100;
    int channels = 2;
    std::vector<float> samples;  // interleaved, in [-1, 1]
};

// About 1.2 s: a G5 then a C6, each a few sine partials with a quick attack
// and an exponential decay, panned slightly apart; faded to silence at the end.
ChimeSound makeStartupChime();

}  // namespace demo_assets

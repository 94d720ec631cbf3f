// Textures of the props: wood, stone, ceramics, soil, water.
#include <algorithm>
#include <cmath>
#include <vector>

#include "noise.h"
#include "texture_makers.h"
#include "texture_paint.h"

namespace demo_assets {

Image paintDoorWood(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        int plank = x * 6 / s;
        double grain = std::sin((x * 6.0 / s - plank) * kPi * 3 + tileFbm(x * 4.0 / s, y * 16.0 / s, 4, 3, 121) * 6);
        Rgba base = mix(rgb(96, 52, 28), rgb(130, 74, 38), 0.5 + 0.5 * grain);
        if ((x * 6) % s < s / 64 + 1) base = rgb(50, 28, 16);
        c = base;
    });
    // Raised panels 2 x 3 with light frames.
    const int m = s / 10;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 2; ++i) {
            int x0 = m + i * (s - 2 * m) / 2 + m / 3, x1 = m + (i + 1) * (s - 2 * m) / 2 - m / 3;
            int y0 = m + j * (s - 2 * m) / 3 + m / 3, y1 = m + (j + 1) * (s - 2 * m) / 3 - m / 3;
            img.fillRect(x0, y0, x1, y1, rgb(170, 104, 52));
            img.fillRect(x0 + m / 3, y0 + m / 3, x1 - m / 3, y1 - m / 3, rgb(120, 66, 34));
        }
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 3; ++i)
            img.fillEllipse(m / 2.0 + i * (s - m) / 2.0, m / 2.0 + j * (s - m) / 3.0, s / 60.0 + 1, s / 60.0 + 1, 0,
                            rgb(30, 30, 34));
    img.fillEllipse(s * 0.78, s * 0.52, s / 22.0, s / 22.0, 0, rgb(230, 190, 70));
    img.fillEllipse(s * 0.78, s * 0.52, s / 40.0, s / 40.0, 0, rgb(96, 52, 28));
    return img;
}

Image paintWood(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        int plank = y * 4 / s;
        double grain = std::sin((y * 4.0 / s - plank) * kPi * 4 + tileFbm(x * 2.0 / s, y * 8.0 / s, 2, 3, 131) * 5);
        Rgba base = mix(rgb(150, 92, 44), rgb(196, 136, 72), 0.5 + 0.5 * grain);
        if ((y * 4) % s < s / 32 + 1) base = rgb(80, 46, 24);
        c = base;
    });
    return img;
}

Image paintGranite(int s) {
    Image img(s, s);
    Rng rng(141);
    img.forEach([&](int x, int y, Rgba& c) { c = scale(rgb(132, 130, 136), mottle(x, y, s, 16, 143, 0.12)); });
    const int dots = s * s / 24;
    for (int k = 0; k < dots; ++k) {
        int x = rng.below(s), y = rng.below(s);
        int t = rng.below(3);
        Rgba c = t == 0 ? rgb(40, 40, 44) : (t == 1 ? rgb(220, 220, 220) : rgb(190, 130, 130));
        img.setWrapped(x, y, c);
        img.setWrapped(x + 1, y, c);
    }
    return img;
}

// Painted vase: horizontal bands; v runs up the vase (image bottom = foot).
Image paintCeramic(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double v = 1.0 - (y + 0.5) / s, u = (x + 0.5) / s;
        Rgba base = rgb(206, 104, 50);
        if (v > 0.12 && v < 0.2)
            base = rgb(30, 24, 20);
        else if (v > 0.42 && v < 0.62) {
            // Black band with an orange zigzag.
            double zig = std::fabs(std::fmod(u * 8, 1.0) - 0.5) * 2;  // 0..1
            double yy = (v - 0.42) / 0.2;
            base = std::fabs(yy - (0.2 + 0.6 * zig)) < 0.16 ? rgb(236, 150, 70) : rgb(24, 20, 18);
        } else if (v > 0.7 && v < 0.8)
            base = rgb(40, 90, 170);
        c = scale(base, mottle(x, y, s, 8, 151, 0.05));
    });
    for (int k = 0; k < 8; ++k)
        img.fillEllipse((k + 0.5) * s / 8.0, s * (1 - 0.31), s / 36.0, s / 36.0, 0, rgb(245, 235, 210));
    return img;
}

Image paintTerracotta(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        Rgba base = rgb(196, 96, 52);
        if ((y * 6) % s < s / 24 + 1) base = rgb(150, 66, 36);
        c = scale(base, mottle(x, y, s, 8, 161, 0.10));
    });
    return img;
}

Image paintSoil(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double n = tileFbm(x * 16.0 / s, y * 16.0 / s, 16, 3, 171);
        c = mix(rgb(50, 34, 22), rgb(110, 84, 54), n);
    });
    Rng rng(173);
    for (int k = 0; k < 40; ++k)
        img.fillEllipse(rng.range(0, s), rng.range(0, s), s / 40.0 + 1, s / 56.0 + 1, rng.range(0, kPi),
                        rgb(150, 140, 120));
    return img;
}

Image paintWater(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double n = tileFbm(x * 4.0 / s, y * 4.0 / s, 4, 3, 221);
        double rip = 0.5 + 0.5 * std::sin(n * 24);
        c = mix(rgb(20, 90, 140), rgb(120, 200, 220), rip * rip);
    });
    return img;
}

}  // namespace demo_assets

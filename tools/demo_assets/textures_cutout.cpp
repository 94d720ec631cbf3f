// Cut-out textures for foliage, hangings and screens.
//
// Cut-out textures are reduced to 64 x 64 by the renderer, so every hole is
// broad (several reduced texels wide) and the RGB hidden under alpha 0 is a
// darker edge colour: texels blended at hole borders then read as outline.
#include <cmath>
#include <vector>

#include "noise.h"
#include "texture_makers.h"
#include "texture_paint.h"

namespace demo_assets {

Image paintLeaves(int s) {
    Image img(s, s, Rgba{30, 70, 24, 0});
    const Rgba greens[3] = {rgb(46, 130, 40), rgb(80, 160, 50), rgb(30, 100, 40)};
    // Broad leaves fanning up from the bottom centre, with clear gaps.
    const double angles[5] = {-1.05, -0.5, 0.0, 0.5, 1.05};
    for (int k = 0; k < 5; ++k) {
        double a = angles[k], len = s * (k == 2 ? 0.44 : 0.38);
        double bx = s * 0.5, by = s * 0.98;
        double cx = bx + std::sin(a) * len * 0.95, cy = by - std::cos(a) * len * 0.95;
        img.drawLine(bx, by, cx, cy, s / 40.0 + 1, rgb(60, 90, 30));
        img.fillEllipse(cx, cy - 0, len * 0.52, s * 0.095, a - kPi / 2, greens[k % 3]);
        img.drawLine(cx - std::sin(a) * len * 0.4, cy + std::cos(a) * len * 0.4, cx + std::sin(a) * len * 0.4,
                     cy - std::cos(a) * len * 0.4, s / 64.0 + 1, rgb(170, 210, 90));
    }
    return img;
}

Image paintFern(int s) {
    Image img(s, s, Rgba{60, 80, 20, 0});
    // Broad palm fronds: a few wide strokes plus rounded tips.
    const double angles[4] = {-0.85, -0.28, 0.28, 0.85};
    for (int k = 0; k < 4; ++k) {
        double a = angles[k];
        double bx = s * 0.5, by = s * 0.97, len = s * 0.8;
        double ex = bx + std::sin(a) * len, ey = by - std::cos(a) * len * 0.95;
        img.drawLine(bx, by, ex, ey, s * 0.14, k % 2 ? rgb(120, 170, 40) : rgb(90, 150, 50));
        img.drawLine(bx, by, ex, ey, s * 0.025, rgb(210, 220, 120));
    }
    img.fillEllipse(s * 0.5, s * 0.96, s * 0.06, s * 0.05, 0, rgb(110, 80, 40));
    return img;
}

// Crimson hanging with a gold lozenge pattern, three quatrefoil windows and a
// dagged lower edge. Image bottom = hem.
Image paintCurtainRed(int s) {
    Image img(s, s);
    const Rgba red = rgb(168, 22, 32), gold = rgb(236, 184, 52);
    img.forEach([&](int x, int y, Rgba& c) {
        double u = (x + 0.5) / s, v = (y + 0.5) / s;
        double d = std::fabs(std::fmod(u * 4 + v * 4, 1.0) - 0.5) + std::fabs(std::fmod(u * 4 - v * 4 + 8, 1.0) - 0.5);
        Rgba base = std::fabs(d - 0.5) < 0.06 ? gold : red;
        if (v < 0.08) base = rgb(100, 10, 20);
        c = scale(base, mottle(x, y, s, 16, 181, 0.05));
    });
    const Rgba hole{120, 80, 20, 0};
    for (int k = 0; k < 3; ++k) {
        double cx = (k + 0.5) * s / 3.0, cy = s * 0.45, r = s * 0.055;
        for (int q = 0; q < 4; ++q)
            img.fillEllipse(cx + r * 0.9 * std::cos(q * kPi / 2), cy + r * 0.9 * std::sin(q * kPi / 2), r * 1.05,
                            r * 1.05, 0, hole);
        img.fillEllipse(cx, cy, r * 1.3, r * 1.3, 0, hole);
    }
    // Dags: gaps between rounded tongues along the hem.
    const int dags = 4;
    for (int k = 0; k < dags; ++k) {
        double cx = (k + 1.0) * s / dags;
        std::vector<Vec2> gap = {{cx - s * 0.09, double(s)},
                                 {cx - s * 0.07, s * 0.80},
                                 {cx + s * 0.07, s * 0.80},
                                 {cx + s * 0.09, double(s)}};
        img.fillPolygon(gap, hole);
        img.fillEllipse(cx, s * 0.8, s * 0.07, s * 0.05, 0, hole);
        if (k == dags - 1) {  // the wrapped gap at the left border
            for (auto& p : gap) p.x -= s;
            img.fillPolygon(gap, hole);
            img.fillEllipse(cx - s, s * 0.8, s * 0.07, s * 0.05, 0, hole);
        }
    }
    return img;
}

// Blue banner with white stripes, a gold star, two diamond windows and a
// swallow-tail hem.
Image paintCurtainBlue(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double u = (x + 0.5) / s;
        Rgba base = std::fmod(u * 3, 1.0) < 0.18 ? rgb(236, 236, 246) : rgb(28, 44, 128);
        c = scale(base, mottle(x, y, s, 16, 191, 0.05));
    });
    img.fillRect(0, 0, s, s / 12, rgb(236, 184, 52));
    drawStar(img, s * 0.5, s * 0.32, s * 0.16, rgb(246, 196, 50));
    const Rgba hole{20, 30, 90, 0};
    for (double cx : {0.22, 0.78}) {
        std::vector<Vec2> d = {
            {cx * s, s * 0.48}, {cx * s + s * 0.1, s * 0.6}, {cx * s, s * 0.72}, {cx * s - s * 0.1, s * 0.6}};
        img.fillPolygon(d, hole);
    }
    std::vector<Vec2> tail = {{s * 0.2, double(s) + 1}, {s * 0.5, s * 0.76}, {s * 0.8, double(s) + 1}};
    img.fillPolygon(tail, hole);
    return img;
}

// Diagonal lattice of broad painted bars around large diamond holes.
Image paintLattice(int s) {
    Image img(s, s);
    const double bar = 0.16;  // bar half-width as a fraction of a cell
    img.forEach([&](int x, int y, Rgba& c) {
        double u = (x + 0.5) / s * 2, v = (y + 0.5) / s * 2;
        double d1 = std::fabs(std::fmod(u + v, 1.0) - 0.5), d2 = std::fabs(std::fmod(u - v + 4, 1.0) - 0.5);
        bool onBar = d1 > 0.5 - bar || d2 > 0.5 - bar;
        double shade = 0.85 + 0.15 * tileNoise(x * 8.0 / s, y * 8.0 / s, 8, 201);
        c = onBar ? scale(rgb(40, 110, 80), shade) : Rgba{20, 60, 44, 0};
    });
    return img;
}

}  // namespace demo_assets

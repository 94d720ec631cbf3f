// Textures of the buildings: floors, stone, marble, plaster, paintings, vaults.
#include <algorithm>
#include <cmath>
#include <vector>

#include "noise.h"
#include "texture_makers.h"
#include "texture_paint.h"

namespace demo_assets {

Image paintFloorTiles(int s) {
    const Rgba cream = rgb(236, 222, 190), terracotta = rgb(186, 72, 44), grout = rgb(60, 52, 48);
    const Rgba inlay = rgb(24, 128, 120), band = rgb(120, 40, 30), bandLight = rgb(200, 175, 130);
    Image img(s, s);
    const int half = s / 2, g = std::max(2, s / 64);
    img.forEach([&](int x, int y, Rgba& c) {
        int tx = x / half, ty = y / half;
        bool light = (tx + ty) % 2 == 0;
        int lx = x % half, ly = y % half;
        int edge = std::min(std::min(lx, half - 1 - lx), std::min(ly, half - 1 - ly));
        Rgba base = light ? cream : terracotta;
        if (edge < g)
            base = grout;
        else if (edge >= half / 8 && edge < half / 8 + 2 * g)
            base = light ? band : bandLight;
        c = edge < g ? base : scale(base, mottle(x, y, s, 8, 11, 0.07));
    });
    // Diamond inlays where four tiles meet (wrapped corners and centre).
    for (int cy = 0; cy <= s; cy += half)
        for (int cx = 0; cx <= s; cx += half) {
            double r = s / 10.0;
            std::vector<Vec2> d = {
                {double(cx), cy - r}, {cx + r, double(cy)}, {double(cx), cy + r}, {cx - r, double(cy)}};
            img.fillPolygon(d, inlay);
            img.fillEllipse(cx, cy, r * 0.35, r * 0.35, 0, rgb(240, 200, 60));
        }
    return img;
}

Image paintGalleryStone(int s) {
    Image img(s, s);
    const int rowH = s / 2, slabW = s / 2, g = std::max(2, s / 80);
    img.forEach([&](int x, int y, Rgba& c) {
        int row = y / rowH;
        int xs = (x + (row % 2) * slabW / 2) % s;
        int col = xs / slabW;
        int lx = xs % slabW, ly = y % rowH;
        double tint = latticeValue(col, row, 5) * 0.25;
        Rgba base = mix(rgb(196, 184, 160), rgb(150, 160, 170), tint * 2);
        if (lx < g || ly < g)
            c = rgb(90, 84, 76);
        else
            c = scale(base, mottle(x, y, s, 16, 21, 0.10));
    });
    return img;
}

Image paintMarbleWhite(int s) { return marble(s, rgb(240, 236, 228), rgb(90, 100, 130), 31, 1, 2); }
Image paintMarbleRose(int s) { return marble(s, rgb(226, 150, 140), rgb(120, 30, 40), 41, 2, 1); }

Image paintGilded(int s) {
    Image img(s, s, rgb(214, 164, 48));
    const int row = s / 2;
    for (int r = 0; r < 2; ++r) {
        int y0 = r * row;
        img.fillRect(0, y0, s, y0 + row / 8, rgb(120, 70, 20));
        img.fillRect(0, y0 + row - row / 8, s, y0 + row, rgb(250, 220, 110));
        for (int k = 0; k < 4; ++k) {
            double cx = (k + 0.5) * s / 4.0, cy = y0 + row / 2.0;
            img.fillEllipse(cx, cy, s / 10.0, row / 3.2, 0, rgb(110, 40, 20));
            img.fillEllipse(cx, cy, s / 15.0, row / 4.5, 0, rgb(236, 196, 80));
            img.drawLine(cx + s / 8.0, cy - row / 4.0, cx + s / 8.0, cy + row / 4.0, s / 40.0, rgb(110, 40, 20));
        }
    }
    img.forEach([&](int x, int y, Rgba& c) { c = scale(c, mottle(x, y, s, 8, 51, 0.08)); });
    return img;
}

// Alternating red and cream voussoirs along u, full height in v.
Image paintVoussoir(int s) {
    Image img(s, s);
    const int stones = 4, w = s / stones, g = std::max(2, s / 64);
    img.forEach([&](int x, int y, Rgba& c) {
        int k = x / w, lx = x % w;
        Rgba base = (k % 2 == 0) ? rgb(176, 44, 36) : rgb(238, 222, 190);
        if (lx < g)
            base = rgb(70, 40, 30);
        else if (y < s / 10 || y >= s - s / 10)
            base = scale(base, 0.75);
        c = lx < g ? base : scale(base, mottle(x, y, s, 8, 61, 0.08));
    });
    return img;
}

// Ochre plaster with a painted medallion on the tile corners (they sit above
// the columns between two arches).
Image paintPlaster(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) { c = scale(rgb(222, 168, 96), mottle(x, y, s, 8, 71, 0.10)); });
    const double r = s * 0.22;
    for (int cy : {s / 2})
        for (int cx : {0, s}) {
            img.fillEllipse(cx, cy, r, r, 0, rgb(150, 30, 30));
            img.fillEllipse(cx, cy, r * 0.78, r * 0.78, 0, rgb(240, 220, 170));
            img.fillEllipse(cx, cy, r * 0.55, r * 0.55, 0, rgb(30, 70, 150));
            img.fillEllipse(cx, cy, r * 0.22, r * 0.22, 0, rgb(240, 200, 60));
        }
    img.fillRect(0, s - s / 12, s, s, rgb(150, 30, 30));
    return img;
}

Image paintBricks(int s) {
    Image img(s, s);
    const int bw = s / 4, bh = s / 8, g = std::max(2, s / 64);
    img.forEach([&](int x, int y, Rgba& c) {
        int row = y / bh;
        int xs = (x + (row % 2) * bw / 2) % s;
        int col = xs / bw;
        if (xs % bw < g || y % bh < g) {
            c = rgb(200, 190, 170);
            return;
        }
        double t = latticeValue(col, row, 81);
        Rgba base = mix(rgb(170, 64, 40), rgb(204, 110, 60), t);
        c = scale(base, mottle(x, y, s, 16, 83, 0.10));
    });
    return img;
}

// One bay of painted wall: dado at the bottom, landscape, starry lunette on
// top. Image rows run top to bottom; v = 0 is the bottom row.
Image paintFresco(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double v = 1.0 - (y + 0.5) / s;  // up the wall
        double u = (x + 0.5) / s;
        Rgba col;
        if (v < 0.22) {
            bool panel = std::fmod(u * 3, 1.0) > 0.12 && std::fmod(u * 3, 1.0) < 0.88 && v > 0.04 && v < 0.18;
            col = panel ? mix(rgb(30, 90, 80), rgb(60, 140, 120), tileFbm(x * 8.0 / s, y * 8.0 / s, 8, 3, 91))
                        : rgb(140, 30, 30);
        } else if (v < 0.26) {
            col = rgb(230, 190, 80);
        } else if (v < 0.78) {
            double hill = 0.38 + 0.06 * std::sin(u * 2 * kPi * 2) + 0.04 * std::sin(u * 2 * kPi * 5 + 1);
            if (v < hill)
                col = mix(rgb(60, 130, 50), rgb(110, 160, 60), (v - 0.26) / 0.2);
            else
                col = mix(rgb(150, 200, 240), rgb(60, 110, 200), (v - hill) / (0.78 - hill));
        } else if (v < 0.82) {
            col = rgb(230, 190, 80);
        } else {
            col = rgb(30, 40, 120);
        }
        c = scale(col, mottle(x, y, s, 16, 93, 0.05));
    });
    // Cypresses and a sun in the landscape.
    for (double u : {0.2, 0.8}) {
        img.fillEllipse(u * s, s * (1 - 0.5), s * 0.045, s * 0.15, 0, rgb(20, 70, 30));
        img.fillRect(int(u * s) - s / 100, int(s * (1 - 0.37)), int(u * s) + s / 100 + 1, int(s * (1 - 0.30)),
                     rgb(90, 60, 30));
    }
    img.fillEllipse(s * 0.5, s * (1 - 0.68), s * 0.06, s * 0.06, 0, rgb(250, 210, 60));
    for (int k = 0; k < 5; ++k)
        img.fillEllipse(s * (0.1 + 0.2 * k), s * (1 - 0.91), s * 0.018, s * 0.018, 0, rgb(250, 210, 60));
    return img;
}

// Vault cells: deep blue with gold stars, red ribs along the edges.
Image paintVaultStars(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) { c = scale(rgb(34, 56, 150), mottle(x, y, s, 8, 101, 0.08)); });
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            double cx = (i + 0.5) * s / 3.0 + ((j % 2) ? s / 12.0 : -s / 12.0);
            drawStar(img, cx, (j + 0.5) * s / 3.0, s / 13.0, rgb(246, 200, 60));
        }
    const int b = s / 14;
    img.fillRect(0, 0, s, b, rgb(170, 50, 36));
    img.fillRect(0, s - b, s, s, rgb(170, 50, 36));
    img.fillRect(0, 0, b, s, rgb(170, 50, 36));
    img.fillRect(s - b, 0, s, s, rgb(170, 50, 36));
    return img;
}

Image paintCornice(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double v = 1.0 - (y + 0.5) / s;
        Rgba base = rgb(228, 216, 190);
        if (v > 0.45 && v < 0.62 && (x * 8 / s) % 2 == 0)
            base = rgb(110, 90, 70);  // dentils
        else if (v < 0.12 || (v > 0.8 && v < 0.88))
            base = rgb(160, 60, 40);
        c = scale(base, mottle(x, y, s, 8, 111, 0.06));
    });
    return img;
}

// Radial mosaic for the bottom of the sunken court: u, v span the disc.
Image paintMosaic(int s) {
    Image img(s, s);
    const Rgba ring[6] = {rgb(240, 196, 60), rgb(30, 80, 170),  rgb(236, 228, 210),
                          rgb(176, 40, 36),  rgb(30, 140, 130), rgb(236, 228, 210)};
    img.forEach([&](int x, int y, Rgba& c) {
        double dx = (x + 0.5) / s - 0.5, dy = (y + 0.5) / s - 0.5;
        double r = std::sqrt(dx * dx + dy * dy) * 2, a = std::atan2(dy, dx);
        int k = std::min(5, int(r * 6));
        Rgba base = ring[k];
        if (k == 3 && std::fmod(a / (2 * kPi) * 24 + 24, 1.0) < 0.5) base = rgb(236, 150, 60);
        // Tesserae grout.
        int t = std::max(4, s / 64);
        if (x % t == 0 || y % t == 0) base = scale(base, 0.7);
        c = base;
    });
    drawStar(img, s * 0.5, s * 0.5, s * 0.16, rgb(176, 40, 36));
    return img;
}

Image paintSteps(int s) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double v = 1.0 - (y + 0.5) / s;
        double strata = tileFbm(x * 2.0 / s, y * 12.0 / s, 2, 3, 211);
        Rgba base = mix(rgb(214, 196, 160), rgb(236, 224, 196), strata);
        if (v > 0.86) base = rgb(150, 118, 84);  // darker nosing along the top edge
        c = scale(base, mottle(x, y, s, 16, 213, 0.05));
    });
    return img;
}

// Glazed wall tiles for the basin's risers: blue lozenges on white, yellow
// centres, 2 x 2 tiles.
Image paintRiserTiles(int s) {
    Image img(s, s);
    const int t = s / 2, g = std::max(2, s / 96);
    img.forEach([&](int x, int y, Rgba& c) {
        int lx = x % t, ly = y % t;
        double u = (lx + 0.5) / t - 0.5, v = (ly + 0.5) / t - 0.5;
        double d = std::fabs(u) + std::fabs(v);
        Rgba base = rgb(240, 238, 228);
        if (d < 0.42) base = rgb(30, 70, 170);
        if (d < 0.2) base = rgb(240, 200, 50);
        if (std::fabs(u) > 0.44 && std::fabs(v) > 0.44) base = rgb(30, 130, 120);
        if (lx < g || ly < g) base = rgb(150, 140, 120);
        c = scale(base, mottle(x, y, s, 8, 231, 0.04));
    });
    return img;
}

}  // namespace demo_assets

#include "texture_paint.h"

#include <cmath>
#include <vector>

#include "noise.h"

namespace demo_assets {

double mottle(int x, int y, int size, int cells, uint32_t seed, double amount) {
    double n = tileFbm(double(x) * cells / size, double(y) * cells / size, cells, 3, seed);
    return 1.0 + (n - 0.5) * 2.0 * amount;
}

Image marble(int s, Rgba base, Rgba vein, uint32_t seed, int freqX, int freqY) {
    Image img(s, s);
    img.forEach([&](int x, int y, Rgba& c) {
        double turb = tileFbm(double(x) * 4 / s, double(y) * 4 / s, 4, 4, seed);
        double phase = double(freqX) * x / s + double(freqY) * y / s + turb * 2.5;
        double v = std::pow(std::fabs(std::sin(phase * kPi)), 0.35);
        c = scale(mix(vein, base, v), mottle(x, y, s, 8, seed + 7, 0.06));
    });
    return img;
}

void drawStar(Image& img, double cx, double cy, double r, Rgba c) {
    std::vector<Vec2> pts;
    for (int k = 0; k < 10; ++k) {
        double a = -kPi / 2 + k * kPi / 5, rr = (k % 2 == 0) ? r : r * 0.45;
        pts.push_back({cx + rr * std::cos(a), cy + rr * std::sin(a)});
    }
    img.fillPolygon(pts, c);
}

}  // namespace demo_assets

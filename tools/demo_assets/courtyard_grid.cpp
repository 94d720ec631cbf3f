#include "courtyard_grid.h"

#include <cmath>

#include "courtyard.h"

namespace demo_assets {

bool parseCopies(const std::string& text, int& copies) {
    if (text.empty() || text.size() > 2) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = 10 * value + (c - '0');
    }
    if (value < 1 || value > kMaxCopies) return false;
    copies = value;
    return true;
}

void buildCourtyardGrid(ObjBuilder& b, int copies) {
    buildCourtyard(b);
    b.endShape();
    // One grid step is the original's footprint rounded up to whole units, so
    // neighbours stand just beyond its outer walls without touching them.
    const Vec3 lo = b.boundsMin(), hi = b.boundsMax();
    const double stepX = std::ceil(hi.x - lo.x), stepZ = std::ceil(hi.z - lo.z);
    const int first = -(copies - 1) / 2;
    for (int z = first; z < first + copies; ++z) {
        for (int x = first; x < first + copies; ++x) {
            if (x == 0 && z == 0) continue;
            b.placeShapes({x * stepX, 0, z * stepZ}, "_x" + std::to_string(x) + "_z" + std::to_string(z));
            buildCourtyard(b);
            b.endShape();
        }
    }
}

}  // namespace demo_assets

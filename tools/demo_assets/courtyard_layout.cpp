#include "courtyard_layout.h"

namespace demo_assets {

const SideFrame* courtSides() {
    using namespace layout;
    // `along` is chosen so that along x up = inward: court-facing quads are
    // then counter-clockwise in (s, y).
    static const SideFrame sides[kSideCount] = {
        {"north", {1, 0, 0}, {0, 0, -1}, kCourtHalfZ, kCourtHalfX, int(2 * kCourtHalfX / kBay + 0.5)},
        {"east", {0, 0, 1}, {1, 0, 0}, kCourtHalfX, kCourtHalfZ, int(2 * kCourtHalfZ / kBay + 0.5)},
        {"south", {-1, 0, 0}, {0, 0, 1}, kCourtHalfZ, kCourtHalfX, int(2 * kCourtHalfX / kBay + 0.5)},
        {"west", {0, 0, -1}, {-1, 0, 0}, kCourtHalfX, kCourtHalfZ, int(2 * kCourtHalfZ / kBay + 0.5)},
    };
    return sides;
}

}  // namespace demo_assets

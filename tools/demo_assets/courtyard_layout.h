// Dimensions of the courtyard model and the frame used to build each of its
// four sides with the same code.
//
// Model space: floor at y = 0, +y up, the court centred on the vertical axis.
// The viewer circles that axis 7 units out at eye height 2, so the open court
// (36 x 24) keeps a clear ring around the axis; a stepped sunken basin sits at
// the centre and leaves room for the floating cube that sinks into it.
#pragma once

#include "vec.h"

namespace demo_assets {
namespace layout {

// Court, measured to the column axes of the ground arcade.
constexpr double kCourtHalfX = 18.0;
constexpr double kCourtHalfZ = 12.0;
constexpr double kGalleryDepth = 4.0;  // column axis to gallery back wall

// Ground storey.
constexpr double kBay = 3.0;         // column spacing
constexpr double kSpring = 3.0;      // arches spring from the capitals here
constexpr double kArchRadius = 1.2;  // intrados
constexpr double kWallTop = 4.7;     // top of the arcade wall, under the string course
constexpr double kStringTop = 5.0;   // top of the string course = upper floor level
constexpr double kWallThickness = 0.6;
constexpr double kVaultRise = 1.55;  // groin vaults over the gallery bays

// Upper storey: an open loggia with twice as many, slimmer columns on a
// balustrade, topped by a cornice with urns. The terrace behind it is open to
// the sky.
constexpr double kUpperBay = 1.5;
constexpr double kRailTop = 5.75;
constexpr double kUpperSpring = 7.2;
constexpr double kUpperArchRadius = 0.57;
constexpr double kUpperWallTop = 8.05;
constexpr double kCorniceTop = 8.45;
constexpr double kUpperWallThickness = 0.4;
constexpr double kParapetTop = 5.9;  // low wall at the back of the terrace

// Sunken basin at the centre: rings of steps down to a mosaic floor.
constexpr double kBasinRadius = 4.0;
constexpr double kBasinCoping = 0.35;
constexpr int kBasinSteps = 7;
constexpr double kStepRise = 0.5;
constexpr double kStepTread = 0.25;

// The square around the basin that the floor grid leaves to the ring mesh.
constexpr double kBasinSquareHalf = 6.0;

}  // namespace layout

// One side of the court. Local coordinates: s along the side, d away from the
// court measured from the column axis line, y up. Faces in a plane d = const
// whose corners go (s0,y0) (s1,y0) (s1,y1) (s0,y1) face the court.
struct SideFrame {
    const char* name;
    Vec3 along;    // direction of increasing s
    Vec3 outward;  // away from the court centre
    double line;   // distance of the column axis line from the centre
    double half;   // half length along s, to the corner piers
    int bays;      // ground bays along the side

    Vec3 at(double s, double d, double y) const { return along * s + outward * (line + d) + Vec3{0, y, 0}; }
    Vec3 inward() const { return -outward; }
};

// North (-z), east (+x), south (+z), west (-x), in that order.
const SideFrame* courtSides();
constexpr int kSideCount = 4;

}  // namespace demo_assets

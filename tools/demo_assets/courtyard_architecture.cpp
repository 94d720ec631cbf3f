#include <cmath>
#include <string>
#include <vector>

#include "architecture_parts.h"
#include "courtyard.h"
#include "courtyard_layout.h"
#include "geometry.h"

namespace demo_assets {

using namespace layout;

namespace {

using Keyword = ObjBuilder::Keyword;

constexpr int kRingSegments = 96;  // around the basin; divisible by 8 (square corners)

Vec3 onCircle(double r, double angle, double y) { return {r * std::cos(angle), y, -r * std::sin(angle)}; }
double ringAngle(int i) { return 2 * kPi * i / kRingSegments; }

// Point i of kRingSegments spread evenly along the perimeter of the square
// around the basin, starting on +x and running the same way as the angles.
Vec3 onSquare(int i) {
    const double h = kBasinSquareHalf, step = 8 * h / kRingSegments;
    double t = std::fmod(i * step + h, 8 * h);  // distance from the (h, +h) corner
    if (t < 2 * h) return {h, 0, h - t};
    t -= 2 * h;
    if (t < 2 * h) return {h - t, 0, -h};
    t -= 2 * h;
    if (t < 2 * h) return {-h, 0, -h + t};
    t -= 2 * h;
    return {-h + t, 0, h};
}

Vec2 floorUv(Vec3 p) { return {(p.x + kCourtHalfX) / 1.8, (p.z + kCourtHalfZ) / 1.8}; }

void buildCourtFloor(ObjBuilder& b) {
    b.beginShape("court_floor", Keyword::Object, false);
    b.useMaterial("court_floor");
    // Tiled floor in 0.5 cells, leaving the square around the basin open.
    const double cell = 0.5;
    const int nx = int(2 * kCourtHalfX / cell), nz = int(2 * kCourtHalfZ / cell);
    for (int j = 0; j < nz; ++j) {
        for (int i = 0; i < nx; ++i) {
            double x0 = -kCourtHalfX + i * cell, z0 = -kCourtHalfZ + j * cell;
            if (x0 >= -kBasinSquareHalf - 1e-9 && x0 + cell <= kBasinSquareHalf + 1e-9 &&
                z0 >= -kBasinSquareHalf - 1e-9 && z0 + cell <= kBasinSquareHalf + 1e-9)
                continue;
            Vec3 p0{x0, 0, z0 + cell}, p1{x0 + cell, 0, z0 + cell}, p2{x0 + cell, 0, z0}, p3{x0, 0, z0};
            emitQuad(b, p0, p1, p2, p3, floorUv(p0), floorUv(p1), floorUv(p2), floorUv(p3));
        }
    }
    // Ring from the square's edge in to the basin coping; its square edge
    // shares the grid's vertices so there are no cracks.
    const double inner = kBasinRadius + kBasinCoping;
    auto ringPos = [&](int i, int j) {
        Vec3 sq = onSquare(i % kRingSegments), c = onCircle(inner, ringAngle(i), 0);
        return lerp(c, sq, j / 3.0);
    };
    emitGridFacing(
        b, kRingSegments, 3, ringPos, [&](int i, int j) { return floorUv(ringPos(i, j)); }, Vec3{0, 1, 0});
    // Coping band around the basin edge, in the steps' stone.
    b.useMaterial("steps");
    emitGridFacing(
        b, kRingSegments, 1, [&](int i, int j) { return onCircle(j ? inner : kBasinRadius, ringAngle(i), 0); },
        [&](int i, int j) {
            return Vec2{i / 4.0, 0.6 + 0.3 * j};
        },
        Vec3{0, 1, 0});
    b.endShape();
}

void buildSunkenBasin(ObjBuilder& b) {
    b.beginShape("sunken_basin", Keyword::Object, false);
    // Rings of steps: tiled risers facing the axis, stone treads facing up.
    double r = kBasinRadius, y = 0;
    for (int k = 0; k < kBasinSteps; ++k) {
        b.useMaterial("riser_tiles");
        // Square tiles, two rows per riser.
        emitLathe(b, {0, 0, 0}, {{r, y}, {r, y - kStepRise}}, kRingSegments, std::round(2 * kPi * r / kStepRise),
                  1.0 / kStepRise);
        y -= kStepRise;
        if (k + 1 < kBasinSteps) {
            b.useMaterial("steps");
            emitLathe(b, {0, 0, 0}, {{r, y}, {r - kStepTread, y}}, kRingSegments, 24.0, 1.0 / kStepTread);
            r -= kStepTread;
        }
    }
    // Mosaic floor: concentric rings down to a point, mapped flat.
    b.useMaterial("mosaic");
    const double bottomR = r, bottomY = y;
    auto pos = [&](int i, int j) { return onCircle(bottomR * (1.0 - j / 6.0), ringAngle(i), bottomY); };
    emitGridFacing(
        b, kRingSegments, 6, pos,
        [&](int i, int j) {
            Vec3 p = pos(i, j);
            return Vec2{0.5 + p.x / (2 * bottomR), 0.5 - p.z / (2 * bottomR)};
        },
        Vec3{0, 1, 0});
    b.endShape();
}

void buildGroundStorey(ObjBuilder& b, const SideFrame& f) {
    const std::string side = f.name;
    const ColumnStyle col = groundColumnStyle();

    b.beginShape(side + "_ground_colonnade", Keyword::Object, true);
    b.setWantNormals(true);
    for (int k = 1; k < f.bays; ++k) emitColumn(b, f.at(-f.half + k * kBay, 0, 0), col);
    b.endShape();

    b.beginShape(side + "_ground_arcade", Keyword::Object, false);
    for (int k = 0; k < f.bays; ++k) {
        ArchBay a{};
        a.centre = -f.half + (k + 0.5) * kBay;
        a.halfWidth = kBay / 2;
        a.radius = kArchRadius;
        a.bandWidth = kBay / 2 - kArchRadius;
        a.spring = kSpring;
        a.top = kWallTop;
        a.thickness = kWallThickness;
        a.segments = 24;
        a.stones = 11;
        emitArchBay(b, f, a);
    }
    b.useMaterial("cornice");
    const double face = -kWallThickness / 2;
    emitMoulding(b, f.at(-f.half - 0.5, face, 0), f.at(f.half + 0.5, face, 0), f.inward(),
                 {{0, kWallTop},
                  {0.05, kWallTop + 0.02},
                  {0.05, kWallTop + 0.08},
                  {0.14, kWallTop + 0.16},
                  {0.16, kWallTop + 0.22},
                  {0.16, kStringTop}},
                 f.bays, 0.5, 2.5);
    b.endShape();

    b.beginShape(side + "_gallery_vaults", Keyword::Object, true);
    b.useMaterial("vault_stars");
    for (int k = 0; k < f.bays; ++k)
        emitVaultCell(b, f.at(-f.half + k * kBay, 0, 0), f.along, kBay, f.outward, kGalleryDepth, kSpring, kVaultRise,
                      12, 12);
    // The corner cell at this side's +s end.
    emitVaultCell(b, f.at(f.half, 0, 0), f.along, kGalleryDepth, f.outward, kGalleryDepth, kSpring, kVaultRise, 12, 12);
    b.endShape();

    b.beginShape(side + "_gallery_walls", Keyword::Object, false);
    for (int k = 0; k < f.bays; ++k)
        emitBackWallBay(b, f, -f.half + k * kBay, -f.half + (k + 1) * kBay, kGalleryDepth, k % 2 == 1);
    emitBackWallBay(b, f, -f.half - kGalleryDepth, -f.half, kGalleryDepth, false);
    emitBackWallBay(b, f, f.half, f.half + kGalleryDepth, kGalleryDepth, false);
    b.useMaterial("gallery_floor");
    const int cellsS = int(2 * f.half + kGalleryDepth), cellsD = int(kGalleryDepth);
    auto floorPos = [&](int i, int j) { return f.at(-f.half + i, double(j), 0); };
    emitGridFacing(
        b, cellsS, cellsD, floorPos,
        [&](int i, int j) {
            return Vec2{i / 2.0, j / 2.0};
        },
        Vec3{0, 1, 0});
    b.endShape();
}

void buildUpperStorey(ObjBuilder& b, const SideFrame& f) {
    const std::string side = f.name;
    const int upperBays = 2 * f.bays;
    const double pedestalHalf = 0.22, railHalf = 0.16, railBottom = kRailTop - 0.1;

    b.beginShape(side + "_balustrade", Keyword::Object, false);
    b.useMaterial("cornice");
    for (int k = 1; k < upperBays; ++k) {
        double s = -f.half + k * kUpperBay;
        Vec3 c = f.at(s, 0, 0);
        emitBox(b, {c.x - pedestalHalf, kStringTop, c.z - pedestalHalf},
                {c.x + pedestalHalf, railBottom, c.z + pedestalHalf}, 1.5);
    }
    {
        Vec3 a = f.at(-f.half, -railHalf, railBottom), z = f.at(f.half, railHalf, kRailTop);
        emitBox(b, {std::min(a.x, z.x), railBottom, std::min(a.z, z.z)},
                {std::max(a.x, z.x), kRailTop, std::max(a.z, z.z)}, 1.5, true);
    }
    // Lattice screens between the pedestals, seen from both sides.
    b.useMaterial("lattice");
    for (int k = 0; k < upperBays; ++k) {
        double s0 = -f.half + k * kUpperBay + pedestalHalf, s1 = -f.half + (k + 1) * kUpperBay - pedestalHalf;
        double h = railBottom - kStringTop, w = s1 - s0;
        emitDoubleQuad(b, f.at(s0, 0, kStringTop), f.at(s1, 0, kStringTop), f.at(s1, 0, railBottom),
                       f.at(s0, 0, railBottom), {0, 0}, {w / h, 0}, {w / h, 1}, {0, 1});
    }
    b.endShape();

    b.beginShape(side + "_upper_colonnade", Keyword::Object, true);
    b.setWantNormals(true);
    const ColumnStyle col = upperColumnStyle();
    for (int k = 1; k < upperBays; ++k) emitColumn(b, f.at(-f.half + k * kUpperBay, 0, kRailTop), col);
    b.endShape();

    b.beginShape(side + "_upper_arcade", Keyword::Object, false);
    for (int k = 0; k < upperBays; ++k) {
        ArchBay a{};
        a.centre = -f.half + (k + 0.5) * kUpperBay;
        a.halfWidth = kUpperBay / 2;
        a.radius = kUpperArchRadius;
        a.bandWidth = kUpperBay / 2 - kUpperArchRadius;
        a.spring = kUpperSpring;
        a.top = kUpperWallTop;
        a.thickness = kUpperWallThickness;
        a.segments = 16;
        a.stones = 7;
        emitArchBay(b, f, a);
    }
    b.useMaterial("cornice");
    const double face = -kUpperWallThickness / 2;
    const double t = kUpperWallTop;
    emitMoulding(b, f.at(-f.half - 0.6, face, 0), f.at(f.half + 0.6, face, 0), f.inward(),
                 {{0, t},
                  {0.05, t + 0.03},
                  {0.05, t + 0.09},
                  {0.12, t + 0.15},
                  {0.12, t + 0.21},
                  {0.30, t + 0.31},
                  {0.35, t + 0.35},
                  {0.35, kCorniceTop}},
                 f.bays, 0.5, 2.5);
    // Low brick wall closing the back of the open terrace.
    b.useMaterial("brick");
    const double s0 = -f.half - kGalleryDepth, s1 = f.half + kGalleryDepth;
    emitGridFacing(
        b, int(s1 - s0) / 2, 1,
        [&](int i, int j) { return f.at(s0 + 2.0 * i, kGalleryDepth, j ? kParapetTop : kStringTop); },
        [&](int i, int j) {
            return Vec2{i * 2.0 / 1.5, j ? (kParapetTop - kStringTop) / 1.5 : 0.0};
        },
        f.inward());
    b.endShape();
}

// Urn shape for the cornice finials and the corner posts.
const std::vector<Vec2>& urnProfile() {
    static const std::vector<Vec2> p = {{0.17, 0},    {0.17, 0.06}, {0.17, 0.06}, {0.08, 0.1},  {0.07, 0.14},
                                        {0.12, 0.2},  {0.19, 0.3},  {0.18, 0.38}, {0.12, 0.44}, {0.06, 0.48},
                                        {0.05, 0.52}, {0.09, 0.57}, {0.08, 0.63}, {0.03, 0.68}, {0.0, 0.7}};
    return p;
}

void buildFinials(ObjBuilder& b) {
    b.beginShape("cornice_urns", Keyword::Group, true);
    b.setWantNormals(true);
    b.useMaterial("bronze");
    const SideFrame* sides = courtSides();
    for (int s = 0; s < kSideCount; ++s) {
        const SideFrame& f = sides[s];
        for (int k = 0; k < f.bays; ++k)  // k = 0 is this side's corner
            emitLathe(b, f.at(-f.half + k * kBay, -kUpperWallThickness / 2 - 0.15, kCorniceTop), urnProfile(), 20, 1.0,
                      1.0);
    }
    b.endShape();
}

void buildCornerPiers(ObjBuilder& b) {
    b.beginShape("corner_piers", Keyword::Object, false);
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sz = -1; sz <= 1; sz += 2) {
            const double x = sx * kCourtHalfX, z = sz * kCourtHalfZ;
            auto block = [&](double half, double y0, double y1, double k) {
                emitBox(b, {x - half, y0, z - half}, {x + half, y1, z + half}, k, true);
            };
            b.useMaterial("granite");
            block(0.5, 0, 0.2, 1.0);
            b.useMaterial("column_marble");
            block(0.42, 0.2, kSpring - 0.2, 0.5);
            b.useMaterial("gilded_trim");
            block(0.5, kSpring - 0.2, kSpring, 1.5);
            b.useMaterial("cornice");
            block(0.26, kStringTop, kRailTop, 1.5);
            b.useMaterial("column_rose");
            block(0.2, kRailTop, kUpperSpring - 0.12, 0.5);
            b.useMaterial("gilded_trim");
            block(0.27, kUpperSpring - 0.12, kUpperSpring, 1.5);
        }
    }
    b.endShape();
}

}  // namespace

void buildCourtyardArchitecture(ObjBuilder& b) {
    buildCourtFloor(b);
    buildSunkenBasin(b);
    const SideFrame* sides = courtSides();
    for (int s = 0; s < kSideCount; ++s) {
        buildGroundStorey(b, sides[s]);
        buildUpperStorey(b, sides[s]);
    }
    buildCornerPiers(b);
    buildFinials(b);
}

}  // namespace demo_assets

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "courtyard.h"
#include "courtyard_layout.h"
#include "geometry.h"

namespace demo_assets {

using namespace layout;

namespace {

using Keyword = ObjBuilder::Keyword;

// Regular polygon lying flat at height y, facing up, matching a lathe ring
// of the same radius and segment count.
void emitDisc(ObjBuilder& b, Vec3 centre, double r, int segments, double uvScale) {
    std::vector<Vec3> pts;
    std::vector<Vec2> uvs;
    for (int i = 0; i < segments; ++i) {
        double a = 2 * kPi * i / segments;
        pts.push_back({centre.x + r * std::cos(a), centre.y, centre.z - r * std::sin(a)});
        uvs.push_back({0.5 + 0.5 * uvScale * std::cos(a), 0.5 + 0.5 * uvScale * std::sin(a)});
    }
    emitPolygon(b, pts, uvs);
}

// Vertical double-sided card centred on `base`, rotated `angle` around y,
// used for foliage. uv covers the whole texture, v = 0 at the bottom.
void emitCard(ObjBuilder& b, Vec3 base, double angle, double width, double height) {
    Vec3 dir{std::cos(angle) * width / 2, 0, -std::sin(angle) * width / 2};
    Vec3 top{0, height, 0};
    emitDoubleQuad(b, base - dir, base + dir, base + dir + top, base - dir + top, {0, 0}, {1, 0}, {1, 1}, {0, 1});
}

// ---------------------------------------------------------------- vases

void buildVase(ObjBuilder& b, const std::string& name, Vec3 at, double scale) {
    b.beginShape(name, Keyword::Group, true);
    b.setWantNormals(true);
    // Octagonal pedestal: box, moulded cap, flat octagon top.
    b.useMaterial("granite");
    const double ph = 0.75 * scale, half = 0.28 * scale;
    emitBox(b, {at.x - half, at.y, at.z - half}, {at.x + half, at.y + ph - 0.08 * scale, at.z + half}, 1.5);
    const double capR = 0.36 * scale, top = at.y + ph;
    emitLathe(b, {at.x, at.y + ph - 0.08 * scale, at.z}, {{half * 1.05, 0}, {capR, 0.05 * scale}, {capR, 0.08 * scale}},
              8, 1.0, 1.0);
    emitDisc(b, {at.x, top, at.z}, capR, 8, 1.0);
    // Amphora on top.
    b.useMaterial("ceramic");
    std::vector<Vec2> prof = {{0.14, 0},    {0.16, 0.03}, {0.12, 0.08}, {0.18, 0.2},  {0.29, 0.4},  {0.32, 0.53},
                              {0.28, 0.7},  {0.17, 0.84}, {0.11, 0.91}, {0.12, 0.96}, {0.17, 1.01}, {0.17, 1.05},
                              {0.17, 1.05}, {0.13, 1.05}, {0.13, 1.05}, {0.12, 0.98}};
    for (Vec2& p : prof) p = {p.x * scale, p.y * scale};
    emitLathe(b, {at.x, top, at.z}, prof, 32, 2.0, 1.0 / (1.2 * scale));
    b.endShape();
}

// ---------------------------------------------------------------- benches

void emitBench(ObjBuilder& b, Vec3 centre, Vec3 along, Vec3 across) {
    auto box = [&](double s0, double s1, double d0, double d1, double y0, double y1) {
        Vec3 a = centre + along * s0 + across * d0, c = centre + along * s1 + across * d1;
        emitBox(b, {std::min(a.x, c.x), y0, std::min(a.z, c.z)}, {std::max(a.x, c.x), y1, std::max(a.z, c.z)}, 2.0);
    };
    b.useMaterial("granite");
    box(-0.8, -0.6, -0.2, 0.2, 0, 0.4);
    box(0.6, 0.8, -0.2, 0.2, 0, 0.4);
    b.useMaterial("bench_wood");
    box(-0.95, 0.95, -0.25, 0.25, 0.4, 0.5);
    box(-0.95, 0.95, 0.2, 0.27, 0.5, 0.95);  // back rest on the arcade side
}

// ---------------------------------------------------------------- fountains

void buildFountain(ObjBuilder& b, const std::string& name, Vec3 at) {
    b.beginShape(name, Keyword::Group, true);
    b.setWantNormals(true);
    const int seg = 48;
    b.useMaterial("column_marble");
    emitLathe(b, at,
              {{1.8, 0},
               {1.86, 0.05},
               {1.8, 0.1},
               {1.76, 0.45},
               {1.86, 0.5},
               {1.86, 0.58},
               {1.86, 0.58},
               {1.6, 0.58},
               {1.6, 0.58},
               {1.6, 0.42}},
              seg, 6.0, 1.0);
    // Stem and upper bowl rising out of the water.
    emitLathe(b, at + Vec3{0, 0.42, 0},
              {{0.32, 0},
               {0.22, 0.18},
               {0.18, 0.78},
               {0.26, 0.88},
               {0.2, 0.93},
               {0.26, 0.96},
               {0.6, 1.13},
               {0.86, 1.26},
               {0.9, 1.33},
               {0.9, 1.33},
               {0.8, 1.33},
               {0.8, 1.33},
               {0.8, 1.26}},
              seg, 3.0, 1.0);
    b.useMaterial("water");
    emitDisc(b, at + Vec3{0, 0.42, 0}, 1.6, seg, 1.0);
    emitDisc(b, at + Vec3{0, 1.68, 0}, 0.8, seg, 0.5);
    b.useMaterial("gilded_trim");
    emitLathe(b, at + Vec3{0, 1.68, 0},
              {{0.12, 0}, {0.09, 0.25}, {0.15, 0.34}, {0.16, 0.42}, {0.1, 0.52}, {0.04, 0.6}, {0, 0.62}}, 24, 2.0, 2.0);
    b.endShape();
}

// ---------------------------------------------------------------- plants

void buildCornerPlanter(ObjBuilder& b, const std::string& name, Vec3 at, double turn) {
    b.beginShape(name, Keyword::Group, true);
    b.useMaterial("terracotta");
    emitLathe(
        b, at,
        {{0.62, 0}, {0.72, 0.8}, {0.78, 0.86}, {0.78, 0.92}, {0.78, 0.92}, {0.66, 0.92}, {0.66, 0.92}, {0.66, 0.82}}, 8,
        4.0, 1.2);
    b.useMaterial("soil");
    emitDisc(b, at + Vec3{0, 0.82, 0}, 0.66, 8, 1.0);
    b.useMaterial("leaves");
    for (int k = 0; k < 3; ++k) emitCard(b, at + Vec3{0, 0.75, 0}, turn + k * kPi / 3, 2.2, 2.3);
    b.useMaterial("fern");
    for (int k = 0; k < 2; ++k) emitCard(b, at + Vec3{0, 0.8, 0}, turn + kPi / 6 + k * kPi / 2, 1.6, 1.7);
    b.endShape();
}

void buildTerracePlants(ObjBuilder& b, const SideFrame& f) {
    b.beginShape(std::string(f.name) + "_terrace_plants", Keyword::Group, true);
    for (int k = 0; k < f.bays; ++k) {
        Vec3 at = f.at(-f.half + (k + 0.5) * kBay, kGalleryDepth - 0.5, kStringTop);
        b.useMaterial("terracotta");
        emitLathe(b, at, {{0.22, 0}, {0.3, 0.45}, {0.33, 0.5}, {0.33, 0.5}, {0.28, 0.5}, {0.28, 0.5}, {0.28, 0.42}}, 16,
                  3.0, 1.5);
        b.useMaterial("soil");
        emitDisc(b, at + Vec3{0, 0.42, 0}, 0.28, 16, 1.0);
        b.useMaterial(k % 2 ? "fern" : "leaves");
        for (int c = 0; c < 2; ++c) emitCard(b, at + Vec3{0, 0.4, 0}, 0.4 + k + c * kPi / 2, 1.6, 2.1);
    }
    b.endShape();
}

// ---------------------------------------------------------------- lamp posts

void buildLampPosts(ObjBuilder& b) {
    b.beginShape("lamp_posts", Keyword::Group, true);
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sz = -1; sz <= 1; sz += 2) {
            Vec3 at{sx * 7.5, 0, sz * 8.5};
            b.useMaterial("granite");
            emitBox(b, {at.x - 0.22, 0, at.z - 0.22}, {at.x + 0.22, 0.35, at.z + 0.22}, 2.0);
            b.useMaterial("bronze");
            emitLathe(b, at + Vec3{0, 0.35, 0},
                      {{0.12, 0}, {0.12, 0.1}, {0.07, 0.2}, {0.06, 2.4}, {0.1, 2.5}, {0.2, 2.6}, {0.2, 2.62}}, 12, 1.0,
                      1.0);
            // Lantern: lattice sides around an open core, pyramid roof.
            b.useMaterial("lattice");
            const double h0 = 2.97, h1 = 3.5, r = 0.2;
            Vec3 c[4] = {
                {at.x - r, 0, at.z + r}, {at.x + r, 0, at.z + r}, {at.x + r, 0, at.z - r}, {at.x - r, 0, at.z - r}};
            for (int i = 0; i < 4; ++i) {
                Vec3 p = c[i], q = c[(i + 1) % 4];
                emitDoubleQuad(b, {p.x, h0, p.z}, {q.x, h0, q.z}, {q.x, h1, q.z}, {p.x, h1, p.z}, {0, 0}, {1, 0},
                               {1, 1.3}, {0, 1.3});
            }
            b.useMaterial("bronze");
            emitLathe(b, at + Vec3{0, h1, 0}, {{0.3, 0}, {0.3, 0.04}, {0.3, 0.04}, {0.0, 0.34}}, 4, 1.0, 1.0);
        }
    }
    b.endShape();
}

// ---------------------------------------------------------------- curtains

// Hangings in every other ground arch of the long sides, folded, visible
// from both sides; the two colours alternate along each side.
void buildCurtains(ObjBuilder& b) {
    b.beginShape("arcade_curtains", Keyword::Group, true);
    const SideFrame* sides = courtSides();
    for (int sIdx = 0; sIdx < kSideCount; sIdx += 2) {
        const SideFrame& f = sides[sIdx];
        for (int k = 1; k < f.bays; k += 2) {
            const double centre = -f.half + (k + 0.5) * kBay, half = 1.12, top = kSpring - 0.08, bottom = 0.75;
            const int nu = 18, nv = 6;
            auto pos = [&](int i, int j) {
                double u = double(i) / nu;
                double fold = 0.07 * std::sin(2 * kPi * 4.5 * u) * (0.4 + 0.6 * (1.0 - double(j) / nv));
                return f.at(centre - half + 2 * half * u, 0.05 + fold, bottom + (top - bottom) * j / nv);
            };
            auto uv = [&](int i, int j) { return Vec2{double(i) / nu, double(j) / nv}; };
            b.useMaterial(((k / 2) + sIdx / 2) % 2 ? "curtain_blue" : "curtain_red");
            emitGridFacing(b, nu, nv, pos, uv, f.inward());
            emitGridFacing(b, nu, nv, pos, uv, f.outward);
            b.useMaterial("bronze");
            Vec3 a = f.at(centre - half - 0.1, -0.03, top), c = f.at(centre + half + 0.1, 0.13, top + 0.05);
            emitBox(b, {std::min(a.x, c.x), a.y, std::min(a.z, c.z)}, {std::max(a.x, c.x), c.y, std::max(a.z, c.z)},
                    1.0, true);
        }
    }
    b.endShape();
}

}  // namespace

void buildCourtyardProps(ObjBuilder& b) {
    const SideFrame* sides = courtSides();
    int vaseCount = 0;
    for (int s = 0; s < kSideCount; ++s) {
        const SideFrame& f = sides[s];
        for (int k = 2; k < f.bays; k += 2) {
            char name[32];
            std::snprintf(name, sizeof name, "vase_%02d", ++vaseCount);
            buildVase(b, name, f.at(-f.half + k * kBay, -1.1, 0), 1.0);
        }
    }
    // Smaller vases flanking each fountain on the short axis.
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sz = -1; sz <= 1; sz += 2) {
            char name[32];
            std::snprintf(name, sizeof name, "vase_%02d", ++vaseCount);
            buildVase(b, name, {sx * 11.5, 0, sz * 3.0}, 0.75);
        }

    b.beginShape("benches", Keyword::Group, false);
    for (int s = 0; s < kSideCount; ++s) {
        const SideFrame& f = sides[s];
        const bool longSide = f.bays > 8;
        for (double at : longSide ? std::vector<double>{-9, -3, 3, 9} : std::vector<double>{-3, 3})
            emitBench(b, f.at(at, -1.45, 0), f.along, f.outward);
    }
    b.endShape();

    buildFountain(b, "fountain_east", {11.5, 0, 0});
    buildFountain(b, "fountain_west", {-11.5, 0, 0});

    const double px = 16.2, pz = 10.2;
    buildCornerPlanter(b, "planter_ne", {px, 0, -pz}, 0.2);
    buildCornerPlanter(b, "planter_se", {px, 0, pz}, 0.9);
    buildCornerPlanter(b, "planter_sw", {-px, 0, pz}, 0.5);
    buildCornerPlanter(b, "planter_nw", {-px, 0, -pz}, 1.3);
    for (int s = 0; s < kSideCount; ++s) buildTerracePlants(b, sides[s]);

    buildLampPosts(b);
    buildCurtains(b);
}

}  // namespace demo_assets

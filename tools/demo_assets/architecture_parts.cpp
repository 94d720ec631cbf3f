#include "architecture_parts.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry.h"

namespace demo_assets {

ColumnStyle groundColumnStyle() {
    ColumnStyle c{};
    c.plinthHalf = 0.38;
    c.plinthHeight = 0.16;
    c.baseRadius = 0.34;
    c.baseHeight = 0.22;
    c.shaftBottom = 0.27;
    c.shaftTop = 0.23;
    c.shaftHeight = 2.24;
    c.capitalRadius = 0.40;
    c.capitalHeight = 0.28;
    c.abacusHalf = 0.45;
    c.abacusHeight = 0.10;
    c.segments = 48;
    c.shaftRings = 12;
    c.flutes = 12;
    c.shaftMaterial = "column_marble";
    c.trimMaterial = "gilded_trim";
    c.blockMaterial = "granite";
    return c;
}

ColumnStyle upperColumnStyle() {
    ColumnStyle c{};
    c.plinthHalf = 0.0;  // stands on the balustrade pedestal
    c.plinthHeight = 0.0;
    c.baseRadius = 0.2;
    c.baseHeight = 0.12;
    c.shaftBottom = 0.15;
    c.shaftTop = 0.13;
    c.shaftHeight = 1.12;
    c.capitalRadius = 0.24;
    c.capitalHeight = 0.16;
    c.abacusHalf = 0.27;
    c.abacusHeight = 0.05;
    c.segments = 24;
    c.shaftRings = 8;
    c.flutes = 0;
    c.shaftMaterial = "column_rose";
    c.trimMaterial = "gilded_trim";
    c.blockMaterial = "cornice";
    return c;
}

double columnHeight(const ColumnStyle& c) {
    return c.plinthHeight + c.baseHeight + c.shaftHeight + c.capitalHeight + c.abacusHeight;
}

void emitColumn(ObjBuilder& b, Vec3 base, const ColumnStyle& c) {
    double y = base.y;
    if (c.plinthHeight > 0) {
        b.useMaterial(c.blockMaterial);
        emitBox(b, {base.x - c.plinthHalf, y, base.z - c.plinthHalf},
                {base.x + c.plinthHalf, y + c.plinthHeight, base.z + c.plinthHalf}, 1.0);
        y += c.plinthHeight;
    }
    // Base: torus, scotia, torus, ending at the shaft radius.
    b.useMaterial(c.trimMaterial);
    {
        const double r = c.baseRadius, h = c.baseHeight, s = c.shaftBottom;
        std::vector<Vec2> prof = {{r, 0},
                                  {r + 0.02 * r, h * 0.12},
                                  {r, h * 0.3},
                                  {s * 1.05, h * 0.42},
                                  {s * 1.0, h * 0.55},
                                  {s * 1.12, h * 0.68},
                                  {s * 1.15, h * 0.8},
                                  {s * 1.08, h * 0.92},
                                  {s, h}};
        emitLathe(b, {base.x, y, base.z}, prof, c.segments, 2.0, 2.0);
        y += h;
    }
    b.useMaterial(c.shaftMaterial);
    {
        std::vector<Vec2> prof;
        for (int k = 0; k <= c.shaftRings; ++k) {
            double t = double(k) / c.shaftRings;
            // Entasis: a gentle swell a third of the way up, then the taper.
            double r = c.shaftBottom + (c.shaftTop - c.shaftBottom) * t + 0.012 * std::sin(t * kPi);
            prof.push_back({r, c.shaftHeight * t});
        }
        std::function<double(double)> fluting;
        if (c.flutes > 0) {
            const int flutes = c.flutes;
            fluting = [flutes](double a) { return 1.0 - 0.05 * std::pow(std::fabs(std::sin(a * flutes / 2.0)), 0.7); };
        }
        emitLatheModulated(b, {base.x, y, base.z}, prof, c.segments, 1.0, 0.5, fluting);
        y += c.shaftHeight;
    }
    b.useMaterial(c.trimMaterial);
    {
        // Bell-shaped capital with a necking ring.
        const double s = c.shaftTop, r = c.capitalRadius, h = c.capitalHeight;
        std::vector<Vec2> prof = {{s, 0},
                                  {s * 1.12, h * 0.06},
                                  {s * 1.12, h * 0.14},
                                  {s, h * 0.2},
                                  {s * 1.02, h * 0.35},
                                  {s + (r - s) * 0.35, h * 0.62},
                                  {s + (r - s) * 0.75, h * 0.84},
                                  {r, h},
                                  {r, h},
                                  {s * 0.9, h}};
        emitLathe(b, {base.x, y, base.z}, prof, c.segments, 2.0, 3.0);
        y += h;
    }
    b.useMaterial(c.blockMaterial);
    emitBox(b, {base.x - c.abacusHalf, y, base.z - c.abacusHalf},
            {base.x + c.abacusHalf, y + c.abacusHeight, base.z + c.abacusHalf}, 1.0, true);
}

void emitArchBay(ObjBuilder& b, const SideFrame& f, const ArchBay& a) {
    const double faceD = -a.thickness / 2;  // court face
    const double outerR = a.radius + a.bandWidth;
    const double height = a.top - a.spring;
    const double left = a.centre - a.halfWidth;

    // Angles from the left spring point over the crown to the right one,
    // with the two wall corners inserted so the plaster reaches them exactly.
    std::vector<double> angles;
    for (int k = 0; k <= a.segments; ++k) angles.push_back(kPi - kPi * k / a.segments);
    const double cornerL = std::atan2(height, -a.halfWidth), cornerR = std::atan2(height, a.halfWidth);
    angles.push_back(cornerL);
    angles.push_back(cornerR);
    std::sort(angles.begin(), angles.end(), [](double x, double y) { return x > y; });
    angles.erase(std::unique(angles.begin(), angles.end(), [](double x, double y) { return std::fabs(x - y) < 1e-9; }),
                 angles.end());
    const int n = int(angles.size()) - 1;

    auto ray = [&](double ang) {  // distance to the wall rectangle's boundary
        double c = std::cos(ang), s = std::sin(ang), t = 1e9;
        if (c < -1e-12) t = std::min(t, -a.halfWidth / c);
        if (c > 1e-12) t = std::min(t, a.halfWidth / c);
        if (s > 1e-12) t = std::min(t, height / s);
        return t;
    };
    auto local = [&](double ang, double r, double d) {
        return f.at(a.centre + r * std::cos(ang), d, a.spring + r * std::sin(ang));
    };
    auto stoneU = [&](int i) { return (kPi - angles[size_t(i)]) / kPi * a.stones / 4.0; };
    const Vec3 inward = f.inward();

    // Voussoir band.
    b.useMaterial("arch_voussoirs");
    emitGridFacing(
        b, n, 1, [&](int i, int j) { return local(angles[size_t(i)], j ? outerR : a.radius, faceD); },
        [&](int i, int j) {
            return Vec2{stoneU(i), double(j)};
        },
        inward);
    // Intrados, seen from inside the opening.
    emitGridFacing(
        b, n, 2, [&](int i, int j) { return local(angles[size_t(i)], a.radius, faceD + a.thickness * j / 2.0); },
        [&](int i, int j) {
            return Vec2{stoneU(i), 0.15 + 0.35 * j};
        },
        Vec3{0, -1, 0});
    // Plaster between the band and the rectangle.
    b.useMaterial("plaster");
    emitGridFacing(
        b, n, 1,
        [&](int i, int j) {
            double ang = angles[size_t(i)];
            return local(ang, j ? std::max(ray(ang), outerR) : outerR, faceD);
        },
        [&](int i, int j) {
            double ang = angles[size_t(i)];
            double r = j ? std::max(ray(ang), outerR) : outerR;
            double s = a.centre + r * std::cos(ang), y = a.spring + r * std::sin(ang);
            return Vec2{(s - left) / (2 * a.halfWidth), (y - a.spring) / height};
        },
        inward);
    // Half-round moulding framing the band.
    b.useMaterial("gilded_trim");
    const double tube = std::min(0.08, a.bandWidth * 0.4);
    const int prof = 5;
    emitGridFacing(
        b, a.segments, prof,
        [&](int i, int j) {
            double ang = kPi - kPi * i / a.segments, beta = kPi * j / prof;
            return local(ang, outerR + tube * std::cos(beta), faceD - tube * std::sin(beta));
        },
        [&](int i, int j) {
            return Vec2{4.0 * i / a.segments, double(j) / prof};
        },
        inward);
}

double vaultProfile(double t, double rise) {
    double x = 2 * t - 1;
    return rise * std::sqrt(std::max(0.0, 1 - x * x));
}

void emitVaultCell(ObjBuilder& b, Vec3 origin, Vec3 u, double lenU, Vec3 v, double lenV, double spring, double rise,
                   int cellsU, int cellsV) {
    auto pos = [&](int i, int j) {
        double tu = double(i) / cellsU, tv = double(j) / cellsV;
        double h = std::max(vaultProfile(tu, rise), vaultProfile(tv, rise));
        return origin + u * (tu * lenU) + v * (tv * lenV) + Vec3{0, spring + h, 0};
    };
    auto uv = [&](int i, int j) { return Vec2{double(i) / cellsU, double(j) / cellsV}; };
    emitGridFacing(b, cellsU, cellsV, pos, uv, Vec3{0, -1, 0});
}

void emitBackWallBay(ObjBuilder& b, const SideFrame& f, double s0, double s1, double depth, bool door) {
    using namespace layout;
    const double width = s1 - s0;
    const Vec3 inward = f.inward();
    auto top = [&](double s) { return kSpring + vaultProfile((s - s0) / width, kVaultRise); };
    auto wallUv = [&](double s, double y) { return Vec2{(s - s0) / width, y / (kSpring + kVaultRise)}; };
    // A piece of wall over [sa, sb] between y = bottom and the lunette
    // (or a fixed top when topY >= 0).
    auto piece = [&](double sa, double sb, double bottom, double topY, int cells) {
        emitGridFacing(
            b, cells, 2,
            [&](int i, int j) {
                double s = sa + (sb - sa) * i / cells;
                double t = topY >= 0 ? topY : top(s);
                return f.at(s, depth, bottom + (t - bottom) * j / 2.0);
            },
            [&](int i, int j) {
                double s = sa + (sb - sa) * i / cells;
                double t = topY >= 0 ? topY : top(s);
                return wallUv(s, bottom + (t - bottom) * j / 2.0);
            },
            inward);
    };
    b.useMaterial("fresco");
    if (!door) {
        piece(s0, s1, 0, -1, 12);
        return;
    }
    const double half = 0.7, height = 2.5, recess = 0.25, mid = (s0 + s1) / 2;
    piece(s0, mid - half, 0, -1, 4);
    piece(mid + half, s1, 0, -1, 4);
    piece(mid - half, mid + half, height, -1, 4);
    // Reveal around the opening.
    b.useMaterial("granite");
    const double dl = depth, dr = depth + recess;
    emitQuadFacing(b, f.at(mid - half, dl, 0), f.at(mid - half, dr, 0), f.at(mid - half, dr, height),
                   f.at(mid - half, dl, height), {0, 0}, {0.25, 0}, {0.25, 2.5}, {0, 2.5}, f.along);
    emitQuadFacing(b, f.at(mid + half, dl, 0), f.at(mid + half, dr, 0), f.at(mid + half, dr, height),
                   f.at(mid + half, dl, height), {0, 0}, {0.25, 0}, {0.25, 2.5}, {0, 2.5}, -f.along);
    emitQuadFacing(b, f.at(mid - half, dl, height), f.at(mid + half, dl, height), f.at(mid + half, dr, height),
                   f.at(mid - half, dr, height), {0, 0}, {1.4, 0}, {1.4, 0.25}, {0, 0.25}, Vec3{0, -1, 0});
    b.useMaterial("door");
    emitQuadFacing(b, f.at(mid - half, dr, 0), f.at(mid + half, dr, 0), f.at(mid + half, dr, height),
                   f.at(mid - half, dr, height), {0, 0}, {1, 0}, {1, 1}, {0, 1}, inward);
}

}  // namespace demo_assets

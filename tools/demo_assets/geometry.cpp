#include "geometry.h"

#include <algorithm>
#include <cmath>

namespace demo_assets {

namespace {

constexpr double kSamePoint = 1e-9;

bool samePoint(Vec3 a, Vec3 b) { return dot(a - b, a - b) < kSamePoint; }

// Emits one corner list after dropping repeated corners; needs >= 3 left.
void emitCleanFace(ObjBuilder& b, const Vec3* pts, const Corner* corners, int n) {
    Corner kept[8];
    Vec3 keptPts[8];
    int k = 0;
    for (int i = 0; i < n; ++i) {
        if (k > 0 && samePoint(keptPts[k - 1], pts[i])) continue;
        keptPts[k] = pts[i];
        kept[k++] = corners[i];
    }
    while (k > 1 && samePoint(keptPts[k - 1], keptPts[0])) --k;
    if (k < 3) return;
    if (k == 3 && length(cross(keptPts[1] - keptPts[0], keptPts[2] - keptPts[0])) < 1e-12) return;
    b.face(kept, size_t(k));
}

Vec3 faceNormal(const std::vector<Vec3>& pts) {
    // Newell's method: robust for any planar polygon.
    Vec3 n{};
    for (size_t i = 0; i < pts.size(); ++i) {
        Vec3 a = pts[i], c = pts[(i + 1) % pts.size()];
        n.x += (a.y - c.y) * (a.z + c.z);
        n.y += (a.z - c.z) * (a.x + c.x);
        n.z += (a.x - c.x) * (a.y + c.y);
    }
    return normalize(n);
}

}  // namespace

void emitGrid(ObjBuilder& b, int nu, int nv, const std::function<Vec3(int, int)>& pos,
              const std::function<Vec2(int, int)>& uv, GridOptions options) {
    const int cu = nu + 1, cv = nv + 1;
    std::vector<Vec3> p(size_t(cu) * cv);
    for (int j = 0; j < cv; ++j)
        for (int i = 0; i < cu; ++i) p[size_t(j) * cu + i] = pos(i, j);
    auto P = [&](int i, int j) { return p[size_t(j) * cu + i]; };

    std::vector<int> vi(p.size()), ti(p.size()), ni(p.size(), 0);
    for (int j = 0; j < cv; ++j)
        for (int i = 0; i < cu; ++i) {
            vi[size_t(j) * cu + i] = b.position(P(i, j));
            ti[size_t(j) * cu + i] = b.texcoord(uv(i, j));
        }

    if (b.wantNormals()) {
        // Central differences; one-sided at open edges and at repeated rows,
        // which keeps creases made by repeated profile points sharp.
        auto du = [&](int i, int j) {
            int i0 = i - 1, i1 = i + 1;
            if (options.wrapU) {
                if (i0 < 0) i0 = nu - 1;
                if (i1 > nu) i1 = 1;
            } else {
                if (i0 < 0) i0 = 0;
                if (i1 > nu) i1 = nu;
            }
            return P(i1, j) - P(i0, j);
        };
        auto dv = [&](int i, int j) {
            int j0 = j > 0 ? j - 1 : 0, j1 = j < nv ? j + 1 : nv;
            if (j1 != j && samePoint(P(i, j1), P(i, j))) j1 = j;
            if (j0 != j && samePoint(P(i, j0), P(i, j))) j0 = j;
            return P(i, j1) - P(i, j0);
        };
        std::vector<Vec3> n(p.size());
        for (int j = 0; j < cv; ++j)
            for (int i = 0; i < cu; ++i) n[size_t(j) * cu + i] = cross(du(i, j), dv(i, j));
        // Where the surface pinches to a point the U derivative vanishes:
        // borrow the neighbouring row's normal.
        for (int j = 0; j < cv; ++j)
            for (int i = 0; i < cu; ++i) {
                Vec3& v = n[size_t(j) * cu + i];
                if (length(v) > 1e-12) continue;
                int jn = j == 0 ? 1 : j - 1;
                if (jn < cv) v = n[size_t(jn) * cu + i];
            }
        for (size_t k = 0; k < n.size(); ++k) {
            Vec3 v = length(n[k]) > 1e-12 ? normalize(n[k]) : Vec3{0, 1, 0};
            ni[k] = b.normal(options.flip ? -v : v);
        }
    }

    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            int idx[4] = {j * cu + i, j * cu + i + 1, (j + 1) * cu + i + 1, (j + 1) * cu + i};
            if (options.flip) std::swap(idx[1], idx[3]);
            Vec3 pts[4];
            Corner c[4];
            for (int k = 0; k < 4; ++k) {
                size_t s = size_t(idx[k]);
                pts[k] = p[s];
                c[k] = Corner{vi[s], ti[s], ni[s]};
            }
            emitCleanFace(b, pts, c, 4);
        }
    }
}

void emitGridFacing(ObjBuilder& b, int nu, int nv, const std::function<Vec3(int, int)>& pos,
                    const std::function<Vec2(int, int)>& uv, Vec3 facing, bool wrapU) {
    // Search outward from the middle cell for one that is not degenerate.
    Vec3 n{};
    for (int r = 0; r <= std::max(nu, nv) && length(n) < 1e-12; ++r) {
        for (int dj = -r; dj <= r && length(n) < 1e-12; ++dj) {
            for (int di = -r; di <= r && length(n) < 1e-12; ++di) {
                int i = nu / 2 + di, j = nv / 2 + dj;
                if (i < 0 || j < 0 || i >= nu || j >= nv) continue;
                Vec3 p00 = pos(i, j), p11 = pos(i + 1, j + 1);
                n = cross(pos(i + 1, j) - p00, pos(i, j + 1) - p00) + cross(p11 - pos(i, j + 1), p11 - pos(i + 1, j));
            }
        }
    }
    GridOptions opt;
    opt.wrapU = wrapU;
    opt.flip = dot(n, facing) < 0;
    emitGrid(b, nu, nv, pos, uv, opt);
}

void emitQuadFacing(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3,
                    Vec3 facing) {
    if (dot(faceNormal({p0, p1, p2, p3}), facing) >= 0)
        emitQuad(b, p0, p1, p2, p3, t0, t1, t2, t3);
    else
        emitQuad(b, p0, p3, p2, p1, t0, t3, t2, t1);
}

void emitPolygon(ObjBuilder& b, const std::vector<Vec3>& pts, const std::vector<Vec2>& uvs) {
    std::vector<Corner> c(pts.size());
    int n = b.wantNormals() ? b.normal(faceNormal(pts)) : 0;
    for (size_t i = 0; i < pts.size(); ++i) c[i] = Corner{b.position(pts[i]), b.texcoord(uvs[i]), n};
    b.face(c.data(), c.size());
}

void emitQuad(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3) {
    emitPolygon(b, {p0, p1, p2, p3}, {t0, t1, t2, t3});
}

void emitDoubleQuad(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3) {
    emitQuad(b, p0, p1, p2, p3, t0, t1, t2, t3);
    emitQuad(b, p0, p3, p2, p1, t0, t3, t2, t1);
}

void emitBox(ObjBuilder& b, Vec3 lo, Vec3 hi, double k, bool withBottom) {
    const double x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    const double dx = (x1 - x0) * k, dy = (y1 - y0) * k, dz = (z1 - z0) * k;
    // +z and -z faces
    emitQuad(b, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, {0, 0}, {dx, 0}, {dx, dy}, {0, dy});
    emitQuad(b, {x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}, {0, 0}, {dx, 0}, {dx, dy}, {0, dy});
    // +x and -x faces
    emitQuad(b, {x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {0, 0}, {dz, 0}, {dz, dy}, {0, dy});
    emitQuad(b, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}, {0, 0}, {dz, 0}, {dz, dy}, {0, dy});
    // top
    emitQuad(b, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}, {0, 0}, {dx, 0}, {dx, dz}, {0, dz});
    if (withBottom)
        emitQuad(b, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, {0, 0}, {dx, 0}, {dx, dz}, {0, dz});
}

void emitLatheModulated(ObjBuilder& b, Vec3 base, const std::vector<Vec2>& profile, int segments, double uRepeats,
                        double vPerUnit, const std::function<double(double)>& radial) {
    const int nv = int(profile.size()) - 1;
    std::vector<double> vCoord(profile.size(), 0.0);
    for (size_t j = 1; j < profile.size(); ++j) {
        double dr = profile[j].x - profile[j - 1].x, dy = profile[j].y - profile[j - 1].y;
        vCoord[j] = vCoord[j - 1] + std::sqrt(dr * dr + dy * dy) * vPerUnit;
    }
    auto pos = [&](int i, int j) {
        double a = 2 * kPi * double(i % segments) / segments;
        double r = profile[size_t(j)].x * (radial ? radial(a) : 1.0);
        // Angle grows counter-clockwise seen from above.
        return Vec3{base.x + r * std::cos(a), base.y + profile[size_t(j)].y, base.z - r * std::sin(a)};
    };
    auto uv = [&](int i, int j) { return Vec2{uRepeats * double(i) / segments, vCoord[size_t(j)]}; };
    GridOptions opt;
    opt.wrapU = true;
    emitGrid(b, segments, nv, pos, uv, opt);
}

void emitLathe(ObjBuilder& b, Vec3 base, const std::vector<Vec2>& profile, int segments, double uRepeats,
               double vPerUnit) {
    emitLatheModulated(b, base, profile, segments, uRepeats, vPerUnit, nullptr);
}

void emitMoulding(ObjBuilder& b, Vec3 a, Vec3 bEnd, Vec3 outward, const std::vector<Vec2>& profile, int pieces,
                  double uPerUnit, double vPerUnit) {
    const Vec3 along = bEnd - a;
    const double len = length(along);
    std::vector<double> vCoord(profile.size(), 0.0);
    for (size_t j = 1; j < profile.size(); ++j) {
        double d0 = profile[j].x - profile[j - 1].x, d1 = profile[j].y - profile[j - 1].y;
        vCoord[j] = vCoord[j - 1] + std::sqrt(d0 * d0 + d1 * d1) * vPerUnit;
    }
    auto pos = [&](int i, int j) {
        Vec2 pr = profile[size_t(j)];
        return a + along * (double(i) / pieces) + outward * pr.x + Vec3{0, pr.y, 0};
    };
    auto uv = [&](int i, int j) { return Vec2{len * uPerUnit * double(i) / pieces, vCoord[size_t(j)]}; };
    // d/du runs along the line; d/dv up the profile. Their cross product
    // points outward only when `along` x up == outward; otherwise flip.
    GridOptions opt;
    opt.flip = dot(cross(along, Vec3{0, 1, 0}), outward) < 0;
    emitGrid(b, pieces, int(profile.size()) - 1, pos, uv, opt);
}

}  // namespace demo_assets

// Geometry helpers that emit faces through an ObjBuilder: parametric grids,
// surfaces of revolution, boxes, flat polygons and swept mouldings.
//
// Winding: every helper emits faces counter-clockwise as seen from the side
// that should be visible (the outside of solids), so back-face culling keeps
// the right side. Normals are written when the builder wants them.
#pragma once

#include <functional>
#include <vector>

#include "obj_builder.h"
#include "vec.h"

namespace demo_assets {

struct GridOptions {
    // The last column repeats the first (closed loop around U); used for
    // smooth normals across the seam.
    bool wrapU = false;
    // Show the other side: the visible side is -(dP/du x dP/dv).
    bool flip = false;
};

// Emits an (nu x nv)-cell grid of quads over vertices pos(i, j), i in [0, nu],
// j in [0, nv]. The visible side is the one dP/du x dP/dv points to.
// Degenerate cells (collapsed corners, e.g. at a pole) become triangles or
// are dropped.
void emitGrid(ObjBuilder& b, int nu, int nv, const std::function<Vec3(int, int)>& pos,
              const std::function<Vec2(int, int)>& uv, GridOptions options = {});

// Like emitGrid, but picks the winding so that the visible side of the cell
// nearest the grid's middle faces `facing` (e.g. "towards the court").
void emitGridFacing(ObjBuilder& b, int nu, int nv, const std::function<Vec3(int, int)>& pos,
                    const std::function<Vec2(int, int)>& uv, Vec3 facing, bool wrapU = false);

// Flat polygon, corners counter-clockwise seen from the front.
void emitPolygon(ObjBuilder& b, const std::vector<Vec3>& pts, const std::vector<Vec2>& uvs);
void emitQuad(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3);
// Quad whose visible side faces `facing`, whatever order the corners are in.
void emitQuadFacing(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3, Vec3 facing);
// Quad visible from both sides (two faces with opposite winding).
void emitDoubleQuad(ObjBuilder& b, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec2 t0, Vec2 t1, Vec2 t2, Vec2 t3);

// Axis-aligned box with outward faces; texture repeats every 1/uvPerUnit
// units on each face. `withBottom` = false omits the never-seen underside.
void emitBox(ObjBuilder& b, Vec3 lo, Vec3 hi, double uvPerUnit, bool withBottom = false);

// Surface of revolution around the vertical axis through `base`. `profile`
// holds (radius, height) pairs; walking it with the solid on the left (up the
// outside, inward across a top) makes the faces look outward. Repeat a point
// to get a sharp crease. Texture u wraps `uRepeats` times around, v follows
// the profile length times `vPerUnit`.
void emitLathe(ObjBuilder& b, Vec3 base, const std::vector<Vec2>& profile, int segments, double uRepeats,
               double vPerUnit);

// Like emitLathe but the radius is also scaled by `radial(angle)` (fluting).
void emitLatheModulated(ObjBuilder& b, Vec3 base, const std::vector<Vec2>& profile, int segments, double uRepeats,
                        double vPerUnit, const std::function<double(double)>& radial);

// Sweeps a moulding profile of (outward offset, height) pairs along the
// straight line a -> b, on the side `outward` (horizontal unit vector) points
// to. Profile order bottom to top makes the faces look outward.
void emitMoulding(ObjBuilder& b, Vec3 a, Vec3 bEnd, Vec3 outward, const std::vector<Vec2>& profile, int pieces,
                  double uPerUnit, double vPerUnit);

}  // namespace demo_assets

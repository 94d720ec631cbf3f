// Collects positions, texture coordinates, normals and polygon faces shape by
// shape and renders them as Wavefront OBJ text.
//
// Each shape's vertex data is written in one block followed by its faces, so a
// shape can switch material part-way through (a `usemtl` line between faces).
// Indices handed out are the 1-based global OBJ indices.
#pragma once

#include <cmath>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "vec.h"

namespace demo_assets {

struct Corner {
    int v = 0;   // position index (1-based)
    int vt = 0;  // texture coordinate index, 0 = none
    int vn = 0;  // normal index, 0 = none
};

class ObjBuilder {
public:
    enum class Keyword { Object, Group };  // `o name` or `g name`

    // Which image edge texture coordinate v = 0 stands for. Geometry code
    // always works bottom-up (v grows upwards in the picture); with
    // VOrigin::Top the builder writes 1 - v.
    enum class VOrigin { Bottom, Top };

    explicit ObjBuilder(std::string mtlLibrary, VOrigin vOrigin = VOrigin::Bottom);

    // Starts a new shape; `smooth` writes `s 1` instead of `s off`.
    void beginShape(const std::string& name, Keyword keyword, bool smooth);
    // Places the shapes begun from now on: `offset` is added to their
    // positions and `nameSuffix` to their names (copies of a scene in one file).
    void placeShapes(Vec3 offset, std::string nameSuffix);
    // Selects the material for the following faces of the current shape.
    void useMaterial(const std::string& name);
    void endShape();

    int position(Vec3 p);
    int texcoord(Vec2 t);
    int normal(Vec3 n);

    // A polygon with 3 or more corners, counter-clockwise seen from its front.
    void face(const Corner* corners, size_t count);
    void face(std::initializer_list<Corner> corners) { face(corners.begin(), corners.size()); }

    // True while the current shape was asked for explicit normals; the
    // geometry helpers use it to decide whether to emit `vn` data.
    void setWantNormals(bool on) { wantNormals_ = on; }
    bool wantNormals() const { return wantNormals_; }

    // Finished OBJ text (all shapes must have been ended).
    const std::string& text() const { return out_; }

    // Smallest and largest coordinates of the positions written so far.
    Vec3 boundsMin() const { return boundsMin_; }
    Vec3 boundsMax() const { return boundsMax_; }

    size_t triangleCount() const { return triangles_; }  // after fan triangulation
    size_t faceCount() const { return faces_; }
    size_t shapeCount() const { return shapes_; }      // shapes with at least one face
    size_t polygonCount() const { return polygons_; }  // faces with 4 or more corners
    size_t positionCount() const { return positions_; }
    size_t texcoordCount() const { return texcoords_; }
    size_t normalCount() const { return normals_; }
    const std::set<std::string>& materialsUsed() const { return materialsUsed_; }

private:
    VOrigin vOrigin_;
    std::string out_;
    std::string vBlock_, vtBlock_, vnBlock_, fBlock_;
    std::string shapeHeader_;
    std::string currentMaterial_;
    Vec3 offset_;
    std::string nameSuffix_;
    Vec3 boundsMin_{HUGE_VAL, HUGE_VAL, HUGE_VAL}, boundsMax_{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool inShape_ = false;
    bool wantNormals_ = false;
    size_t shapeFaces_ = 0;
    size_t triangles_ = 0, faces_ = 0, shapes_ = 0, polygons_ = 0;
    size_t positions_ = 0, texcoords_ = 0, normals_ = 0;
    std::set<std::string> materialsUsed_;
};

// Formats `v` with at most four decimals, trailing zeros removed, never "-0".
void appendNumber(std::string& out, double v);

}  // namespace demo_assets

#include "obj_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace demo_assets {

namespace {

// The scene code called the builder out of order: a fault in the generator
// itself, so it stops at once with the reason.
[[noreturn]] void misuse(const std::string& what) {
    std::fprintf(stderr, "scanweaver-demo-assets: internal error: %s\n", what.c_str());
    std::abort();
}

// One "keyword x y z" line.
void appendTriple(std::string& out, const char* keyword, Vec3 v) {
    out += keyword;
    appendNumber(out, v.x);
    out += ' ';
    appendNumber(out, v.y);
    out += ' ';
    appendNumber(out, v.z);
    out += '\n';
}

}  // namespace

void appendNumber(std::string& out, double v) {
    int64_t scaled = int64_t(std::llround(v * 10000.0));
    if (scaled < 0) {
        out.push_back('-');
        scaled = -scaled;
    }
    int64_t whole = scaled / 10000;
    int frac = int(scaled % 10000);
    out += std::to_string(whole);
    if (frac != 0) {
        char digits[5] = {char('0' + frac / 1000), char('0' + frac / 100 % 10), char('0' + frac / 10 % 10),
                          char('0' + frac % 10), 0};
        int len = 4;
        while (digits[len - 1] == '0') --len;
        out.push_back('.');
        out.append(digits, size_t(len));
    }
}

ObjBuilder::ObjBuilder(std::string mtlLibrary, VOrigin vOrigin) : vOrigin_(vOrigin) {
    out_ = "# Courtyard demo scene, generated procedurally.\n";
    out_ += "mtllib " + mtlLibrary + "\n";
}

void ObjBuilder::beginShape(const std::string& name, Keyword keyword, bool smooth) {
    if (inShape_) endShape();
    inShape_ = true;
    shapeFaces_ = 0;
    currentMaterial_.clear();
    shapeHeader_ = (keyword == Keyword::Object ? "o " : "g ") + name + nameSuffix_ + "\n";
    fBlock_ = smooth ? "s 1\n" : "s off\n";
}

void ObjBuilder::placeShapes(Vec3 offset, std::string nameSuffix) {
    if (inShape_) misuse("placement changed inside a shape");
    offset_ = offset;
    nameSuffix_ = std::move(nameSuffix);
}

void ObjBuilder::useMaterial(const std::string& name) {
    if (!inShape_) misuse("usemtl outside a shape");
    if (name == currentMaterial_) return;
    currentMaterial_ = name;
    fBlock_ += "usemtl " + name + "\n";
}

void ObjBuilder::endShape() {
    if (!inShape_) return;
    inShape_ = false;
    wantNormals_ = false;
    out_ += shapeHeader_;
    out_ += vBlock_;
    out_ += vtBlock_;
    out_ += vnBlock_;
    if (shapeFaces_ > 0) {
        out_ += fBlock_;
        ++shapes_;
    }
    vBlock_.clear();
    vtBlock_.clear();
    vnBlock_.clear();
    fBlock_.clear();
}

int ObjBuilder::position(Vec3 p) {
    p = p + offset_;
    boundsMin_ = {std::min(boundsMin_.x, p.x), std::min(boundsMin_.y, p.y), std::min(boundsMin_.z, p.z)};
    boundsMax_ = {std::max(boundsMax_.x, p.x), std::max(boundsMax_.y, p.y), std::max(boundsMax_.z, p.z)};
    appendTriple(vBlock_, "v ", p);
    return int(++positions_);
}

int ObjBuilder::texcoord(Vec2 t) {
    vtBlock_ += "vt ";
    appendNumber(vtBlock_, t.x);
    vtBlock_ += ' ';
    appendNumber(vtBlock_, vOrigin_ == VOrigin::Top ? 1.0 - t.y : t.y);
    vtBlock_ += '\n';
    return int(++texcoords_);
}

int ObjBuilder::normal(Vec3 n) {
    n = normalize(n);
    appendTriple(vnBlock_, "vn ", n);
    return int(++normals_);
}

void ObjBuilder::face(const Corner* corners, size_t count) {
    if (!inShape_) misuse("face outside a shape");
    if (currentMaterial_.empty()) misuse("face before usemtl in shape " + shapeHeader_);
    if (count < 3) misuse("face with fewer than 3 corners");
    fBlock_ += 'f';
    for (size_t i = 0; i < count; ++i) {
        const Corner& c = corners[i];
        fBlock_ += ' ';
        fBlock_ += std::to_string(c.v);
        if (c.vt || c.vn) {
            fBlock_ += '/';
            if (c.vt) fBlock_ += std::to_string(c.vt);
            if (c.vn) {
                fBlock_ += '/';
                fBlock_ += std::to_string(c.vn);
            }
        }
    }
    fBlock_ += '\n';
    materialsUsed_.insert(currentMaterial_);
    ++shapeFaces_;
    ++faces_;
    if (count >= 4) ++polygons_;
    triangles_ += count - 2;
}

}  // namespace demo_assets

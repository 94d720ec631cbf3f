#include "assets/model.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "assets/smoothing_normals.h"
#include "assets/texture.h"
#include "base/check.h"
#include "base/platform.h"

namespace {

constexpr char pathSeparator = '/';

using Corner = tinyobj::index_t;

// Whether every attribute of the face that conversion reads lies inside its
// array and the corner positions are finite numbers.
bool faceIsUsable(const tinyobj::attrib_t& attrib, const Corner* corners) {
    bool allTexcoords = true;
    bool allNormals = true;
    for (int c = 0; c < 3; ++c) {
        const int vi = corners[c].vertex_index;
        if (vi < 0 || 3 * static_cast<size_t>(vi) + 2 >= attrib.vertices.size()) return false;
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(attrib.vertices[3 * static_cast<size_t>(vi) + k])) return false;
        }
        allTexcoords = allTexcoords && corners[c].texcoord_index >= 0;
        allNormals = allNormals && corners[c].normal_index >= 0;
    }
    for (int c = 0; c < 3; ++c) {
        if (allTexcoords && !attrib.texcoords.empty() &&
            2 * static_cast<size_t>(corners[c].texcoord_index) + 1 >= attrib.texcoords.size()) {
            return false;
        }
        if (allNormals && !attrib.normals.empty() &&
            3 * static_cast<size_t>(corners[c].normal_index) + 2 >= attrib.normals.size()) {
            return false;
        }
    }
    return true;
}

// Colour component in [0, 1] to an integer; out-of-range values convert
// without wrapping and non-numbers become 0.
int32_t colourComponent(float c) {
    const float scaled = c * 255.0f;
    if (!(scaled == scaled)) return 0;
    if (scaled >= 2147483648.0f) return INT32_MAX;
    if (scaled <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

float colourOf(const tinyobj::attrib_t& attrib, size_t component) {
    return component < attrib.colors.size() ? attrib.colors[component] : 1.0f;
}

struct ShapeConversion {
    const tinyobj::attrib_t& attrib;
    const tinyobj::shape_t& shape;
    int flipV;
    Model& model;
};

Vertex cornerVertex(const ShapeConversion& sc, const Corner& corner, bool useTexcoords) {
    const tinyobj::attrib_t& attrib = sc.attrib;
    Vertex v{};
    const size_t vi = static_cast<size_t>(corner.vertex_index);
    for (int k = 0; k < 3; ++k) {
        v.position[k] = attrib.vertices[3 * vi + k];
        v.color[k] = colourComponent(colourOf(attrib, 3 * vi + k));
    }
    v.color[3] = 255;
    if (useTexcoords) {
        const size_t t = static_cast<size_t>(corner.texcoord_index);
        v.texcoord[0] = attrib.texcoords[2 * t];
        v.texcoord[1] = attrib.texcoords[2 * t + 1];
        if (sc.flipV == 1) v.texcoord[1] = 1.0f - v.texcoord[1];
    }
    return v;
}

void setNormal(Vertex& v, const glm::vec3& n) {
    v.normal[0] = n.x;
    v.normal[1] = n.y;
    v.normal[2] = n.z;
}

// Appends the three records of one face and widens the bounding box.
void convertFace(const ShapeConversion& sc, const Corner* corners, const std::map<int32_t, glm::vec3>& smoothing,
                 std::vector<Vertex>& out) {
    const tinyobj::attrib_t& attrib = sc.attrib;
    const bool useTexcoords = !attrib.texcoords.empty() && corners[0].texcoord_index >= 0 &&
                              corners[1].texcoord_index >= 0 && corners[2].texcoord_index >= 0;
    Vertex v[3];
    for (int c = 0; c < 3; ++c) v[c] = cornerVertex(sc, corners[c], useTexcoords);
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) {
            sc.model.bmin[k] = std::min(sc.model.bmin[k], v[c].position[k]);
            sc.model.bmax[k] = std::max(sc.model.bmax[k], v[c].position[k]);
        }
    }

    if (!attrib.normals.empty() && corners[0].normal_index >= 0 && corners[1].normal_index >= 0 &&
        corners[2].normal_index >= 0) {
        for (int c = 0; c < 3; ++c) {
            const size_t n = 3 * static_cast<size_t>(corners[c].normal_index);
            setNormal(v[c], {attrib.normals[n], attrib.normals[n + 1], attrib.normals[n + 2]});
        }
    } else if (!smoothing.empty()) {
        for (int c = 0; c < 3; ++c) setNormal(v[c], smoothing.at(corners[c].vertex_index));
    } else {
        const glm::vec3 p(v[0].position[0], v[0].position[1], v[0].position[2]);
        const glm::vec3 q(v[1].position[0], v[1].position[1], v[1].position[2]);
        const glm::vec3 r(v[2].position[0], v[2].position[1], v[2].position[2]);
        const glm::vec3 n = glm::cross(q - p, r - p);
        for (int c = 0; c < 3; ++c) setNormal(v[c], n);
    }
    out.insert(out.end(), v, v + 3);
}

// Cuts the shape's faces into runs of one material, one mesh per run.
void buildMeshes(const ShapeConversion& sc, size_t s, const std::vector<size_t>& faces,
                 const std::vector<Vertex>& vertices) {
    const std::vector<int>& ids = sc.shape.mesh.material_ids;
    auto materialOf = [&](size_t i) { return faces[i] < ids.size() ? ids[faces[i]] : -1; };
    if (faces.empty()) return;
    if (faces.size() == 1) {
        sc.model.meshes.push_back(makeMesh(vertices, materialOf(0)));
        std::printf("shape[%d] material_id %d\n", static_cast<int>(s), materialOf(0));
        return;
    }
    int current = materialOf(0);
    size_t first = 0;
    for (size_t i = 0; i <= faces.size(); ++i) {
        if (i < faces.size() && materialOf(i) == current) continue;
        Mesh mesh = makeMesh(std::vector<Vertex>(vertices.begin() + 3 * first, vertices.begin() + 3 * i), current);
        std::printf("shape[%d:%i] material_id %d,\t%d verts\n", static_cast<int>(s), static_cast<int>(i), current,
                    static_cast<int>(mesh.vertices.size()));
        sc.model.meshes.push_back(std::move(mesh));
        if (i < faces.size()) {
            current = materialOf(i);
            first = i;
        }
    }
}

void convertShape(const ShapeConversion& sc, size_t s, const std::string& path) {
    const std::vector<Corner>& indices = sc.shape.mesh.indices;
    const size_t faceCount = indices.size() / 3;
    std::vector<size_t> faces;
    faces.reserve(faceCount);
    for (size_t f = 0; f < faceCount; ++f) {
        if (faceIsUsable(sc.attrib, &indices[3 * f])) faces.push_back(f);
    }
    if (faces.size() != faceCount) {
        std::fprintf(
            stderr, "%s: shape %d \"%s\": left out %d faces with out-of-range indices or non-finite positions\n",
            path.c_str(), static_cast<int>(s), sc.shape.name.c_str(), static_cast<int>(faceCount - faces.size()));
    }

    std::map<int32_t, glm::vec3> smoothing;
    for (const unsigned group : sc.shape.mesh.smoothing_group_ids) {
        if (group == 0) continue;
        std::printf("Compute smoothingNormal for shape [%u]\n", static_cast<unsigned>(s));
        std::fflush(stdout);
        buildSmoothingNormals(sc.attrib, sc.shape, faces, smoothing);
        break;
    }

    std::vector<Vertex> vertices;
    vertices.reserve(3 * faces.size());
    for (const size_t f : faces) convertFace(sc, &indices[3 * f], smoothing, vertices);
    buildMeshes(sc, s, faces, vertices);
}

// The part of a texture name after its last '/' or '\', or after the drive
// letter of a name such as "C:wood.jpg".
std::string fileNameOf(const std::string& name) {
    const size_t last = name.find_last_of("/\\");
    if (last != std::string::npos) return name.substr(last + 1);
    const bool drive = name.size() > 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
    return drive ? name.substr(2) : name;
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The regular file in `directory` whose name is `fileName` in any letter
// case; of several, the first in byte order.
bool findIgnoringCase(const std::string& directory, const std::string& fileName, std::string& found) {
    std::string first;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string candidate = entry->path().filename().string();
        std::error_code typeError;
        if (!sameIgnoringCase(candidate, fileName) || !entry->is_regular_file(typeError)) continue;
        if (first.empty() || candidate < first) first = candidate;
    }
    if (first.empty()) return false;
    found = directory + first;
    return true;
}

// Finds a material texture as named, then inside the base directory; names
// written with backslashes are also tried with this platform's separator.
// Names written on Windows (absolute paths, another letter case) are then
// tried by their file name alone in the base directory, in any letter case.
bool locateTexture(const std::string& name, const std::string& baseDirectory, std::string& found) {
    std::string portable = name;
    for (char& c : portable) {
        if (c == '\\') c = pathSeparator;
    }
    for (const std::string& candidate : {name, baseDirectory + name, portable, baseDirectory + portable}) {
        if (canOpenFile(candidate)) {
            found = candidate;
            return true;
        }
    }
    const std::string fileName = fileNameOf(name);
    if (fileName.empty()) return false;
    if (canOpenFile(baseDirectory + fileName)) {
        found = baseDirectory + fileName;
        return true;
    }
    return findIgnoringCase(baseDirectory, fileName, found);
}

void loadTextures(Model& model, const std::string& baseDirectory, int buildMipmaps) {
    for (const tinyobj::material_t& material : model.materials) {
        const std::string& name = material.diffuse_texname;
        if (name.empty() || model.textures.count(name) != 0) continue;
        std::string path;
        if (!locateTexture(name, baseDirectory, path)) {
            std::fprintf(stderr, "Unable to find file: %s\n", name.c_str());
            exitProcess(1);
        }
        Texture* texture = loadTexture(path.c_str());
        if (buildMipmaps) generateMipmaps(texture);
        model.textures.emplace(name, texture);
    }
}

bool convertModel(Model& model, const std::string& path, int flipV, int buildMipmaps) {
    std::string baseDirectory = directoryOf(path);
    if (baseDirectory.empty()) baseDirectory = ".";
    baseDirectory += pathSeparator;

    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::string warn;
    std::string err;
    // The OBJ reader would take a directory for an empty file and wait on a
    // FIFO: whatever is there but is no regular file fails as a missing one.
    std::error_code statusError;
    const std::filesystem::file_type type = std::filesystem::status(path, statusError).type();
    const bool notAFile = !statusError && type != std::filesystem::file_type::regular;
    if (notAFile) err = "Cannot open file [" + path + "]\n";
    const bool loaded = !notAFile && tinyobj::LoadObj(&attrib, &shapes, &model.materials, &warn, &err, path.c_str(),
                                                      baseDirectory.c_str());
    if (!warn.empty()) std::fprintf(stderr, "%s\n", warn.c_str());
    if (!err.empty()) std::fprintf(stderr, "%s\n", err.c_str());
    if (!loaded) {
        std::fprintf(stderr, "Failed to load %s\n", path.c_str());
        return false;
    }

    std::printf("# of vertices  = %d\n", static_cast<int>(attrib.vertices.size() / 3));
    std::printf("# of normals   = %d\n", static_cast<int>(attrib.normals.size() / 3));
    std::printf("# of texcoords = %d\n", static_cast<int>(attrib.texcoords.size() / 2));
    std::printf("# of materials = %d\n", static_cast<int>(model.materials.size()));
    std::printf("# of shapes    = %d\n", static_cast<int>(shapes.size()));

    tinyobj::material_t fallback = tinyobj::material_t();
    fallback.name = "tinyobj_default";
    fallback.diffuse[0] = fallback.diffuse[1] = fallback.diffuse[2] = 1.0f;
    model.materials.push_back(fallback);
    for (size_t i = 0; i < model.materials.size(); ++i) {
        std::printf("material[%d].diffuse_texname = %s\n", static_cast<int>(i),
                    model.materials[i].diffuse_texname.c_str());
    }
    std::fflush(stdout);

    loadTextures(model, baseDirectory, buildMipmaps);

    model.bmin = glm::vec3(FLT_MAX);
    model.bmax = glm::vec3(-FLT_MAX);
    for (size_t s = 0; s < shapes.size(); ++s) {
        convertShape({attrib, shapes[s], flipV, model}, s, path);
    }
    resolveMeshTextures(model);
    std::printf("bmin = %f, %f, %f\n", model.bmin.x, model.bmin.y, model.bmin.z);
    std::printf("bmax = %f, %f, %f\n", model.bmax.x, model.bmax.y, model.bmax.z);
    std::fflush(stdout);
    return true;
}

}  // namespace

Model* loadModel(const std::string& path, int flipV, int buildMipmaps) {
    Model* model = new Model{};
    if (!convertModel(*model, path, flipV, buildMipmaps)) {
        std::fprintf(stderr, "Couldn't load model %s!\n", path.c_str());
        delete model;
        return nullptr;
    }
    return model;
}

void resolveMeshTextures(Model& model) {
    for (Mesh& mesh : model.meshes) {
        mesh.texture = nullptr;
        const int32_t id = mesh.material_id;
        if (id < 0 || static_cast<size_t>(id) >= model.materials.size()) continue;
        const auto entry = model.textures.find(model.materials[id].diffuse_texname);
        if (entry != model.textures.end()) mesh.texture = entry->second;
    }
}

void releaseModel(Model* model) {
    if (model == nullptr) return;
    for (auto& entry : model->textures) delete entry.second;
    delete model;
}

void shrinkModelTextures(Model& model) {
    for (auto& entry : model.textures) resize(entry.second);
}

std::string directoryOf(const std::string& path) {
    const size_t last = path.find_last_of("/\\");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

bool canOpenFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

// Larger demo scenes: K x K courtyards laid edge to edge on a square grid,
// the original where it always is and the others beyond its walls.
#pragma once

#include <string>

#include "obj_builder.h"

namespace demo_assets {

// Largest K: 16 courtyards, about 5 million triangles and 350 MB of OBJ text.
// Beyond that the file and the renderer's copy of it outgrow a small machine.
constexpr int kMaxCopies = 4;

// Reads the K of `--copies K`: decimal digits only, from 1 to kMaxCopies.
bool parseCopies(const std::string& text, int& copies);

// Builds the original courtyard, then the other K * K - 1 copies, each
// shifted by whole grid steps. The grid's cells run from -(K - 1) / 2 to
// K / 2 along x and z, so the original (cell 0, 0) is central for odd K and
// for even K has the extra row and column on the + side. With K = 1 the
// output is the original alone, as without the option.
void buildCourtyardGrid(ObjBuilder& b, int copies);

}  // namespace demo_assets

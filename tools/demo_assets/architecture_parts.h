// Reusable architectural pieces: columns, arched wall bays, groin vault cells
// and gallery wall bays. They emit faces only; the caller chooses the shape.
#pragma once

#include <string>

#include "courtyard_layout.h"
#include "obj_builder.h"

namespace demo_assets {

struct ColumnStyle {
    double plinthHalf, plinthHeight;
    double baseRadius, baseHeight;  // moulded base above the plinth
    double shaftBottom, shaftTop;   // shaft radii (slight taper)
    double shaftHeight;
    double capitalRadius, capitalHeight;
    double abacusHalf, abacusHeight;
    int segments, shaftRings;
    int flutes;  // 0 = smooth shaft
    const char* shaftMaterial;
    const char* trimMaterial;   // base and capital
    const char* blockMaterial;  // plinth and abacus
};

ColumnStyle groundColumnStyle();
ColumnStyle upperColumnStyle();
// Total height from the bottom of the plinth to the top of the abacus.
double columnHeight(const ColumnStyle& c);

void emitColumn(ObjBuilder& b, Vec3 base, const ColumnStyle& c);

struct ArchBay {
    double centre;       // s of the bay centre
    double halfWidth;    // half the bay (column axis to column axis)
    double radius;       // intrados radius
    double bandWidth;    // voussoir band width outside the intrados
    double spring, top;  // spring line and top of the wall
    double thickness;    // wall thickness, centred on the column line
    int segments;        // around the half circle
    double stones;       // voussoir count across the arch
};

// Court face of the wall over one arch (voussoir band and plaster), the
// intrados, and a half-round moulding around the band.
void emitArchBay(ObjBuilder& b, const SideFrame& f, const ArchBay& a);

// Groin vault over the rectangle origin + u*[0,lenU] + v*[0,lenV] (u, v
// horizontal unit vectors), springing at `spring`, seen from below.
void emitVaultCell(ObjBuilder& b, Vec3 origin, Vec3 u, double lenU, Vec3 v, double lenV, double spring, double rise,
                   int cellsU, int cellsV);
// Height of a vault profile of the given rise at fraction t of its span.
double vaultProfile(double t, double rise);

// One bay of the gallery's back wall (facing the court, at d = depth) whose
// top follows the vault's lunette. With `door`, a recessed door in the middle.
void emitBackWallBay(ObjBuilder& b, const SideFrame& f, double s0, double s1, double depth, bool door);

}  // namespace demo_assets

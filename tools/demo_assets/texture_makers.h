// The individual texture painters; modelTextures() lists them with their
// file names, formats and sizes. Each takes the texture's side in texels.
#pragma once

#include "image.h"

namespace demo_assets {

// Architecture.
Image paintFloorTiles(int s);
Image paintGalleryStone(int s);
Image paintMarbleWhite(int s);
Image paintMarbleRose(int s);
Image paintGilded(int s);
Image paintVoussoir(int s);
Image paintPlaster(int s);
Image paintBricks(int s);
Image paintFresco(int s);
Image paintVaultStars(int s);
Image paintCornice(int s);
Image paintMosaic(int s);
Image paintSteps(int s);
Image paintRiserTiles(int s);

// Props.
Image paintDoorWood(int s);
Image paintWood(int s);
Image paintGranite(int s);
Image paintCeramic(int s);
Image paintTerracotta(int s);
Image paintSoil(int s);
Image paintWater(int s);

// Cut-outs: alpha is only ever 0 or 255.
Image paintLeaves(int s);
Image paintFern(int s);
Image paintCurtainRed(int s);
Image paintCurtainBlue(int s);
Image paintLattice(int s);

}  // namespace demo_assets

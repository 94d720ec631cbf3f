#include "textures.h"

#include "texture_makers.h"

namespace demo_assets {

const std::vector<TextureSpec>& modelTextures() {
    static const std::vector<TextureSpec> specs = {
        {"floor_tiles", ImageFormat::Png, 256, false, paintFloorTiles},
        {"gallery_stone", ImageFormat::Bmp, 256, false, paintGalleryStone},
        {"marble_white", ImageFormat::Tga, 256, false, paintMarbleWhite},
        {"marble_rose", ImageFormat::Png, 256, false, paintMarbleRose},
        {"gilded", ImageFormat::Bmp, 128, false, paintGilded},
        {"voussoir", ImageFormat::Png, 256, false, paintVoussoir},
        {"plaster", ImageFormat::Tga, 256, false, paintPlaster},
        {"bricks", ImageFormat::Bmp, 256, false, paintBricks},
        {"fresco", ImageFormat::Png, 512, false, paintFresco},
        {"vault_stars", ImageFormat::Tga, 256, false, paintVaultStars},
        {"cornice", ImageFormat::Bmp, 128, false, paintCornice},
        {"door_wood", ImageFormat::Png, 256, false, paintDoorWood},
        {"wood", ImageFormat::Tga, 128, false, paintWood},
        {"granite", ImageFormat::Bmp, 128, false, paintGranite},
        {"ceramic", ImageFormat::Png, 256, false, paintCeramic},
        {"terracotta", ImageFormat::Tga, 128, false, paintTerracotta},
        {"soil", ImageFormat::Bmp, 128, false, paintSoil},
        {"leaves", ImageFormat::Png, 256, true, paintLeaves},
        {"fern", ImageFormat::Tga, 256, true, paintFern},
        {"curtain_red", ImageFormat::Png, 256, true, paintCurtainRed},
        {"curtain_blue", ImageFormat::Tga, 256, true, paintCurtainBlue},
        {"lattice", ImageFormat::Png, 128, true, paintLattice},
        {"mosaic", ImageFormat::Bmp, 512, false, paintMosaic},
        {"steps", ImageFormat::Png, 256, false, paintSteps},
        {"riser_tiles", ImageFormat::Bmp, 256, false, paintRiserTiles},
        {"water", ImageFormat::Tga, 128, false, paintWater},
    };
    return specs;
}

}  // namespace demo_assets

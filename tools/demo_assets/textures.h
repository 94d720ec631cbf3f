// Procedural texture images: the model's material textures and the two
// stand-alone pictures (default texture and the cube's texture).
#pragma once

#include <string>
#include <vector>

#include "image.h"

namespace demo_assets {

struct TextureSpec {
    std::string stem;  // file name without extension, under textures/
    ImageFormat format;
    int size;     // square, texels per side
    bool cutout;  // has alpha-0 holes (alpha is only ever 0 or 255)
    Image (*make)(int size);

    std::string fileName() const { return stem + "." + formatExtension(format); }
};

// All textures used by the courtyard model's materials.
const std::vector<TextureSpec>& modelTextures();

// Neutral light pattern bound to meshes whose material has no texture.
Image makeDefaultTexture(int size);
// Bold, colourful picture for the tumbling cube; its top-left corner is marked
// and an arrow points to the top edge so orientation reads while spinning.
Image makeCubeTexture(int size);

}  // namespace demo_assets

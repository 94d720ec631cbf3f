// The two stand-alone pictures: the default texture and the cube's texture.
#include <vector>

#include "textures.h"

namespace demo_assets {

Image makeDefaultTexture(int s) {
    Image img(s, s);
    const int cell = s / 8;
    img.forEach([&](int x, int y, Rgba& c) {
        bool odd = ((x / cell) + (y / cell)) % 2 == 1;
        c = odd ? rgb(214, 212, 206) : rgb(236, 234, 228);
    });
    return img;
}

Image makeCubeTexture(int s) {
    // White frame around a blue field with diagonal stripes (motion cues
    // while spinning).
    Image img(s, s, rgb(245, 245, 245));
    const int b = s / 16;
    img.forEach([&](int x, int y, Rgba& c) {
        if (x >= b && y >= b && x < s - b && y < s - b)
            c = ((x + y) / (s / 8)) % 2 == 0 ? rgb(40, 70, 200) : rgb(24, 44, 170);
    });
    img.fillRect(0, 0, s, b, rgb(230, 30, 40));  // top edge is red
    // Marked top-left corner: yellow quarter disc with a red dot.
    img.fillEllipse(0, 0, s * 0.34, s * 0.34, 0, rgb(255, 214, 0), false);
    img.fillEllipse(s * 0.12, s * 0.12, s * 0.06, s * 0.06, 0, rgb(230, 30, 40));
    // Small green square in the opposite corner.
    img.fillRect(s - b - s / 8, s - b - s / 8, s - b, s - b, rgb(40, 200, 80));
    // Big orange arrow pointing to the top edge, outlined in black.
    auto arrow = [&](double grow) {
        return std::vector<Vec2>{{s * 0.5, s * 0.14 - grow},
                                 {s * 0.80 + grow, s * 0.46 + grow * 0.4},
                                 {s * 0.61 + grow, s * 0.46 + grow * 0.4},
                                 {s * 0.61 + grow, s * 0.86 + grow},
                                 {s * 0.39 - grow, s * 0.86 + grow},
                                 {s * 0.39 - grow, s * 0.46 + grow * 0.4},
                                 {s * 0.20 - grow, s * 0.46 + grow * 0.4}};
    };
    img.fillPolygon(arrow(s * 0.025), rgb(10, 10, 10));
    img.fillPolygon(arrow(0), rgb(255, 140, 0));
    return img;
}

}  // namespace demo_assets

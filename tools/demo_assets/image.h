// RGBA8 canvas with the few drawing primitives the procedural textures need,
// plus encoders to PNG, TGA and BMP bytes (through stb_image_write).
//
// Row 0 is the top of the picture. Shapes can be drawn "wrapped" so that a
// texture repeating across a surface shows no seams.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vec.h"

namespace demo_assets {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

Rgba rgb(int r, int g, int b);
// Linear blend of two colours; t is clamped to [0, 1]. Alpha is blended too.
Rgba mix(Rgba a, Rgba b, double t);
// Multiplies the colour channels by `f` (clamped), keeping alpha.
Rgba scale(Rgba c, double f);

class Image {
public:
    Image(int width, int height, Rgba fill = Rgba{});

    int width() const { return w_; }
    int height() const { return h_; }
    const std::vector<uint8_t>& pixels() const { return px_; }

    Rgba get(int x, int y) const;
    void set(int x, int y, Rgba c);
    // Writes with coordinates taken modulo the image size.
    void setWrapped(int x, int y, Rgba c);

    // Calls `f(x, y, pixel)` for every pixel so it can be recoloured.
    void forEach(const std::function<void(int, int, Rgba&)>& f);

    // Axis-aligned rectangle [x0, x1) x [y0, y1), wrapped.
    void fillRect(int x0, int y0, int x1, int y1, Rgba c);
    // Filled ellipse centred at (cx, cy), rotated by `angle` radians; wrapped
    // unless `wrap` is false (then clipped at the borders).
    void fillEllipse(double cx, double cy, double rx, double ry, double angle, Rgba c, bool wrap = true);
    // Filled polygon (even-odd rule) sampled at pixel centres, not wrapped.
    void fillPolygon(const std::vector<Vec2>& pts, Rgba c);
    // Thick line segment with round caps, wrapped.
    void drawLine(double x0, double y0, double x1, double y1, double thickness, Rgba c);

    bool hasTransparency() const;

private:
    int w_, h_;
    std::vector<uint8_t> px_;
};

enum class ImageFormat { Png, Tga, Bmp };

// File name extension (without dot) of a format.
const char* formatExtension(ImageFormat f);

// Encodes the image. Opaque images are stored as RGB, images with any
// non-opaque texel as RGBA. Returns false if the encoder failed.
bool encodeImage(const Image& img, ImageFormat format, std::vector<uint8_t>& out);

}  // namespace demo_assets

#include "image.h"

#include <algorithm>
#include <cmath>

#include <stb/stb_image_write.h>

namespace demo_assets {

static uint8_t clampByte(double v) {
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return uint8_t(std::lround(v));
}

Rgba rgb(int r, int g, int b) { return Rgba{uint8_t(r), uint8_t(g), uint8_t(b), 255}; }

Rgba mix(Rgba a, Rgba b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return Rgba{clampByte(a.r + (b.r - a.r) * t), clampByte(a.g + (b.g - a.g) * t), clampByte(a.b + (b.b - a.b) * t),
                clampByte(a.a + (b.a - a.a) * t)};
}

Rgba scale(Rgba c, double f) { return Rgba{clampByte(c.r * f), clampByte(c.g * f), clampByte(c.b * f), c.a}; }

Image::Image(int width, int height, Rgba fill) : w_(width), h_(height), px_(size_t(width) * height * 4) {
    for (size_t i = 0; i < px_.size(); i += 4) {
        px_[i] = fill.r;
        px_[i + 1] = fill.g;
        px_[i + 2] = fill.b;
        px_[i + 3] = fill.a;
    }
}

Rgba Image::get(int x, int y) const {
    size_t i = (size_t(y) * w_ + x) * 4;
    return Rgba{px_[i], px_[i + 1], px_[i + 2], px_[i + 3]};
}

void Image::set(int x, int y, Rgba c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    size_t i = (size_t(y) * w_ + x) * 4;
    px_[i] = c.r;
    px_[i + 1] = c.g;
    px_[i + 2] = c.b;
    px_[i + 3] = c.a;
}

void Image::setWrapped(int x, int y, Rgba c) {
    x %= w_;
    y %= h_;
    if (x < 0) x += w_;
    if (y < 0) y += h_;
    set(x, y, c);
}

void Image::forEach(const std::function<void(int, int, Rgba&)>& f) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            Rgba c = get(x, y);
            f(x, y, c);
            set(x, y, c);
        }
    }
}

void Image::fillRect(int x0, int y0, int x1, int y1, Rgba c) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) setWrapped(x, y, c);
}

void Image::fillEllipse(double cx, double cy, double rx, double ry, double angle, Rgba c, bool wrap) {
    double ca = std::cos(angle), sa = std::sin(angle);
    double reach = std::max(rx, ry) + 1;
    int x0 = int(std::floor(cx - reach)), x1 = int(std::ceil(cx + reach));
    int y0 = int(std::floor(cy - reach)), y1 = int(std::ceil(cy + reach));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            double u = (dx * ca + dy * sa) / rx, v = (-dx * sa + dy * ca) / ry;
            if (u * u + v * v > 1.0) continue;
            if (wrap)
                setWrapped(x, y, c);
            else
                set(x, y, c);
        }
    }
}

void Image::fillPolygon(const std::vector<Vec2>& pts, Rgba c) {
    if (pts.size() < 3) return;
    for (int y = 0; y < h_; ++y) {
        double py = y + 0.5;
        std::vector<double> xs;
        for (size_t i = 0; i < pts.size(); ++i) {
            Vec2 a = pts[i], b = pts[(i + 1) % pts.size()];
            if ((a.y <= py && b.y > py) || (b.y <= py && a.y > py)) {
                xs.push_back(a.x + (py - a.y) / (b.y - a.y) * (b.x - a.x));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            int xa = int(std::ceil(xs[i] - 0.5)), xb = int(std::floor(xs[i + 1] - 0.5));
            for (int x = std::max(xa, 0); x <= std::min(xb, w_ - 1); ++x) set(x, y, c);
        }
    }
}

void Image::drawLine(double x0, double y0, double x1, double y1, double thickness, Rgba c) {
    double r = thickness * 0.5;
    int bx0 = int(std::floor(std::min(x0, x1) - r)), bx1 = int(std::ceil(std::max(x0, x1) + r));
    int by0 = int(std::floor(std::min(y0, y1) - r)), by1 = int(std::ceil(std::max(y0, y1) + r));
    double dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    for (int y = by0; y <= by1; ++y) {
        for (int x = bx0; x <= bx1; ++x) {
            double px = x + 0.5 - x0, py = y + 0.5 - y0;
            double t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
            double ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= r * r) setWrapped(x, y, c);
        }
    }
}

bool Image::hasTransparency() const {
    for (size_t i = 3; i < px_.size(); i += 4)
        if (px_[i] != 255) return true;
    return false;
}

const char* formatExtension(ImageFormat f) {
    switch (f) {
        case ImageFormat::Png:
            return "png";
        case ImageFormat::Tga:
            return "tga";
        case ImageFormat::Bmp:
            return "bmp";
    }
    return "bin";
}

static void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const auto* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool encodeImage(const Image& img, ImageFormat format, std::vector<uint8_t>& out) {
    out.clear();
    const int comp = img.hasTransparency() ? 4 : 3;
    std::vector<uint8_t> packed;
    const std::vector<uint8_t>* data = &img.pixels();
    if (comp == 3) {
        packed.reserve(size_t(img.width()) * img.height() * 3);
        const auto& px = img.pixels();
        for (size_t i = 0; i < px.size(); i += 4) packed.insert(packed.end(), {px[i], px[i + 1], px[i + 2]});
        data = &packed;
    }
    int ok = 0;
    switch (format) {
        case ImageFormat::Png:
            ok = stbi_write_png_to_func(appendBytes, &out, img.width(), img.height(), comp, data->data(),
                                        img.width() * comp);
            break;
        case ImageFormat::Tga:
            ok = stbi_write_tga_to_func(appendBytes, &out, img.width(), img.height(), comp, data->data());
            break;
        case ImageFormat::Bmp:
            ok = stbi_write_bmp_to_func(appendBytes, &out, img.width(), img.height(), comp, data->data());
            break;
    }
    return ok != 0 && !out.empty();
}

}  // namespace demo_assets

#include "tools/render/image_files.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <stb/stb_image_write.h>

bool imageFormatOf(const std::string& path, ImageFormat& format) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const struct {
        const char* extension;
        ImageFormat format;
    } known[] = {{"png", ImageFormat::png}, {"bmp", ImageFormat::bmp}, {"tga", ImageFormat::tga}};
    for (const auto& k : known) {
        if (extension == k.extension) {
            format = k.format;
            return true;
        }
    }
    return false;
}

std::string whyNotWritable(const std::string& path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return std::strerror(EISDIR);
    std::string directory = std::filesystem::path(path).parent_path().string();
    if (directory.empty()) directory = ".";
    if (access(directory.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    return "";
}

namespace {

void appendBytes(void* context, void* data, int size) {
    std::vector<uint8_t>& out = *static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

bool encode(ImageFormat format, int width, int height, int channels, const uint8_t* pixels,
            std::vector<uint8_t>& bytes) {
    switch (format) {
        case ImageFormat::png:
            return stbi_write_png_to_func(appendBytes, &bytes, width, height, channels, pixels, width * channels);
        case ImageFormat::bmp:
            return stbi_write_bmp_to_func(appendBytes, &bytes, width, height, channels, pixels);
        case ImageFormat::tga:
            return stbi_write_tga_to_func(appendBytes, &bytes, width, height, channels, pixels);
    }
    return false;
}

}  // namespace

bool writeImageFile(const OutputFile& file, int width, int height, int channels, const uint8_t* pixels,
                    std::string& reason) {
    std::vector<uint8_t> bytes;
    if (!encode(file.format, width, height, channels, pixels, bytes)) {
        reason = "the image could not be encoded";
        return false;
    }
    std::FILE* out = std::fopen(file.path.c_str(), "wb");
    if (out == nullptr) {
        reason = std::strerror(errno);
        return false;
    }
    // The buffered bytes may only reach the file at fclose, which then
    // reports the failure.
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int writeError = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        reason = std::strerror(written ? errno : writeError);
        return false;
    }
    return true;
}

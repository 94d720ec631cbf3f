#pragma once

// Image files written by scanweaver-render: the format follows the file
// name, and failures carry the system's reason.

#include <cstdint>
#include <string>

enum class ImageFormat { png, bmp, tga };

// An image file to write; an empty path means none was asked for.
struct OutputFile {
    std::string path;
    ImageFormat format = ImageFormat::png;
};

// The format named by the path's extension (.png, .bmp or .tga, in any
// letter case); false for any other ending.
bool imageFormatOf(const std::string& path, ImageFormat& format);

// Why the file cannot be written, as far as that shows without writing it
// (its directory is missing or closed to us, or it is a directory itself);
// empty when nothing stands in the way.
std::string whyNotWritable(const std::string& path);

// Writes width x height pixels of `channels` bytes each (1 grey, 4 RGBA),
// replacing the file. On failure returns false and sets `reason`.
bool writeImageFile(const OutputFile& file, int width, int height, int channels, const uint8_t* pixels,
                    std::string& reason);

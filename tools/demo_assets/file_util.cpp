#include "file_util.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace demo_assets {

bool makeDirectories(const std::string& dir, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        error = "cannot create directory '" + dir + "': " + (ec ? ec.message() : "not a directory");
        return false;
    }
    return true;
}

bool writeFileBytes(const std::string& path, const void* bytes, size_t size, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot open '" + path + "' for writing: " + std::strerror(errno);
        return false;
    }
    size_t written = size ? std::fwrite(bytes, 1, size, f) : 0;
    int closeResult = std::fclose(f);
    if (written != size || closeResult != 0) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    return writeFileBytes(path, bytes.data(), bytes.size(), error);
}

bool writeFileText(const std::string& path, const std::string& text, std::string& error) {
    return writeFileBytes(path, text.data(), text.size(), error);
}

std::string joinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (a.back() == '/') return a + b;
    return a + "/" + b;
}

}  // namespace demo_assets

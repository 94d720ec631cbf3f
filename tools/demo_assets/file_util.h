// Directory creation and whole-file writes with readable error messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo_assets {

// Creates `dir` and any missing parents. On failure returns false and sets
// `error` to a one-line message naming the directory.
bool makeDirectories(const std::string& dir, std::string& error);

// Writes `bytes` to `path`, replacing any existing file. On failure returns
// false and sets `error` to a one-line message naming the file.
bool writeFileBytes(const std::string& path, const void* bytes, size_t size, std::string& error);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
bool writeFileText(const std::string& path, const std::string& text, std::string& error);

// Joins two path pieces with a single '/'.
std::string joinPath(const std::string& a, const std::string& b);

}  // namespace demo_assets

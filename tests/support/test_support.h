#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "text/text.h"

namespace lanque::test {

// A fresh folder under the build's test-tmp folder (or the system temp folder), removed again at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// UTF-8 text from a u8"..." literal (narrow literals of ours are compiled to GBK).
std::string Utf8(std::u8string_view text);

// Whole file contents; empty when it cannot be read.
Bytes ReadFileBytes(const std::filesystem::path& path);
// Writes the bytes, replacing the file; false when that fails.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace lanque::test

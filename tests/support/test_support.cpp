#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace lanque::test {

TempDir::TempDir() {
    const char* root = std::getenv("LANQUE_TEST_TMP");
    std::filesystem::path base = root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
    std::random_device device;
    std::mt19937_64 random(device());
    for (;;) {
        m_path = base / ("lanque-" + std::to_string(random()));
        std::error_code error;
        std::filesystem::create_directories(base, error);
        if (std::filesystem::create_directory(m_path, error)) {
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string Utf8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

Bytes ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace lanque::test

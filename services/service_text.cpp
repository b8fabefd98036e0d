#include "services/service_text.h"

#include <array>
#include <cstdio>

namespace lanque::services {

namespace {

constexpr uint32_t kStrayByte = 0x110000;

// Length of the well-formed sequence starting at i, or 0 when there is none.
size_t SequenceLength(std::string_view s, size_t i, uint32_t& point) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    size_t length = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    point = value;
    return length;
}

void AppendUtf8(std::string& out, uint32_t point) {
    if (point >= kStrayByte) {
        out.push_back(static_cast<char>(point - kStrayByte));
    } else if (point < 0x80) {
        out.push_back(static_cast<char>(point));
    } else if (point < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (point >> 6)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else if (point < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (point >> 12)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (point >> 18)));
        out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
    }
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::vector<uint32_t> CodePoints(std::string_view utf8) {
    std::vector<uint32_t> points;
    points.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t point = 0;
        const size_t length = SequenceLength(utf8, i, point);
        if (length == 0) {
            points.push_back(kStrayByte + static_cast<unsigned char>(utf8[i]));
            ++i;
        } else {
            points.push_back(point);
            i += length;
        }
    }
    return points;
}

std::string FromCodePoints(const std::vector<uint32_t>& points) {
    std::string out;
    out.reserve(points.size() * 3);
    for (uint32_t point : points) {
        AppendUtf8(out, point);
    }
    return out;
}

bool IsUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        uint32_t point = 0;
        const size_t length = SequenceLength(bytes, i, point);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

bool Base64Decode(std::string_view text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        std::array<int, 4> values{};
        for (size_t k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                values[k] = 0;
                ++padding;
                continue;
            }
            if (padding > 0 || (values[k] = Base64Value(c)) < 0) {
                return false;  // a character outside the alphabet, or data after the padding
            }
        }
        const uint32_t group = (values[0] << 18) | (values[1] << 12) | (values[2] << 6) | values[3];
        bytes.push_back(static_cast<char>(group >> 16));
        if (padding < 2) bytes.push_back(static_cast<char>((group >> 8) & 0xFF));
        if (padding < 1) bytes.push_back(static_cast<char>(group & 0xFF));
    }
    return true;
}

bool FormField(std::string_view body, std::string_view name, std::string& value) {
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string_view::npos) {
            end = body.size();
        }
        const std::string_view item = body.substr(start, end - start);
        const size_t equals = item.find('=');
        if (equals != std::string_view::npos && item.substr(0, equals) == name) {
            value = std::string(item.substr(equals + 1));
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                    out += escape;
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

uint64_t Mix64(uint64_t value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

uint64_t HashText(std::string_view text) {
    uint64_t hash = 0xCBF29CE484222325ULL;
    for (char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    return Mix64(hash);
}

}  // namespace lanque::services

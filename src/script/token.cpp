#include "script/token.h"

#include <string>

#include "text/encodings.h"

namespace lanque {

const std::string_view kTokenScript =
    "function tkMix(a, ops) {\n"
    "  for (var i = 0; i + 2 < ops.length; i += 3) {\n"
    "    var c = ops.charAt(i + 2);\n"
    "    var n = c >= 'a' ? c.charCodeAt(0) - 87 : Number(c);\n"
    "    var t = ops.charAt(i + 1) == '+' ? a >>> n : a << n;\n"
    "    a = ops.charAt(i) == '+' ? (a + t) & 4294967295 : a ^ t;\n"
    "  }\n"
    "  return a;\n"
    "}\n"
    "function tk(text) {\n"
    "  var h = Number('406398'), k = 561666268 + 1526272306, bytes = [];\n"
    "  for (var i = 0; i < text.length; i++) {\n"
    "    var u = text.charCodeAt(i);\n"
    "    if (u < 128) { bytes.push(u); }\n"
    "    else if (u < 2048) { bytes.push(u >> 6 | 192, u & 63 | 128); }\n"
    "    else if ((u & 64512) == 55296 && i + 1 < text.length && (text.charCodeAt(i + 1) & 64512) == 56320) {\n"
    "      u = 65536 + ((u & 1023) << 10) + (text.charCodeAt(++i) & 1023);\n"
    "      bytes.push(u >> 18 | 240, u >> 12 & 63 | 128, u >> 6 & 63 | 128, u & 63 | 128);\n"
    "    } else { bytes.push(u >> 12 | 224, u >> 6 & 63 | 128, u & 63 | 128); }\n"
    "  }\n"
    "  var a = h;\n"
    "  for (var j = 0; j < bytes.length; j++) { a = tkMix(a + bytes[j], '+-a^+6'); }\n"
    "  a = tkMix(a, '+-3^+b+-f');\n"
    "  a ^= k;\n"
    "  if (a < 0) { a = (a & 2147483647) + 2147483648; }\n"
    "  a %= 1000000;\n"
    "  return a.toString() + '.' + (a ^ h);\n"
    "}\n";

namespace {

void AppendByte(Bytes& out, std::uint32_t value) { out.push_back(static_cast<char>(value & 0xFF)); }

// Code points of a UTF-8 text as UTF-16 units. The input comes from iconv, so it is well formed apart from
// the "?" it puts in for bytes it could not read; a broken sequence still gives "?" here.
std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string units;
    units.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > utf8.size()) {
            units.push_back(u'?');
            ++i;
            continue;
        }
        std::uint32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            point = (point << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (point >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (point & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(point));
        }
        i += length;
    }
    return units;
}

}  // namespace

Bytes TokenBytesOfUtf16(std::u16string_view units) {
    Bytes out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u < 0x80) {
            AppendByte(out, u);
        } else if (u < 0x800) {
            AppendByte(out, (u >> 6) | 0xC0);
            AppendByte(out, (u & 0x3F) | 0x80);
        } else if ((u & 0xFC00) == 0xD800 && i + 1 < units.size() && (units[i + 1] & 0xFC00) == 0xDC00) {
            u = 0x10000 + ((u & 0x3FF) << 10) + (units[++i] & 0x3FF);
            AppendByte(out, (u >> 18) | 0xF0);
            AppendByte(out, ((u >> 12) & 0x3F) | 0x80);
            AppendByte(out, ((u >> 6) & 0x3F) | 0x80);
            AppendByte(out, (u & 0x3F) | 0x80);
        } else {
            AppendByte(out, (u >> 12) | 0xE0);
            AppendByte(out, ((u >> 6) & 0x3F) | 0x80);
            AppendByte(out, (u & 0x3F) | 0x80);
        }
    }
    return out;
}

std::uint32_t TokenMix(std::uint32_t a, std::string_view ops) {
    for (std::size_t i = 0; i + 2 < ops.size(); i += 3) {
        const char c = ops[i + 2];
        // "a".."f" count 10..15; a digit counts its value. Shifts are taken modulo 32, as the script's are.
        const unsigned count = static_cast<unsigned>(c >= 'a' ? c - 87 : c - '0') & 31;
        const std::uint32_t t = ops[i + 1] == '+' ? a >> count : a << count;
        a = ops[i] == '+' ? a + t : a ^ t;
    }
    return a;
}

Text TokenOfBytes(std::string_view bytes) {
    std::uint32_t a = kTokenH;
    for (char b : bytes) {
        a = TokenMix(a + static_cast<unsigned char>(b), "+-a^+6");
    }
    a = TokenMix(a, "+-3^+b+-f");
    a ^= kTokenK;
    a %= 1000000;  // already unsigned: the script's sign fix-up gives the same number
    return std::to_string(a) + "." + std::to_string(a ^ kTokenH);
}

Text TokenOfUtf16(std::u16string_view units) { return TokenOfBytes(TokenBytesOfUtf16(units)); }

std::u16string GbkToUtf16(std::string_view gbk) { return Utf8ToUtf16(GbkToUtf8(gbk)); }

Text TokenOfText(std::string_view gbk) { return TokenOfUtf16(GbkToUtf16(gbk)); }

}  // namespace lanque

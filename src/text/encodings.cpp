#include "text/encodings.h"

#include <iconv.h>
#include <openssl/evp.h>

#include <cerrno>
#include <memory>

#include "text/gbk.h"

namespace lanque {

namespace {

// One iconv descriptor per call: an iconv_t must not be shared between threads.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(m_cd);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Length of the character at the start of a UTF-8 text: 1 for an invalid lead or a broken sequence.
std::size_t Utf8SequenceLength(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(*p);
    const std::size_t length = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    if (length > left) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

// How many input bytes one "?" stands for when iconv stops: the whole character when the source is
// UTF-8 or GBK (so an unrepresentable character becomes one "?"), one byte otherwise.
std::size_t SkippedLength(const char* from, const char* p, std::size_t left) {
    const std::string_view name(from);
    if (name == "UTF-8") {
        return Utf8SequenceLength(p, left);
    }
    if (name == "GBK" || name == "GB2312" || name == "CP936") {
        return GbkCharLength(std::string_view(p, left), 0);
    }
    return 1;
}

Text ConvertDirect(std::string_view input, const char* from, const char* to) {
    if (input.empty()) {
        return {};
    }
    IconvHandle cd(to, from);
    if (!cd.valid()) {
        return Text(input);
    }
    Text out;
    out.resize(input.size() * 2 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else if (errno == EILSEQ) {
            // A byte the source cannot decode, or a character the target cannot hold: the target
            // gets "?" for it and the walk goes on after it.
            if (out.size() - written < 1) {
                out.resize(out.size() * 2);
            }
            out[written++] = '?';
            const std::size_t skipped = SkippedLength(from, in, inLeft);
            in += skipped;
            inLeft -= skipped;
        } else {  // EINVAL: an incomplete sequence at the end of the input
            break;
        }
    }
    // Some converters hold back the last character until they are flushed.
    for (;;) {
        char* outPtr = out.data() + written;
        std::size_t outLeft = out.size() - written;
        const std::size_t rc = iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
        written = out.size() - outLeft;
        if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) {
            break;
        }
        out.resize(out.size() * 2);
    }
    out.resize(written);
    return out;
}

bool IsUtf8Name(const char* name) {
    return AsciiEqualsIgnoreCase(name, "UTF-8") || AsciiEqualsIgnoreCase(name, "UTF8");
}

}  // namespace

Text ConvertCodePage(std::string_view input, const char* from, const char* to) {
    if (IsUtf8Name(from) || IsUtf8Name(to)) {
        return ConvertDirect(input, from, to);
    }
    // Between two other code pages through UTF-8: some of glibc's direct modules (GB2312 to GBK)
    // drop a two-byte character at the very end of the input.
    return ConvertDirect(ConvertDirect(input, from, "UTF-8"), "UTF-8", to);
}

Text GbkToUtf8(std::string_view gbk) { return ConvertCodePage(gbk, "GBK", "UTF-8"); }
Text Utf8ToGbk(std::string_view utf8) { return ConvertCodePage(utf8, "UTF-8", "GBK"); }
Text Utf8ToGb2312(std::string_view utf8) { return ConvertCodePage(utf8, "UTF-8", "GB2312"); }

Text Base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Text out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(kAlphabet[(v >> 6) & 63]);
        out.push_back(kAlphabet[v & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) {
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        }
        out.push_back(kAlphabet[(v >> 18) & 63]);
        out.push_back(kAlphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

Text Md5Hex(std::string_view bytes, bool upperCase, bool middleHalf) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1 || length != 16) {
        return {};
    }
    Text hex;
    hex.reserve(32);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kHexDigits[digest[i] >> 4]);
        hex.push_back(kHexDigits[digest[i] & 15]);
    }
    if (!upperCase) {
        hex = AsciiLowered(hex);
    }
    return middleHalf ? hex.substr(8, 16) : hex;
}

Text UrlEncode(std::string_view text, bool keepUnreserved, bool asUtf8) {
    if (text.empty()) {
        return {};
    }
    const Text utf8 = asUtf8 ? GbkToUtf8(text) : Text();
    const std::string_view bytes = asUtf8 ? std::string_view(utf8) : text;
    // Written into a buffer of the largest size, then cut to what was written.
    Text out(bytes.size() * 3, '\0');
    char* p = out.data();
    for (char c : bytes) {
        const bool unreserved =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (keepUnreserved && unreserved) {
            *p++ = c;
        } else {
            const auto b = static_cast<unsigned char>(c);
            *p++ = '%';
            *p++ = kHexDigits[b >> 4];
            *p++ = kHexDigits[b & 15];
        }
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
    return out;
}

Text UrlDecode(std::string_view text, bool fromUtf8) {
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            // A "%" without two hex digits after it is copied unchanged.
            out.push_back(text[i]);
        }
    }
    return fromUtf8 ? Utf8ToGbk(out) : out;
}

}  // namespace lanque

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Small UTF-8 helpers of the reference services. The services speak UTF-8 throughout; the program's own
// narrow literals are GBK, so every Chinese text of the services is written u8"..." and passed through U8.
namespace lanque::services {

// A u8"..." literal as a std::string of its UTF-8 bytes.
std::string U8(std::u8string_view text);

// The code points of a UTF-8 text; a byte that does not start a valid sequence counts as one unit of its own
// (its value plus 0x110000), so that every input is walked to its end and rebuilt byte for byte.
std::vector<uint32_t> CodePoints(std::string_view utf8);
std::string FromCodePoints(const std::vector<uint32_t>& points);
// True when the bytes are well-formed UTF-8.
bool IsUtf8(std::string_view bytes);

// Standard Base64 (RFC 4648) back to bytes; false for a character outside the alphabet or a bad length.
bool Base64Decode(std::string_view text, std::string& bytes);

// Value of one field of an "a=1&b=2" text, fields split at "&" and at the first "="; nothing decoded.
// False when the field is missing.
bool FormField(std::string_view body, std::string_view name, std::string& value);

// A JSON string literal (quotes included) of UTF-8 text, every control character escaped.
std::string JsonString(std::string_view utf8);

// A deterministic 64-bit mix of a value (splitmix64), the one source of "randomness" of the services.
uint64_t Mix64(uint64_t value);
// A stable 64-bit hash of a text (FNV-1a, then mixed).
uint64_t HashText(std::string_view text);

}  // namespace lanque::services

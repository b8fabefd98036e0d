#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

// The "tk" token the translation service wants with every query, computed natively. The same arithmetic
// is what the token script's function "tk" does; everything wraps modulo 2^32.
namespace lanque {

// The token's two constants: H, and K = 561666268 + 1526272306.
inline constexpr std::uint32_t kTokenH = 406398;
inline constexpr std::uint32_t kTokenK = 2087938574;

// The token script as the translation call loads it into a ScriptHost; it defines the function "tk".
extern const std::string_view kTokenScript;

// The bytes the token walks over: each UTF-16 unit as UTF-8, a surrogate pair as one four-byte character,
// a lone surrogate as three bytes.
Bytes TokenBytesOfUtf16(std::u16string_view units);
// One mixing pass: groups of three characters (op, direction, shift count) applied in order.
std::uint32_t TokenMix(std::uint32_t a, std::string_view ops);
// The token of the given bytes: "a.b", a the mixed value mod 1000000, b = a ^ H.
Text TokenOfBytes(std::string_view bytes);
Text TokenOfUtf16(std::u16string_view units);
// The token of a GBK text (read as Unicode first).
Text TokenOfText(std::string_view gbk);

// GBK text as UTF-16 code units; bytes that are not GBK become "?".
std::u16string GbkToUtf16(std::string_view gbk);

}  // namespace lanque

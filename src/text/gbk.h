#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "text/byte_scan.h"
#include "text/text.h"

// GBK-aware search. A GBK character is one byte, or a lead byte 0x81-0xFE followed by a trail byte
// 0x40-0xFE other than 0x7F. A match only ever starts at a character start, so a marker never matches
// across the second byte of a two-byte character (a trail byte may be an ASCII letter).
namespace lanque {

inline constexpr std::size_t kNoPos = std::string_view::npos;

// Length in bytes (1 or 2) of the character starting at pos; a lead byte at the end of the text counts as 1.
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

// ASCII-only case folding; every other byte is compared exactly.
char AsciiLower(char c);
char AsciiUpper(char c);
Text AsciiLowered(std::string_view text);
bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b);

// Repeated searches for one needle in one text, each from an offset at or after the previous one's.
// It keeps what it has learnt (the next byte-level candidate, a known character start), so a whole
// pass over the text costs about one scan however many searches it takes. The text must outlive it.
class GbkFinder {
public:
    // knownStart: an offset known to be a character start (0 always is); it bounds the look-back
    // that decides whether a candidate starts a character.
    GbkFinder(std::string_view text, std::string_view needle, bool ignoreCase = false,
              std::size_t knownStart = 0);
    // First occurrence at a character start at or after from; kNoPos when none. from must not be
    // smaller than in the previous call.
    std::size_t Next(std::size_t from);

private:
    std::size_t NextCandidate(std::size_t from);
    std::size_t SearchCandidate(std::size_t from) const;

    std::string_view m_text;
    std::string_view m_needle;
    bool m_ignoreCase;
    std::size_t m_floor;                   // a known character start
    std::size_t m_cachedFrom = kNoPos;     // the cached candidate is the first one at or after this
    std::size_t m_cached = kNoPos;
    BytePair m_pair{};                     // the needle's first and last byte, letters folded
};

// Two needles looked for in one pass: the next character start where either begins. Same rules as
// GbkFinder (from never decreasing, the text outlives it).
class GbkEitherFinder {
public:
    enum class Match { kNone, kExact, kFolded };

    static constexpr int kFirst = 1;
    static constexpr int kSecond = 2;

    GbkEitherFinder(std::string_view text, std::string_view first, std::string_view second, bool ignoreCase = false,
                    std::size_t knownStart = 0);
    // The next offset at or after from where either needle starts, kNoPos when none; matches gets
    // kFirst, kSecond or both.
    std::size_t Next(std::size_t from, int& matches);

private:
    Match WordMatch(std::size_t pos, int k) const;

    std::string_view m_text;
    std::string_view m_needles[2];
    bool m_ignoreCase;
    std::size_t m_floor;
    BytePair m_pairs[2]{};
    // Needles of up to 8 bytes compared as one word: bytes, and the mask of those that count.
    std::uint64_t m_words[2] = {0, 0};
    std::uint64_t m_wordMasks[2] = {0, 0};
    std::size_t m_scannedFrom = kNoPos;  // no candidate from here up to the window
    std::size_t m_window = kNoPos;       // candidates of the 32 offsets from here, one bit each
    std::uint32_t m_windowMask = 0;
};

// Whether needle occurs at pos, which must be a character start (letters folded in one-byte
// characters only when ignoreCase).
bool GbkMatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase = false);

// First occurrence of needle at a character start at or after byte offset from; kNoPos when none.
// An empty needle is never found.
std::size_t GbkFind(std::string_view text, std::string_view needle, std::size_t from = 0,
                    bool ignoreCase = false);
// Whether needle occurs at a character start.
bool GbkContains(std::string_view text, std::string_view needle, bool ignoreCase = false);
// Last occurrence of needle at a character start; kNoPos when none.
std::size_t GbkFindLast(std::string_view text, std::string_view needle, bool ignoreCase = false);
// Every occurrence of needle at a character start, non-overlapping, in order.
std::vector<std::size_t> GbkFindAll(std::string_view text, std::string_view needle, bool ignoreCase = false);

// Replace every occurrence (character-aligned, non-overlapping) of from by to.
Text GbkReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase = false);

// Split at a separator: the parts between separators, empty parts between two adjacent separators
// included; a separator at the very end yields no empty last part; an empty text yields no parts.
std::vector<Text> GbkSplit(std::string_view text, std::string_view separator);

// Join parts with a separator.
Text Join(const std::vector<Text>& parts, std::string_view separator);

// The integer value of the leading number of a text (optional blanks and sign, then digits);
// text that holds no number gives 0. Saturates instead of overflowing.
long long TextToInt(std::string_view text);

}  // namespace lanque

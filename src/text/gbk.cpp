#include "text/gbk.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace lanque {

namespace {

using Match = GbkEitherFinder::Match;

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }


// Whether needle's bytes are at pos: exactly, or (when ignoreCase) with ASCII letters in another case.
Match MatchAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    if (text.size() - pos < needle.size() || needle.empty()) {
        return Match::kNone;
    }
    const char* t = text.data() + pos;
    bool folded = false;
    // The last byte first: most wrong candidates fail there or at once.
    for (std::size_t i = needle.size() - 1, n = 0; n < needle.size(); i = n++) {
        const char a = t[i];
        const char b = needle[i];
        if (a == b) {
            continue;
        }
        const char lower = static_cast<char>(a | 0x20);
        if (!ignoreCase || (a ^ b) != 0x20 || lower < 'a' || lower > 'z') {
            return Match::kNone;
        }
        folded = true;
    }
    return folded ? Match::kFolded : Match::kExact;
}

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    return MatchAt(text, pos, needle, ignoreCase) != Match::kNone;
}

// Whether pos starts a character. Only lead bytes (0x81-0xFE) leave the meaning of the next byte
// open: right after any other byte a character starts. So look back over the lead bytes before pos
// (down to floor, a known start, at most); within that run every two bytes make one character.
// floor becomes a known start at or after pos.
bool CharStartAt(std::string_view text, std::size_t& floor, std::size_t pos) {
    if (pos < floor) {
        floor = 0;
    }
    // Most candidates follow a byte that is no lead byte, or the known start itself.
    const std::size_t runStart = pos == floor || !IsLeadByte(static_cast<unsigned char>(text[pos - 1]))
                                     ? pos
                                     : LeadRunStart(text, floor, pos);
    const bool start = (pos - runStart) % 2 == 0 || pos >= text.size() ||
                       !IsTrailByte(static_cast<unsigned char>(text[pos]));
    floor = start ? pos : pos + 1;
    return start;
}

// The bytes at pos (a character start) equal the needle when letters are folded; folding only counts
// for characters of one byte, so the ASCII-letter trail byte of a two-byte character must match exactly.
bool CaseDiffersOnlyInLetters(std::string_view text, std::size_t pos, std::string_view needle) {
    for (std::size_t offset = 0; offset < needle.size();) {
        const std::size_t length = GbkCharLength(text, pos + offset);
        if (length == 2 && text.compare(pos + offset, std::min<std::size_t>(2, needle.size() - offset),
                                        needle.substr(offset, 2)) != 0) {
            return false;
        }
        offset += length;
    }
    return true;
}

BytePair PairOf(std::string_view needle) {
    const auto isLetter = [](char c) { return AsciiLower(c) != AsciiUpper(c); };
    BytePair pair{};
    if (!needle.empty()) {
        pair.first = AsciiLower(needle.front());
        pair.second = AsciiLower(needle.back());
        pair.gap = needle.size() - 1;
        pair.foldFirst = isLetter(needle.front());
        pair.foldSecond = isLetter(needle.back());
    }
    return pair;
}

}  // namespace

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])) &&
        IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

Text AsciiLowered(std::string_view text) {
    Text out(text);
    for (char& c : out) {
        c = AsciiLower(c);
    }
    return out;
}

bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

GbkFinder::GbkFinder(std::string_view text, std::string_view needle, bool ignoreCase, std::size_t knownStart)
    : m_text(text), m_needle(needle), m_ignoreCase(ignoreCase), m_floor(knownStart <= text.size() ? knownStart : 0),
      m_pair(PairOf(needle)) {}

std::size_t GbkFinder::Next(std::size_t from) {
    if (m_needle.empty() || m_needle.size() > m_text.size()) {
        return kNoPos;
    }
    for (;;) {
        const std::size_t candidate = NextCandidate(from);
        if (candidate == kNoPos) {
            return kNoPos;
        }
        if (CharStartAt(m_text, m_floor, candidate) &&
            (!m_ignoreCase || MatchAt(m_text, candidate, m_needle, true) == Match::kExact ||
             CaseDiffersOnlyInLetters(m_text, candidate, m_needle))) {
            return candidate;
        }
        from = candidate + 1;
    }
}

// The first byte-level occurrence at or after from, remembered for the following calls: a search
// that a later call would repeat is not made again.
std::size_t GbkFinder::NextCandidate(std::size_t from) {
    if (from > m_text.size() - m_needle.size()) {
        return kNoPos;
    }
    if (m_cachedFrom == kNoPos || from < m_cachedFrom || (m_cached != kNoPos && m_cached < from)) {
        m_cachedFrom = from;
        m_cached = SearchCandidate(from);
    }
    return m_cached;
}

std::size_t GbkFinder::SearchCandidate(std::size_t from) const {
    if (!m_ignoreCase) {
        const void* hit = memmem(m_text.data() + from, m_text.size() - from, m_needle.data(), m_needle.size());
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : kNoPos;
    }
    // Letters folded: the first and last bytes pick the candidates, the whole needle decides.
    const std::size_t last = m_text.size() - m_needle.size();
    for (std::size_t pos = FindBytePair(m_text, from, last, m_pair); pos != kNoPos;
         pos = FindBytePair(m_text, pos + 1, last, m_pair)) {
        if (MatchesAt(m_text, pos, m_needle, true)) {
            return pos;
        }
    }
    return kNoPos;
}

GbkEitherFinder::GbkEitherFinder(std::string_view text, std::string_view first, std::string_view second,
                                 bool ignoreCase, std::size_t knownStart)
    : m_text(text), m_needles{first, second}, m_ignoreCase(ignoreCase),
      m_floor(knownStart <= text.size() ? knownStart : 0), m_pairs{PairOf(first), PairOf(second)} {
    for (int k = 0; k < 2; ++k) {
        const std::string_view needle = m_needles[k];
        if (std::endian::native == std::endian::little && !needle.empty() && needle.size() <= 8) {
            std::memcpy(&m_words[k], needle.data(), needle.size());
            m_wordMasks[k] = needle.size() == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * needle.size())) - 1;
        }
    }
}

std::size_t GbkEitherFinder::Next(std::size_t from, int& matches) {
    matches = 0;
    if (m_needles[0].empty() || m_needles[1].empty()) {
        return kNoPos;
    }
    for (std::size_t pos = from;;) {
        // Candidates come a window of 32 offsets at a time; a later call inside the window reuses it.
        if (m_window == kNoPos || pos < m_scannedFrom || pos >= m_window + 32) {
            m_scannedFrom = pos;
            m_window = FindEitherPairWindow(m_text, pos, m_pairs[0], m_pairs[1], m_windowMask);
            if (m_window == kNoPos) {
                return kNoPos;
            }
        }
        const std::uint32_t pending = pos > m_window ? m_windowMask & (~0u << (pos - m_window)) : m_windowMask;
        if (pending == 0) {
            pos = m_window + 32;
            continue;
        }
        pos = m_window + static_cast<std::size_t>(__builtin_ctz(pending));
        Match found[2] = {WordMatch(pos, 0), WordMatch(pos, 1)};
        if ((found[0] != Match::kNone || found[1] != Match::kNone) && CharStartAt(m_text, m_floor, pos)) {
            for (int k = 0; k < 2; ++k) {
                if (found[k] == Match::kExact ||
                    (found[k] == Match::kFolded && CaseDiffersOnlyInLetters(m_text, pos, m_needles[k]))) {
                    matches |= 1 << k;
                }
            }
            if (matches != 0) {
                return pos;
            }
        }
        matches = 0;
        ++pos;
    }
}

// MatchAt for needle k, settled with one word compare when the needle is short: exact, or a
// difference in anything but the letter-case bit is no match.
Match GbkEitherFinder::WordMatch(std::size_t pos, int k) const {
    if (m_wordMasks[k] == 0 || m_text.size() - pos < 8) {
        return MatchAt(m_text, pos, m_needles[k], m_ignoreCase);
    }
    std::uint64_t word = 0;
    std::memcpy(&word, m_text.data() + pos, 8);
    const std::uint64_t diff = (word ^ m_words[k]) & m_wordMasks[k];
    if (diff == 0) {
        return Match::kExact;
    }
    if (!m_ignoreCase || (diff & ~std::uint64_t{0x2020202020202020}) != 0) {
        return Match::kNone;
    }
    return MatchAt(m_text, pos, m_needles[k], true);
}

bool GbkMatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    if (pos > text.size()) {
        return false;
    }
    const Match match = MatchAt(text, pos, needle, ignoreCase);
    return match == Match::kExact || (match == Match::kFolded && CaseDiffersOnlyInLetters(text, pos, needle));
}

std::size_t GbkFind(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    return GbkFinder(text, needle, ignoreCase).Next(from);
}

bool GbkContains(std::string_view text, std::string_view needle, bool ignoreCase) {
    return GbkFind(text, needle, 0, ignoreCase) != kNoPos;
}

std::size_t GbkFindLast(std::string_view text, std::string_view needle, bool ignoreCase) {
    GbkFinder finder(text, needle, ignoreCase);
    std::size_t found = kNoPos;
    for (std::size_t pos = finder.Next(0); pos != kNoPos; pos = finder.Next(pos + GbkCharLength(text, pos))) {
        found = pos;
    }
    return found;
}

std::vector<std::size_t> GbkFindAll(std::string_view text, std::string_view needle, bool ignoreCase) {
    GbkFinder finder(text, needle, ignoreCase);
    std::vector<std::size_t> positions;
    for (std::size_t pos = finder.Next(0); pos != kNoPos; pos = finder.Next(pos + needle.size())) {
        positions.push_back(pos);
    }
    return positions;
}

Text GbkReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase) {
    Text out;
    std::size_t done = 0;
    for (std::size_t pos : GbkFindAll(text, from, ignoreCase)) {
        out.append(text.substr(done, pos - done));
        out.append(to);
        done = pos + from.size();
    }
    out.append(text.substr(done));
    return out;
}

std::vector<Text> GbkSplit(std::string_view text, std::string_view separator) {
    std::vector<Text> parts;
    if (text.empty()) {
        return parts;
    }
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t done = 0;
    for (std::size_t pos : GbkFindAll(text, separator)) {
        parts.emplace_back(text.substr(done, pos - done));
        done = pos + separator.size();
    }
    if (done < text.size()) {
        parts.emplace_back(text.substr(done));
    }
    return parts;
}

Text Join(const std::vector<Text>& parts, std::string_view separator) {
    Text out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out.append(separator);
        }
        out.append(parts[i]);
    }
    return out;
}

long long TextToInt(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    long long value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos] - '0';
        if (value > (LLONG_MAX - digit) / 10) {
            return negative ? LLONG_MIN : LLONG_MAX;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace lanque

#include "text/gbk.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lanque {

namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
    if (text.size() - pos < needle.size()) {
        return false;
    }
    if (!ignoreCase) {
        return text.compare(pos, needle.size(), needle) == 0;
    }
    for (std::size_t i = 0; i < needle.size(); ++i) {
        if (AsciiLower(text[pos + i]) != AsciiLower(needle[i])) {
            return false;
        }
    }
    return true;
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
    : m_text(text), m_needle(needle), m_ignoreCase(ignoreCase), m_floor(knownStart <= text.size() ? knownStart : 0) {
    const char first = needle.empty() ? '\0' : needle.front();
    m_first[0] = AsciiLower(first);
    m_first[1] = AsciiUpper(first);
}

std::size_t GbkFinder::Next(std::size_t from) {
    if (m_needle.empty() || m_needle.size() > m_text.size()) {
        return kNoPos;
    }
    for (;;) {
        const std::size_t candidate = NextCandidate(from);
        if (candidate == kNoPos) {
            return kNoPos;
        }
        if (IsCharStart(candidate) && (!m_ignoreCase || CaseDiffersOnlyInLetters(candidate))) {
            return candidate;
        }
        from = candidate + 1;
    }
}

// The first byte-level occurrence at or after from, remembered for the following calls.
std::size_t GbkFinder::NextCandidate(std::size_t from) {
    const std::size_t last = m_text.size() - m_needle.size();
    if (from > last) {
        return kNoPos;
    }
    if (!m_ignoreCase) {
        if (m_cachedFrom == kNoPos || from < m_cachedFrom || (m_cached != kNoPos && m_cached < from)) {
            const void* hit = memmem(m_text.data() + from, m_text.size() - from, m_needle.data(), m_needle.size());
            m_cachedFrom = from;
            m_cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : kNoPos;
        }
        return m_cached;
    }
    for (;;) {
        const std::size_t candidate = NextFirstByte(from);
        if (candidate == kNoPos || candidate > last) {
            return kNoPos;
        }
        if (MatchesAt(m_text, candidate, m_needle, true)) {
            return candidate;
        }
        from = candidate + 1;
    }
}

// The first byte at or after from that is the needle's first byte in either letter case.
std::size_t GbkFinder::NextFirstByte(std::size_t from) {
    const int streams = m_first[0] == m_first[1] ? 1 : 2;
    std::size_t best = kNoPos;
    for (int k = 0; k < streams; ++k) {
        if (m_firstFrom[k] == kNoPos || from < m_firstFrom[k] || (m_firstAt[k] != kNoPos && m_firstAt[k] < from)) {
            const void* hit = std::memchr(m_text.data() + from, m_first[k], m_text.size() - from);
            m_firstFrom[k] = from;
            m_firstAt[k] = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : kNoPos;
        }
        best = std::min(best, m_firstAt[k]);
    }
    return best;
}

// Whether pos starts a character. Only lead bytes (0x81-0xFE) leave the meaning of the next byte
// open: right after any other byte a character starts. So look back over the lead bytes before pos
// (down to a known start at most); within that run every two bytes make one character.
bool GbkFinder::IsCharStart(std::size_t pos) {
    if (pos < m_floor) {
        m_floor = 0;
    }
    std::size_t runStart = pos;
    while (runStart > m_floor && IsLeadByte(static_cast<unsigned char>(m_text[runStart - 1]))) {
        --runStart;
    }
    const bool start = (pos - runStart) % 2 == 0 || pos >= m_text.size() ||
                       !IsTrailByte(static_cast<unsigned char>(m_text[pos]));
    m_floor = start ? pos : pos + 1;
    return start;
}

// The bytes at pos equal the needle when letters are folded; folding only counts for characters of
// one byte, so the ASCII-letter trail byte of a two-byte character must match exactly.
bool GbkFinder::CaseDiffersOnlyInLetters(std::size_t pos) {
    for (std::size_t offset = 0; offset < m_needle.size();) {
        const std::size_t length = GbkCharLength(m_text, pos + offset);
        if (length == 2 && m_text.compare(pos + offset, std::min<std::size_t>(2, m_needle.size() - offset),
                                          m_needle.substr(offset, 2)) != 0) {
            return false;
        }
        offset += length;
    }
    return true;
}

std::size_t GbkFind(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    return GbkFinder(text, needle, ignoreCase).Next(from);
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

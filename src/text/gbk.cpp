#include "text/gbk.h"

#include <climits>

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

std::size_t GbkFind(std::string_view text, std::string_view needle, std::size_t from, bool ignoreCase) {
    if (needle.empty() || needle.size() > text.size()) {
        return kNoPos;
    }
    const std::size_t last = text.size() - needle.size();
    // Walk characters from the start, so that "from" landing on a trail byte is handled the same way.
    std::size_t pos = 0;
    while (pos <= last) {
        if (pos >= from) {
            if (!ignoreCase) {
                // Jump to the next byte-level candidate, then realign to character starts up to it.
                std::size_t candidate = text.find(needle, pos);
                if (candidate == std::string_view::npos) {
                    return kNoPos;
                }
                while (pos < candidate) {
                    pos += GbkCharLength(text, pos);
                }
                if (pos == candidate) {
                    return pos;
                }
                continue;  // candidate began on a trail byte; keep walking from the next character
            }
            if (MatchesAt(text, pos, needle, true)) {
                return pos;
            }
        }
        pos += GbkCharLength(text, pos);
    }
    return kNoPos;
}

std::size_t GbkFindLast(std::string_view text, std::string_view needle, bool ignoreCase) {
    std::size_t found = kNoPos;
    for (std::size_t pos = GbkFind(text, needle, 0, ignoreCase); pos != kNoPos;
         pos = GbkFind(text, needle, pos + GbkCharLength(text, pos), ignoreCase)) {
        found = pos;
    }
    return found;
}

std::vector<std::size_t> GbkFindAll(std::string_view text, std::string_view needle, bool ignoreCase) {
    std::vector<std::size_t> positions;
    for (std::size_t pos = GbkFind(text, needle, 0, ignoreCase); pos != kNoPos;
         pos = GbkFind(text, needle, pos + needle.size(), ignoreCase)) {
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

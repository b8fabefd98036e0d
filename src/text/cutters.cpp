#include "text/cutters.h"

#include "text/gbk.h"

namespace lanque {

namespace {

constexpr std::string_view kQuoteMarker = "#引号";
constexpr std::string_view kFullWidthBlank = "\xA1\xA1";

// 1-based start position to a byte offset; below 1 counts as 1.
std::size_t StartOffset(int start) { return start > 1 ? static_cast<std::size_t>(start - 1) : 0; }

// Whether the character of the given length at pos is an ASCII or a full-width blank.
bool IsBlankChar(std::string_view text, std::size_t pos, std::size_t length) {
    return (length == 1 && text[pos] == ' ') || (length == 2 && text.substr(pos, 2) == kFullWidthBlank);
}

}  // namespace

Text TextBetween(std::string_view text, std::string_view left, std::string_view right, int start,
                 bool ignoreCase) {
    const Text leftMarker = GbkReplaceAll(left, kQuoteMarker, "\"");
    const Text rightMarker = GbkReplaceAll(right, kQuoteMarker, "\"");
    const std::size_t from = StartOffset(start);
    if (from >= text.size()) {
        return {};
    }
    const std::size_t leftPos = GbkFind(text, leftMarker, from, ignoreCase);
    if (leftPos == kNoPos) {
        return {};
    }
    const std::size_t begin = leftPos + leftMarker.size();
    const std::size_t rightPos = GbkFind(text, rightMarker, begin, ignoreCase);
    if (rightPos == kNoPos) {
        return {};
    }
    return Text(text.substr(begin, rightPos - begin));
}

Text TextLeftOf(std::string_view text, std::string_view separator, int start, bool ignoreCase) {
    const std::size_t pos = GbkFind(text, separator, StartOffset(start), ignoreCase);
    return pos == kNoPos ? Text() : Text(text.substr(0, pos));
}

Text TextRightOf(std::string_view text, std::string_view separator) {
    const std::size_t pos = GbkFindLast(text, separator);
    return pos == kNoPos ? Text() : Text(text.substr(pos + separator.size()));
}

Text Trim(std::string_view text) {
    // Walk characters, so that "A1 A1" only counts when it is a whole character.
    std::size_t begin = kNoPos;
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = GbkCharLength(text, pos);
        if (!IsBlankChar(text, pos, length)) {
            begin = begin == kNoPos ? pos : begin;
            end = pos + length;
        }
        pos += length;
    }
    return begin == kNoPos ? Text() : Text(text.substr(begin, end - begin));
}

Text RemoveBlanks(std::string_view text) {
    Text out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t length = GbkCharLength(text, pos);
        if (!IsBlankChar(text, pos, length)) {
            out.append(text.substr(pos, length));
        }
        pos += length;
    }
    return out;
}

Text TextBeforeColon(std::string_view text) {
    const std::size_t pos = GbkFind(text, ":");
    return pos == kNoPos ? Text() : Trim(text.substr(0, pos));
}

Text TextAfterColon(std::string_view text) {
    const std::size_t pos = GbkFind(text, ":");
    return pos == kNoPos ? Text() : Trim(text.substr(pos + 1));
}

}  // namespace lanque

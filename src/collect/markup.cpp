#include "collect/markup.h"

#include <string>

#include "concurrency/message_pump.h"
#include "text/cutters.h"
#include "text/gbk.h"

namespace lanque {

namespace {

constexpr std::string_view kQuoteMarker = "#引号";
// AllElements lets the window process its events after this many elements.
constexpr std::size_t kElementsPerPump = 500;

std::size_t StartOffset(long long position) {
    return position > 1 ? static_cast<std::size_t>(position - 1) : 0;
}

// The default open marker: the start marker up to its first blank.
Text DefaultOpenMarker(std::string_view startMarker) {
    const std::size_t blank = GbkFind(startMarker, " ");
    return Text(blank == kNoPos ? startMarker : startMarker.substr(0, blank));
}

// The default close marker, "</" + the tag name after the last "<" of the open marker + ">";
// empty when the open marker holds no "<".
Text DefaultCloseMarker(std::string_view openMarker) {
    const std::size_t bracket = GbkFindLast(openMarker, "<");
    return bracket == kNoPos ? Text() : "</" + Text(openMarker.substr(bracket + 1)) + ">";
}

// The position of the close marker that balances the first open marker at or after elementStart:
// the first l-th close marker that comes before the (l+1)-th open marker (or after the last one).
// Open markers are only looked for as far as needed, so the work ends at the element's end.
std::size_t MatchingClose(std::string_view text, std::string_view open, std::string_view close,
                          std::size_t firstOpen, bool ignoreCase) {
    GbkFinder opens(text, open, ignoreCase, firstOpen);
    GbkFinder closes(text, close, ignoreCase, firstOpen);
    std::size_t closePos = closes.Next(firstOpen);
    if (closePos == kNoPos) {
        return kNoPos;
    }
    std::size_t nextOpenFrom = firstOpen + open.size();
    for (;;) {
        const std::size_t nextOpen = opens.Next(nextOpenFrom);
        if (nextOpen == kNoPos || closePos < nextOpen) {
            return closePos;
        }
        closePos = closes.Next(closePos + close.size());
        if (closePos == kNoPos) {
            return kNoPos;  // fewer close markers than open ones
        }
        nextOpenFrom = nextOpen + open.size();
    }
}

}  // namespace

Text ElementAt(std::string_view text, std::string_view startMarker, std::string_view openMarker,
               std::string_view closeMarker, long long startPosition, bool ignoreCase, long long* nextPosition) {
    if (nextPosition) {
        *nextPosition = 0;
    }
    const Text start = GbkReplaceAll(startMarker, kQuoteMarker, "\"");
    const std::size_t startPos = GbkFind(text, start, StartOffset(startPosition), ignoreCase);
    if (startPos == kNoPos) {
        return {};
    }
    const Text open = openMarker.empty() ? DefaultOpenMarker(start) : Text(openMarker);
    const Text close = closeMarker.empty() ? DefaultCloseMarker(open) : Text(closeMarker);
    if (open.empty() || close.empty()) {
        return {};
    }
    const std::size_t firstOpen = GbkFinder(text, open, ignoreCase, startPos).Next(startPos);
    if (firstOpen == kNoPos) {
        return {};
    }
    const std::size_t closePos = MatchingClose(text, open, close, firstOpen, ignoreCase);
    if (closePos == kNoPos || closePos < firstOpen) {
        return {};
    }
    if (nextPosition) {
        // The element's 1-based position plus 1.
        *nextPosition = static_cast<long long>(firstOpen) + 2;
    }
    return Text(text.substr(firstOpen, closePos - firstOpen + close.size()));
}

std::vector<Text> AllElements(std::string_view text, std::string_view startMarker, std::string_view openMarker,
                              std::string_view closeMarker) {
    std::vector<Text> elements;
    long long position = 0;
    for (;;) {
        if (elements.size() % kElementsPerPump == 0) {
            PumpMessages();
        }
        long long next = 0;
        Text element = ElementAt(text, startMarker, openMarker, closeMarker, position, true, &next);
        if (element.empty()) {
            break;
        }
        elements.push_back(std::move(element));
        position = next;
    }
    return elements;
}

std::vector<Text> AllSegments(std::string_view text, std::string_view startMarker, std::string_view endMarker) {
    std::vector<Text> segments;
    GbkFinder starts(text, startMarker);
    GbkFinder ends(text, endMarker);
    std::size_t position = 0;
    for (;;) {
        const std::size_t startPos = starts.Next(position);
        if (startPos == kNoPos) {
            break;
        }
        position = startPos + startMarker.size();
        const std::size_t endPos = ends.Next(position);
        if (endPos == kNoPos) {
            break;
        }
        segments.push_back(Text(text.substr(startPos, endPos + endMarker.size() - startPos)));
        for (int i = 0; i < 3; ++i) {
            PumpMessages();
        }
    }
    return segments;
}

Text InnerText(std::string_view segment, std::string_view closeMarker, std::string_view bracket) {
    const std::size_t closePos = GbkFindLast(segment, closeMarker);
    if (closePos == kNoPos) {
        return {};
    }
    const std::size_t bracketPos = GbkFindLast(segment.substr(0, closePos), bracket);
    if (bracketPos == kNoPos) {
        return {};
    }
    const std::size_t begin = bracketPos + bracket.size();
    return Text(segment.substr(begin, closePos - begin));
}

Text LocationValue(std::string_view headers) {
    return TextBetween(Text(headers) + "\r\n", "location: ", "\r\n", 1, true);
}

Text QueryParam(std::string_view address, std::string_view name) {
    if (!name.empty() && name.front() == '&') {
        name.remove_prefix(1);
    }
    const Text query = GbkFind(address, "?") == kNoPos ? Text(address) : TextRightOf(address, "?");
    for (const Text& item : GbkSplit(query, "&")) {
        // Only an item that holds "=" has a name; an item without one never matches, also not "".
        if (GbkFind(item, "=") != kNoPos && TextLeftOf(item, "=") == name) {
            return item.substr(name.size() + 1);
        }
    }
    return {};
}

Text PadNumber(long long number, int width) {
    Text digits = std::to_string(number);
    if (width > 0 && digits.size() < static_cast<std::size_t>(width)) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), ' ');
    }
    return digits;
}

}  // namespace lanque

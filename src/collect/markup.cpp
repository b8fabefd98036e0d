#include "collect/markup.h"

#include <algorithm>
#include <optional>
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

// The markers of one element search, with the start marker's quote markers replaced and the
// defaults filled in; open or close stays empty when there is none.
struct Markers {
    Text start;
    Text open;
    Text close;
    // The start marker begins with the open marker (pure ASCII, letters folded): a start marker is
    // then always at an open marker, and an element starts at its start marker.
    bool startIsOpen = false;
    // ... and open markers cannot overlap one another, so walking the open markers finds every start
    // marker: the element search can go on from where the last one stopped instead of scanning again.
    bool startsAmongOpens = false;
};

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

Markers MakeMarkers(std::string_view startMarker, std::string_view openMarker, std::string_view closeMarker) {
    Markers markers;
    markers.start = GbkReplaceAll(startMarker, kQuoteMarker, "\"");
    markers.open = openMarker.empty() ? DefaultOpenMarker(markers.start) : Text(openMarker);
    markers.close = closeMarker.empty() ? DefaultCloseMarker(markers.open) : Text(closeMarker);
    const std::string_view open = markers.open;
    markers.startIsOpen = !open.empty() && IsAscii(open) && markers.start.size() >= open.size() &&
                          AsciiEqualsIgnoreCase(std::string_view(markers.start).substr(0, open.size()), open);
    bool overlaps = false;
    for (std::size_t k = 1; k < open.size() && !overlaps; ++k) {
        overlaps = AsciiEqualsIgnoreCase(open.substr(0, k), open.substr(open.size() - k));
    }
    markers.startsAmongOpens = markers.startIsOpen && !overlaps;
    return markers;
}

// The close marker that balances the open marker at firstOpen: walking open and close markers in page
// order (each kind non-overlapping, an open marker counting first where both start), the l-th close
// marker with exactly l open markers at or before it. Open markers after firstOpen are added to seen.
// One pass over the element; scan must not have gone past firstOpen yet.
std::size_t MatchingClose(GbkEitherFinder& scan, const Markers& markers, std::size_t firstOpen,
                          std::vector<std::size_t>* seen) {
    std::size_t opens = 1;
    std::size_t closes = 0;
    std::size_t nextOpenFrom = firstOpen + markers.open.size();
    std::size_t nextCloseFrom = firstOpen;
    int matches = 0;
    for (std::size_t pos = scan.Next(firstOpen, matches); pos != kNoPos; pos = scan.Next(pos + 1, matches)) {
        if ((matches & GbkEitherFinder::kFirst) && pos >= nextOpenFrom) {
            ++opens;
            nextOpenFrom = pos + markers.open.size();
            if (seen) {
                seen->push_back(pos);
            }
        }
        if ((matches & GbkEitherFinder::kSecond) && pos >= nextCloseFrom) {
            ++closes;
            nextCloseFrom = pos + markers.close.size();
            if (closes == opens) {
                return pos;
            }
        }
    }
    return kNoPos;  // fewer close markers than open ones
}

// The element whose start marker is at startPos: where its first open marker and its balancing close
// marker begin; kNoPos in close when there is none.
struct Span {
    std::size_t open = kNoPos;
    std::size_t close = kNoPos;
};

Span ElementFrom(std::string_view text, const Markers& markers, std::size_t startPos, bool ignoreCase) {
    if (markers.open.empty() || markers.close.empty()) {
        return {};
    }
    // Letter case counts when not ignored: then only a start marker that begins with the open marker's
    // exact bytes is one.
    const bool startIsOpen =
        markers.startIsOpen && (ignoreCase || markers.start.compare(0, markers.open.size(), markers.open) == 0);
    const std::size_t firstOpen =
        startIsOpen ? startPos : GbkFinder(text, markers.open, ignoreCase, startPos).Next(startPos);
    if (firstOpen == kNoPos) {
        return {};
    }
    GbkEitherFinder scan(text, markers.open, markers.close, ignoreCase, firstOpen);
    const std::size_t close = MatchingClose(scan, markers, firstOpen, nullptr);
    return close == kNoPos ? Span{} : Span{firstOpen, close};
}

Text ElementText(std::string_view text, const Markers& markers, const Span& span) {
    return Text(text.substr(span.open, span.close - span.open + markers.close.size()));
}

// AllElements when every start marker is at an open marker: one walk over the open and close markers
// finds the elements and the start markers between them. Start markers nested in the last element
// are among the open markers it passed (seen); only for those does the walk go back.
std::vector<Text> ElementsAmongOpens(std::string_view text, const Markers& markers) {
    // Most open markers are not start markers and already differ in the start marker's last byte.
    const std::string_view start = markers.start;
    const char lastByte = AsciiLower(start.back());
    auto isStart = [&](std::size_t pos) {
        return pos + start.size() <= text.size() && AsciiLower(text[pos + start.size() - 1]) == lastByte &&
               GbkMatchesAt(text, pos, start, true);
    };
    std::vector<Text> elements;
    std::vector<std::size_t> seen;
    std::optional<GbkEitherFinder> scan;
    std::size_t scanned = 0;  // the walk has looked at every offset before this
    std::size_t from = 0;
    for (;;) {
        if (elements.size() % kElementsPerPump == 0) {
            PumpMessages();
        }
        std::size_t startPos = kNoPos;
        for (std::size_t pos : seen) {
            if (pos >= from && isStart(pos)) {
                startPos = pos;
                break;
            }
        }
        if (startPos != kNoPos) {
            scan.reset();  // a nested element: walk its part again
        } else {
            if (!scan) {
                scan.emplace(text, markers.open, markers.close, true);
            }
            int matches = 0;
            for (std::size_t pos = scan->Next(std::max(from, scanned), matches); pos != kNoPos;
                 pos = scan->Next(pos + 1, matches)) {
                if ((matches & GbkEitherFinder::kFirst) && isStart(pos)) {
                    startPos = pos;
                    break;
                }
            }
            if (startPos == kNoPos) {
                break;
            }
        }
        if (!scan) {
            scan.emplace(text, markers.open, markers.close, true, startPos);
        }
        seen.clear();
        const std::size_t close = MatchingClose(*scan, markers, startPos, &seen);
        if (close == kNoPos) {
            break;
        }
        elements.push_back(ElementText(text, markers, Span{startPos, close}));
        scanned = close + 1;
        from = startPos + 1;
    }
    return elements;
}

}  // namespace

Text ElementAt(std::string_view text, std::string_view startMarker, std::string_view openMarker,
               std::string_view closeMarker, long long startPosition, bool ignoreCase, long long* nextPosition) {
    if (nextPosition) {
        *nextPosition = 0;
    }
    const Markers markers = MakeMarkers(startMarker, openMarker, closeMarker);
    const std::size_t startPos = GbkFind(text, markers.start, StartOffset(startPosition), ignoreCase);
    if (startPos == kNoPos) {
        return {};
    }
    const Span span = ElementFrom(text, markers, startPos, ignoreCase);
    if (span.close == kNoPos) {
        return {};
    }
    if (nextPosition) {
        // The element's 1-based position plus 1.
        *nextPosition = static_cast<long long>(span.open) + 2;
    }
    return ElementText(text, markers, span);
}

std::vector<Text> AllElements(std::string_view text, std::string_view startMarker, std::string_view openMarker,
                              std::string_view closeMarker) {
    // Calling ElementAt from each returned position, letter case ignored, until it finds nothing.
    const Markers markers = MakeMarkers(startMarker, openMarker, closeMarker);
    if (markers.open.empty() || markers.close.empty()) {
        return {};
    }
    if (markers.startsAmongOpens) {
        return ElementsAmongOpens(text, markers);
    }
    std::vector<Text> elements;
    std::size_t from = 0;
    for (;;) {
        if (elements.size() % kElementsPerPump == 0) {
            PumpMessages();
        }
        const std::size_t startPos = GbkFind(text, markers.start, from, true);
        const Span span = startPos == kNoPos ? Span{} : ElementFrom(text, markers, startPos, true);
        if (span.close == kNoPos) {
            break;
        }
        elements.push_back(ElementText(text, markers, span));
        from = span.open + 1;
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

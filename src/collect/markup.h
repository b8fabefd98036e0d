#pragma once

#include <string_view>
#include <vector>

#include "text/text.h"

// Plain-text markup extraction for result and article pages (GBK), without an HTML parser: elements
// found by their opening text and matching closing tag, paragraph segments, a header value, a query
// parameter. Pure functions, usable on any thread; each is one linear pass per marker. Positions are
// 1-based byte positions; a search from position 0 or below starts at the beginning.
namespace lanque {

// The element that starts at the first startMarker at or after startPosition: from its first
// openMarker to the closeMarker that balances it, both included; empty when there is none (no start
// marker, no open marker after it, too few close markers). "#引号" in startMarker is a double quote.
// An empty openMarker is startMarker up to its first blank; an empty closeMarker is "</" + the tag
// name of openMarker + ">". nextPosition (when given) gets the position just after the element's
// first byte, so a following search also finds elements nested in this one; 0 when nothing was found.
Text ElementAt(std::string_view text, std::string_view startMarker, std::string_view openMarker,
               std::string_view closeMarker, long long startPosition = 0, bool ignoreCase = true,
               long long* nextPosition = nullptr);

// Every element ElementAt finds from the beginning on, letter case ignored, in page order.
std::vector<Text> AllElements(std::string_view text, std::string_view startMarker, std::string_view openMarker,
                              std::string_view closeMarker);

// Every stretch from a startMarker to the next endMarker after it, both included, case-sensitive. Each
// start marker begins a segment, also one that lies inside the previous segment.
std::vector<Text> AllSegments(std::string_view text, std::string_view startMarker, std::string_view endMarker);

// The text between the last bracket before the last closeMarker of segment and that marker;
// empty when either is missing.
Text InnerText(std::string_view segment, std::string_view closeMarker, std::string_view bracket = ">");

// The value of the Location header of a response header block (name in any letter case); empty when
// there is none.
Text LocationValue(std::string_view headers);

// The value of parameter name (a leading "&" dropped) in the query of address; empty when absent.
Text QueryParam(std::string_view address, std::string_view name);

// The decimal text of number, left-padded with blanks to width: PadNumber(1, 2) is " 1".
Text PadNumber(long long number, int width);

}  // namespace lanque

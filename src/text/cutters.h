#pragma once

#include <string_view>

#include "text/text.h"

// The general-purpose text cutters. Positions are 1-based as callers count them; every search steps
// over two-byte GBK characters and folds ASCII letters only when asked to ignore case.
namespace lanque {

// The text between the first left marker at or after start and the first right marker after it;
// empty when either is missing. "#引号" in either marker stands for a double quote.
Text TextBetween(std::string_view text, std::string_view left, std::string_view right, int start = 1,
                 bool ignoreCase = false);
// The text before the first separator at or after start; empty when there is none.
Text TextLeftOf(std::string_view text, std::string_view separator, int start = 1, bool ignoreCase = false);
// The text after the last separator; empty when there is none.
Text TextRightOf(std::string_view text, std::string_view separator);
// Removes ASCII blanks (0x20) and GBK full-width blanks (A1 A1) at both ends.
Text Trim(std::string_view text);
// Removes every ASCII and full-width blank.
Text RemoveBlanks(std::string_view text);
// Trim of the text before / after the first ":"; empty when there is no colon.
Text TextBeforeColon(std::string_view text);
Text TextAfterColon(std::string_view text);

}  // namespace lanque

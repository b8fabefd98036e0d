#pragma once

#include <string_view>

#include "text/text.h"

// Conversions between GBK and UTF-8 and the encoders the service requests are built from.
// Every function is pure and may run on any thread. Invalid input converts as far as it goes.
namespace lanque {

Text GbkToUtf8(std::string_view gbk);
Text Utf8ToGbk(std::string_view utf8);
// UTF-8 to GB2312, the notice service's target code page.
Text Utf8ToGb2312(std::string_view utf8);
// General conversion between two iconv code-page names; unrepresentable characters become "?",
// invalid input bytes are skipped. An unknown code page gives the input unchanged.
Text ConvertCodePage(std::string_view input, const char* from, const char* to);

Text Base64Encode(std::string_view bytes);
Text Md5Hex(std::string_view bytes, bool upperCase = false, bool middleHalf = false);
Text UrlEncode(std::string_view text, bool keepUnreserved = false, bool asUtf8 = false);
Text UrlDecode(std::string_view text, bool fromUtf8 = false);

}  // namespace lanque

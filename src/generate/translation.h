#pragma once

#include <string_view>

#include "http/endpoints.h"
#include "text/text.h"

// The pieces of one translation request: the "tk" token, the address, the body and the reply reader.
namespace lanque {

// Direction 0 is Chinese to English, 1 English to Chinese.
inline constexpr int kChineseToEnglish = 0;
inline constexpr int kEnglishToChinese = 1;

// The "tk" value of a GBK query text.
Text MakeToken(std::string_view text);
// endpoints.translate + "/translate_a/single?" + the direction's query + token. Empty text for a direction
// other than 0 or 1, so no request is sent for it.
Text TranslationAddress(const Endpoints& endpoints, int direction, std::string_view token);
// "q=" + the text as percent-encoded UTF-8, unreserved characters kept.
Text TranslationBody(std::string_view text);
// The translation in a reply: percent-escapes decoded, UTF-8 read as GBK, then the first element of every
// segment of the reply's first element joined without a separator; segments without a string add nothing.
// Empty text for a reply that is not JSON.
Text ReadTranslationReply(std::string_view reply);

}  // namespace lanque

#pragma once

#include <string>
#include <string_view>

// The reference translation service behind "/translate_a/single". It "translates" with a small fixed
// glossary, deterministically, so that a round trip gives the same text every time:
//  - Chinese to English: glossary words become their English word, Chinese punctuation its ASCII form,
//    every other Chinese character the token "u" + its code point in upper-case hex (中 -> u4E2D, a run of
//    them one word: u4E2Du6587); everything else is copied.
//  - English to Chinese: such tokens become their characters again, glossary words a Chinese word (for some
//    a synonym of the original, so the round trip changes the wording), ASCII punctuation after a Chinese
//    word its Chinese form; unknown words are copied.
// The reply is the nested-array shape the program reads: [[[translated, source, null, null, 1], ...], ...],
// one segment per sentence, every "%" written %25 because the reader percent-decodes the whole reply.
namespace lanque::services {

inline constexpr int kToEnglish = 0;
inline constexpr int kToChinese = 1;

std::string TranslateUtf8(std::string_view utf8, int direction);

// The whole reply for a UTF-8 text.
std::string TranslationReply(std::string_view utf8, int direction);

// Status and body of the answer to one request: the query's "tl" (and "sl"), its "tk", and the raw body.
// 400 for a missing or unknown target language or a body without "q", 403 when tk is not the token of q.
struct TranslationAnswer {
    int status = 200;
    std::string body;
};
TranslationAnswer AnswerTranslation(std::string_view sourceLanguage, std::string_view targetLanguage,
                                    std::string_view token, std::string_view body);

}  // namespace lanque::services

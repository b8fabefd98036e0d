#include "generate/translation.h"

#include <string>

#include "script/json_document.h"
#include "script/token.h"
#include "text/encodings.h"

namespace lanque {

namespace {

constexpr std::string_view kToEnglishQuery =
    "client=webapp&sl=auto&tl=en&hl=zh-CN&dt=at&dt=bd&dt=ex&dt=ld&dt=md&dt=qca&dt=rw&dt=rm&dt=ss&dt=t&dt=gt"
    "&otf=2&ssel=0&tsel=0&kc=1&tk=";
constexpr std::string_view kToChineseQuery =
    "client=t&sl=en&tl=zh-CN&hl=zh-CN&dt=at&dt=bd&dt=ex&dt=ld&dt=md&dt=qca&dt=rw&dt=rm&dt=ss&dt=t"
    "&ie=UTF-8&oe=UTF-8&source=bh&ssel=0&tsel=0&kc=1&tk=";

}  // namespace

Text MakeToken(std::string_view text) { return TokenOfText(text); }

Text TranslationAddress(const Endpoints& endpoints, int direction, std::string_view token) {
    if (direction != kChineseToEnglish && direction != kEnglishToChinese) {
        return {};
    }
    Text address = endpoints.translate + "/translate_a/single?";
    address.append(direction == kChineseToEnglish ? kToEnglishQuery : kToChineseQuery);
    address.append(token);
    return address;
}

Text TranslationBody(std::string_view text) { return "q=" + UrlEncode(text, true, true); }

Text ReadTranslationReply(std::string_view reply) {
    JsonDocument document(JsonDocument::Variant::kTranslation);
    document.Parse(UrlDecode(reply, true));
    Text translation;
    const int segments = document.Count("[0]");
    for (int k = 0; k < segments; ++k) {
        const Text path = "[0][" + std::to_string(k) + "][0]";
        // A segment whose first element is not a string (null, an elided member) adds nothing.
        if (document.TypeOf(path) == JsonDocument::kString) {
            translation += document.GetText(path);
        }
    }
    return translation;
}

}  // namespace lanque

#include "services/translate_service.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "generate/translation.h"
#include "services/service_text.h"
#include "text/encodings.h"

namespace lanque::services {

namespace {

struct GlossaryEntry {
    std::u8string_view chinese;
    std::string_view english;
    std::u8string_view back;  // the Chinese word English is translated back to
};

constexpr GlossaryEntry kGlossary[] = {
    {u8"文章", "article", u8"文稿"},     {u8"内容", "content", u8"内容"},   {u8"原创", "original", u8"原创"},
    {u8"软件", "software", u8"软件"},    {u8"搜索", "search", u8"检索"},    {u8"引擎", "engine", u8"引擎"},
    {u8"优化", "optimize", u8"优化"},    {u8"网站", "website", u8"站点"},   {u8"用户", "user", u8"使用者"},
    {u8"我们", "we", u8"咱们"},          {u8"非常", "very", u8"十分"},      {u8"重要", "important", u8"关键"},
    {u8"方法", "method", u8"办法"},      {u8"问题", "problem", u8"难题"},   {u8"发展", "development", u8"进展"},
    {u8"技术", "technology", u8"科技"},  {u8"公司", "company", u8"企业"},   {u8"中国", "China", u8"中国"},
    {u8"市场", "market", u8"市场"},      {u8"服务", "service", u8"服务"},   {u8"今天", "today", u8"今日"},
    {u8"世界", "world", u8"世界"},       {u8"生活", "life", u8"生活"},      {u8"工作", "work", u8"工作"},
    {u8"学习", "study", u8"学习"},       {u8"提高", "improve", u8"提升"},   {u8"快速", "fast", u8"迅速"},
    {u8"简单", "simple", u8"简便"},      {u8"关键词", "keyword", u8"关键字"}, {u8"你好", "hello", u8"您好"},
};

struct Punctuation {
    uint32_t chinese;
    char ascii;
};
constexpr Punctuation kPunctuation[] = {
    {0xFF0C, ','}, {0x3002, '.'}, {0xFF01, '!'}, {0xFF1F, '?'}, {0xFF1B, ';'}, {0xFF1A, ':'},
    {0x3001, ','},  // 、 reads back as ，
};

bool IsHan(uint32_t c) { return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF); }
bool IsWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

std::string HexToken(uint32_t c) {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "u%04X", static_cast<unsigned>(c));
    return buffer;
}

// Appends an English word, with one blank before it unless the text ends in a blank or is empty.
void AppendWord(std::string& out, std::string_view word) {
    if (!out.empty() && out.back() != ' ' && out.back() != '\n' && out.back() != '\r') {
        out.push_back(' ');
    }
    out.append(word);
}

std::string ToEnglish(std::string_view utf8) {
    const std::vector<uint32_t> text = CodePoints(utf8);
    std::string out;
    bool inToken = false;  // a run of unknown characters is one word
    bool justTranslated = false;
    for (size_t i = 0; i < text.size();) {
        const GlossaryEntry* match = nullptr;
        size_t matchLength = 0;
        for (const GlossaryEntry& entry : kGlossary) {
            const std::vector<uint32_t> word = CodePoints(U8(entry.chinese));
            if (word.size() > matchLength && i + word.size() <= text.size() &&
                std::equal(word.begin(), word.end(), text.begin() + i)) {
                match = &entry;
                matchLength = word.size();
            }
        }
        if (match != nullptr) {
            AppendWord(out, match->english);
            inToken = false;
            justTranslated = true;
            i += matchLength;
            continue;
        }
        const uint32_t c = text[i++];
        const auto punctuation = std::find_if(std::begin(kPunctuation), std::end(kPunctuation),
                                              [c](const Punctuation& p) { return p.chinese == c; });
        if (punctuation != std::end(kPunctuation)) {
            out.push_back(punctuation->ascii);
            out.push_back(' ');
            inToken = false;
        } else if (IsHan(c)) {
            if (inToken) {
                out += HexToken(c);
            } else {
                AppendWord(out, HexToken(c));
            }
            inToken = true;
        } else {
            // ASCII letters right after a translated word start a word of their own
            if (c < 0x80 && IsWordByte(static_cast<char>(c)) && (inToken || justTranslated)) {
                out.push_back(' ');
            }
            out += FromCodePoints({c});
            inToken = false;
        }
        justTranslated = false;
    }
    return out;
}

// The characters of a word made only of "uXXXX" tokens; false for any other word.
bool DecodeTokens(std::string_view word, std::string& chinese) {
    chinese.clear();
    if (word.empty() || word.size() % 5 != 0) {
        return false;
    }
    for (size_t i = 0; i < word.size(); i += 5) {
        if (word[i] != 'u') {
            return false;
        }
        uint32_t value = 0;
        for (size_t k = 1; k < 5; ++k) {
            const char c = word[i + k];
            if (!std::isxdigit(static_cast<unsigned char>(c)) || std::islower(static_cast<unsigned char>(c))) {
                return false;
            }
            value = value * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'A' + 10);
        }
        if (!IsHan(value)) {
            return false;
        }
        chinese += FromCodePoints({value});
    }
    return true;
}

// The Chinese of one English word, or false when it is not known.
bool ChineseWord(std::string_view word, std::string& chinese) {
    if (DecodeTokens(word, chinese)) {
        return true;
    }
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const GlossaryEntry& entry : kGlossary) {
        std::string english(entry.english);
        std::transform(english.begin(), english.end(), english.begin(), [](unsigned char c) { return std::tolower(c); });
        if (english == lower) {
            chinese = U8(entry.back);
            return true;
        }
    }
    return false;
}

std::string ToChinese(std::string_view text) {
    std::string out;
    std::string pendingBlanks;    // blanks are kept only between two pieces that are not Chinese
    bool lastWasChinese = false;
    const auto emit = [&](std::string_view piece, bool chinese) {
        if (!chinese && !lastWasChinese) {
            out += pendingBlanks;
        }
        pendingBlanks.clear();
        out.append(piece);
        lastWasChinese = chinese;
    };
    for (size_t i = 0; i < text.size();) {
        if (IsWordByte(text[i])) {
            size_t end = i;
            while (end < text.size() && IsWordByte(text[end])) ++end;
            const std::string_view word = text.substr(i, end - i);
            std::string chinese;
            const bool known = ChineseWord(word, chinese);
            emit(known ? std::string_view(chinese) : word, known);
            i = end;
            continue;
        }
        const char c = text[i++];
        if (c == ' ') {
            pendingBlanks.push_back(c);
            continue;
        }
        const auto punctuation = std::find_if(std::begin(kPunctuation), std::end(kPunctuation) - 1,
                                              [c](const Punctuation& p) { return p.ascii == c; });
        if (punctuation != std::end(kPunctuation) - 1 && lastWasChinese) {
            emit(FromCodePoints({punctuation->chinese}), true);
        } else {
            emit(std::string(1, c), false);
        }
    }
    if (!lastWasChinese) {
        out += pendingBlanks;
    }
    return out;
}

// The source split into sentences, each with its closing marks and the blanks after them.
std::vector<std::string> Sentences(std::string_view utf8, int direction) {
    std::vector<std::string> sentences;
    const std::vector<uint32_t> text = CodePoints(utf8);
    std::vector<uint32_t> current;
    const auto ends = [direction](uint32_t c) {
        return direction == kToEnglish ? (c == 0x3002 || c == 0xFF01 || c == 0xFF1F || c == '\n')
                                       : (c == '.' || c == '!' || c == '?' || c == '\n');
    };
    for (size_t i = 0; i < text.size(); ++i) {
        current.push_back(text[i]);
        if (ends(text[i])) {
            while (i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '\r' || text[i + 1] == '\n')) {
                current.push_back(text[++i]);
            }
            sentences.push_back(FromCodePoints(current));
            current.clear();
        }
    }
    if (!current.empty()) {
        sentences.push_back(FromCodePoints(current));
    }
    return sentences;
}

std::string EscapePercent(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += c == '%' ? std::string("%25") : std::string(1, c);
    }
    return out;
}

}  // namespace

std::string TranslateUtf8(std::string_view utf8, int direction) {
    return direction == kToEnglish ? ToEnglish(utf8) : ToChinese(utf8);
}

std::string TranslationReply(std::string_view utf8, int direction) {
    std::string segments;
    for (const std::string& sentence : Sentences(utf8, direction)) {
        if (!segments.empty()) segments += ",";
        segments += "[" + JsonString(TranslateUtf8(sentence, direction)) + "," + JsonString(sentence) + ",null,null,1]";
    }
    const std::string source = direction == kToEnglish ? "zh-CN" : "en";
    return EscapePercent("[[" + segments + "],null,\"" + source + "\",null,null,null,1,[],[[\"" + source +
                         "\"],null,[1],[\"" + source + "\"]]]");
}

TranslationAnswer AnswerTranslation(std::string_view sourceLanguage, std::string_view targetLanguage,
                                    std::string_view token, std::string_view body) {
    int direction = -1;
    if (targetLanguage == "en") {
        direction = kToEnglish;
    } else if (targetLanguage == "zh-CN" && sourceLanguage == "en") {
        direction = kToChinese;
    }
    std::string query;
    if (direction < 0 || !FormField(body, "q", query)) {
        return {400, "bad request: tl=en, or sl=en&tl=zh-CN, and a body q=..."};
    }
    // "+" stays "+": the program escapes every byte but letters, digits, "-" and ".".
    const std::string text = UrlDecode(query);
    if (token != MakeToken(Utf8ToGbk(text))) {
        return {403, "forbidden: tk does not match q"};
    }
    return {200, TranslationReply(text, direction)};
}

}  // namespace lanque::services

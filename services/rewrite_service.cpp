#include "services/rewrite_service.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "services/service_text.h"
#include "text/encodings.h"

namespace lanque::services {

namespace {

// Word pairs swapped in both directions. No phrase appears twice in the table.
constexpr std::pair<std::u8string_view, std::u8string_view> kPhrasePairs[] = {
    {u8"非常", u8"十分"}, {u8"因为", u8"由于"}, {u8"所以", u8"因此"}, {u8"但是", u8"然而"},
    {u8"如果", u8"假如"}, {u8"我们", u8"咱们"}, {u8"重要", u8"关键"}, {u8"方法", u8"办法"},
    {u8"开始", u8"着手"}, {u8"发现", u8"察觉"}, {u8"目前", u8"当前"}, {u8"现在", u8"如今"},
    {u8"快速", u8"迅速"}, {u8"提高", u8"提升"}, {u8"帮助", u8"协助"}, {u8"选择", u8"挑选"},
    {u8"简单", u8"简便"}, {u8"能够", u8"可以"}, {u8"经常", u8"常常"}, {u8"许多", u8"很多"},
    {u8"认为", u8"觉得"}, {u8"喜欢", u8"喜爱"}, {u8"美丽", u8"漂亮"}, {u8"立即", u8"马上"},
    {u8"特别", u8"尤其"}, {u8"优势", u8"长处"}, {u8"企业", u8"公司"}, {u8"用户", u8"客户"},
    {u8"产品", u8"商品"}, {u8"效果", u8"成效"}, {u8"一定", u8"必定"}, {u8"全部", u8"所有"},
    {u8"完成", u8"达成"}, {u8"希望", u8"期望"}, {u8"明显", u8"显著"}, {u8"主要", u8"首要"},
    {u8"通过", u8"经由"}, {u8"得到", u8"获得"}, {u8"使用", u8"运用"}, {u8"应该", u8"应当"},
    {u8"或者", u8"或是"}, {u8"而且", u8"并且"}, {u8"虽然", u8"尽管"}, {u8"一般", u8"通常"},
    {u8"最近", u8"近来"}, {u8"告诉", u8"告知"},
};

struct Phrase {
    std::vector<uint32_t> from;
    std::vector<uint32_t> to;
};

const std::vector<Phrase>& Phrases() {
    static const std::vector<Phrase> phrases = [] {
        std::vector<Phrase> list;
        for (const auto& [a, b] : kPhrasePairs) {
            list.push_back({CodePoints(U8(a)), CodePoints(U8(b))});
            list.push_back({CodePoints(U8(b)), CodePoints(U8(a))});
        }
        std::stable_sort(list.begin(), list.end(),
                         [](const Phrase& x, const Phrase& y) { return x.from.size() > y.from.size(); });
        return list;
    }();
    return phrases;
}

constexpr uint32_t kComma = 0xFF0C;  // ，

bool EndsSentence(uint32_t c) {
    return c == 0x3002 || c == 0xFF01 || c == 0xFF1F || c == 0xFF1B || c == '\r' || c == '\n';
}

std::vector<uint32_t> SwapPhrases(const std::vector<uint32_t>& text) {
    std::vector<uint32_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const Phrase* match = nullptr;
        for (const Phrase& phrase : Phrases()) {
            if (i + phrase.from.size() <= text.size() &&
                std::equal(phrase.from.begin(), phrase.from.end(), text.begin() + i)) {
                match = &phrase;
                break;
            }
        }
        if (match == nullptr) {
            out.push_back(text[i++]);
        } else {
            out.insert(out.end(), match->to.begin(), match->to.end());
            i += match->from.size();
        }
    }
    return out;
}

// Swaps the first two clauses of the sentence text[begin, end) when it has at least three.
void ReorderSentence(std::vector<uint32_t>& text, size_t begin, size_t end) {
    std::vector<size_t> commas;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] == kComma) {
            commas.push_back(i);
        }
    }
    if (commas.size() < 2) {
        return;
    }
    const std::vector<uint32_t> first(text.begin() + begin, text.begin() + commas[0]);
    const std::vector<uint32_t> second(text.begin() + commas[0] + 1, text.begin() + commas[1]);
    size_t at = begin;
    for (uint32_t c : second) text[at++] = c;
    text[at++] = kComma;
    for (uint32_t c : first) text[at++] = c;
}

void ReorderClauses(std::vector<uint32_t>& text) {
    size_t begin = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || EndsSentence(text[i])) {
            ReorderSentence(text, begin, i);
            begin = i + 1;
        } else if (text[i] == '\\') {
            // A backslash pair ("\n" of a form request) is a boundary of its own.
            ReorderSentence(text, begin, i);
            i += 1;
            begin = i + 1;
        }
    }
}

int Originality(const std::vector<uint32_t>& before, const std::vector<uint32_t>& after) {
    const size_t longest = std::max(before.size(), after.size());
    if (longest == 0) {
        return 0;
    }
    size_t changed = longest - std::min(before.size(), after.size());
    for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
        changed += before[i] != after[i] ? 1 : 0;
    }
    return static_cast<int>((changed * 100 + longest / 2) / longest);
}

// Real line breaks of a form reply travel as backslash-n.
std::string EscapeLineBreaks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\\n";
            ++i;
        } else if (text[i] == '\n') {
            out += "\\n";
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string AcceptedReply(const RewriteResult& result) {
    return "{\"code\":0,\"str\":" + JsonString(result.text) + ",\"ck\":" + std::to_string(result.originality) + "}";
}

}  // namespace

Accounts DefaultAccounts() {
    return {{"admin", "5c0e1a7f62d9b38"}, {"rdjek61139160", "a6c29e30d851f7b"}};
}

RewriteResult RewriteUtf8(std::string_view utf8) {
    const std::vector<uint32_t> source = CodePoints(utf8);
    std::vector<uint32_t> rewritten = SwapPhrases(source);
    ReorderClauses(rewritten);
    return {FromCodePoints(rewritten), Originality(source, rewritten)};
}

std::string RefusalReply(int code, std::string_view utf8Message) {
    return "{\"code\":" + std::to_string(code) + ",\"msg\":" + JsonString(utf8Message) + "}";
}

std::string AnswerForm(std::string_view body, const Accounts& accounts) {
    std::string id, user, str, num, sign;
    if (!FormField(body, "id", id) || !FormField(body, "user", user) || !FormField(body, "str", str) ||
        !FormField(body, "num", num) || !FormField(body, "sign", sign)) {
        return RefusalReply(400, U8(u8"请求缺少字段：id、user、str、num、sign"));
    }
    if (id != "vip" || num != "1") {
        return RefusalReply(400, U8(u8"id 必须为 vip，num 必须为 1"));
    }
    // The program sends the fields as they are; a client that percent-encodes them is read the same way.
    user = UrlDecode(user);
    str = UrlDecode(str);
    const auto account = accounts.find(user);
    if (account == accounts.end()) {
        return RefusalReply(401, U8(u8"用户不存在"));
    }
    if (sign != Md5Hex(account->second + str)) {
        return RefusalReply(403, U8(u8"签名错误"));
    }
    std::string text;
    if (!Base64Decode(str, text)) {
        return RefusalReply(400, U8(u8"str 不是有效的 Base64"));
    }
    RewriteResult result = RewriteUtf8(text);
    result.text = EscapeLineBreaks(result.text);
    return AcceptedReply(result);
}

std::string AnswerUpload(bool hasNum, std::string_view num, bool hasFile, std::string_view fileBytes) {
    if (!hasNum || num != "1") {
        return RefusalReply(400, U8(u8"上传缺少 num=1 字段"));
    }
    if (!hasFile) {
        return RefusalReply(400, U8(u8"上传缺少 file 文件"));
    }
    // Files of the program are GBK; a UTF-8 file is taken as it is.
    const std::string text = IsUtf8(fileBytes) ? std::string(fileBytes) : GbkToUtf8(fileBytes);
    return AcceptedReply(RewriteUtf8(text));
}

bool ParseMultipart(std::string_view contentType, std::string_view body, std::map<std::string, std::string>& parts) {
    parts.clear();
    const size_t at = contentType.find("boundary=");
    if (at == std::string_view::npos) return false;
    std::string boundary(contentType.substr(at + 9));
    boundary = boundary.substr(0, boundary.find(';'));
    if (boundary.size() >= 2 && boundary.front() == '"' && boundary.back() == '"') {
        boundary = boundary.substr(1, boundary.size() - 2);
    }
    if (boundary.empty()) return false;
    const std::string first = "--" + boundary + "\r\n";
    const std::string delimiter = "\r\n--" + boundary;
    if (body.substr(0, first.size()) != first) return false;
    size_t position = first.size();
    while (true) {
        const size_t headEnd = body.find("\r\n\r\n", position);
        if (headEnd == std::string_view::npos) return false;
        const std::string_view head = body.substr(position, headEnd - position);
        // An empty part's delimiter starts with the second line break of its head's end.
        const size_t end = body.find(delimiter, headEnd + 2);
        if (end == std::string_view::npos) return false;  // no closing boundary
        const std::string_view content =
            end >= headEnd + 4 ? body.substr(headEnd + 4, end - headEnd - 4) : std::string_view();
        // "; name=" and not the "name=" inside "filename="
        const std::string_view kName = "; name=\"";
        const size_t nameAt = head.find(kName);
        if (nameAt == std::string_view::npos) return false;
        const size_t nameStart = nameAt + kName.size();
        const size_t nameEnd = head.find('"', nameStart);
        if (nameEnd == std::string_view::npos) return false;
        parts[std::string(head.substr(nameStart, nameEnd - nameStart))] = std::string(content);
        const std::string_view after = body.substr(end + delimiter.size());
        if (after.substr(0, 2) == "--") return true;
        if (after.substr(0, 2) != "\r\n") return false;
        position = end + delimiter.size() + 2;
    }
}

}  // namespace lanque::services

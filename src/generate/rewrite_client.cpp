#include "generate/rewrite_client.h"

#include <algorithm>

#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

namespace {

// A name goes between double quotes in the part's header: keep it from ending the quotes or the line.
Text QuotableName(std::string_view fileName) {
    Text name = GbkReplaceAll(fileName, "\"", "%22");
    name = GbkReplaceAll(name, "\r", "%0D");
    return GbkReplaceAll(name, "\n", "%0A");
}

}  // namespace

Text RewriteAddress(const Endpoints& endpoints) { return endpoints.rewrite + "/api.php"; }

Text PackText(std::string_view text) { return Base64Encode(GbkToUtf8(GbkReplaceAll(text, "\r\n", "\\n"))); }

Text MakeSign(std::string_view secret, std::string_view packed) {
    Text signText = Text(secret);
    signText.append(packed);
    return Md5Hex(signText);
}

Text FormBody(std::string_view user, std::string_view packed, std::string_view sign) {
    Text body = "id=vip&user=";
    body.append(user).append("&str=").append(packed).append("&num=1&sign=").append(sign);
    return body;
}

Bytes UploadBody(std::string_view fileName, std::string_view fileBytes) {
    const Text separator = "--" + Text(kUploadBoundary);
    Bytes body;
    body.reserve(fileBytes.size() + fileName.size() + 256);
    body.append(separator).append("\r\n");
    body.append("Content-Disposition: form-data; name=\"num\"\r\n");
    body.append("\r\n");
    body.append("1\r\n");
    body.append(separator).append("\r\n");
    body.append("Content-Disposition: form-data; name=\"file\"; filename=\"").append(QuotableName(fileName));
    body.append("\"\r\n");
    body.append("Content-Type: text/plain\r\n");
    body.append("\r\n");
    body.append(fileBytes);
    body.append("\r\n").append(separator).append("--");
    return body;
}

Text UploadFileName(std::string_view path) {
    const std::size_t backslash = GbkFindLast(path, "\\");
    const std::size_t slash = GbkFindLast(path, "/");
    std::size_t cut = kNoPos;
    if (backslash != kNoPos) cut = backslash;
    if (slash != kNoPos && (cut == kNoPos || slash > cut)) cut = slash;
    return cut == kNoPos ? Text(path) : Text(path.substr(cut + 1));
}

bool ReadReply(std::string_view reply, JsonDocument& document) { return document.Parse(Utf8ToGbk(reply)); }

}  // namespace lanque

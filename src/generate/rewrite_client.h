#pragma once

#include <string_view>

#include "http/endpoints.h"
#include "script/json_document.h"
#include "text/text.h"

// The rewriting service's request and reply formats: the signed form request, the multipart upload and
// the JSON reply with "str" and "ck".
namespace lanque {

// The account the generation command signs with.
inline constexpr std::string_view kGenerationUser = "admin";
inline constexpr std::string_view kGenerationSecret = "5c0e1a7f62d9b38";

inline constexpr std::string_view kUploadBoundary = "----OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX";
// The extra header text of an upload, ending in the blank line the request function's normalisation drops.
inline constexpr std::string_view kUploadHeaders =
    "Content-Type:multipart/form-data; boundary=----OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX\r\n\r\n";

// endpoints.rewrite + "/api.php", the one address every request kind goes to.
Text RewriteAddress(const Endpoints& endpoints);

// The "str" field: every "\r\n" made the two characters "\" "n", then UTF-8, then Base64.
Text PackText(std::string_view text);
// The "sign" field: lower-case MD5 of secret + packed.
Text MakeSign(std::string_view secret, std::string_view packed);
// "id=vip&user=" + user + "&str=" + packed + "&num=1&sign=" + sign, nothing percent-encoded.
Text FormBody(std::string_view user, std::string_view packed, std::string_view sign);
// The multipart body carrying the file's bytes unchanged under the GBK file name. A double quote, CR or LF
// in the name (possible on Linux) is written %22, %0D, %0A so it cannot break the part's header.
Bytes UploadBody(std::string_view fileName, std::string_view fileBytes);
// The part of a GBK path after its last "\" or "/".
Text UploadFileName(std::string_view path);
// Loads the UTF-8 reply into the caller's document; false when it is not JSON (then "str" and "ck" read
// as empty text).
bool ReadReply(std::string_view reply, JsonDocument& document);

}  // namespace lanque

#pragma once

#include <map>
#include <string>
#include <string_view>

// The reference rewriting service behind "/api.php". Its rewriting is deliberately simple and fully
// deterministic, so that tests can predict every answer:
//  1. Phrase table: every phrase of a fixed table of Chinese word pairs is replaced by its partner
//     (both directions, longest match first, scanning left to right), e.g. 非常 <-> 十分.
//  2. Clause reordering: inside each sentence (ended by 。！？；, a line break or a backslash pair) that holds
//     at least three clauses separated by "，", the first two clauses change places.
// Line breaks, backslash pairs and every character outside the table keep their places, so a text of n
// paragraphs comes back as n paragraphs. "ck" is the share of characters changed, in whole percent.
namespace lanque::services {

struct RewriteResult {
    std::string text;     // UTF-8
    int originality = 0;  // share of character positions that differ from the source, 0..100
};

// user -> secret
using Accounts = std::map<std::string, std::string>;

// "admin" with the generation's fixed secret, and the collector's default account.
Accounts DefaultAccounts();

RewriteResult RewriteUtf8(std::string_view utf8);

// The JSON reply to a signed form request "id=vip&user=U&str=PACKED&num=1&sign=S". A missing field, a wrong
// id or num, an unknown user, a wrong sign or a "str" that is not Base64 gets {"code":N,"msg":"..."} without
// "str". The accepted reply is {"code":0,"str":...,"ck":N}, its line breaks written as backslash-n.
std::string AnswerForm(std::string_view body, const Accounts& accounts);

// The JSON reply to a multipart upload, given its parts: the "num" field and the "file" part (absent when
// hasFile is false). The file may be GBK or UTF-8; the reply is UTF-8 with the file's line breaks kept.
std::string AnswerUpload(bool hasNum, std::string_view num, bool hasFile, std::string_view fileBytes);

// The parts of a multipart/form-data body by name (the content type carries the boundary). The body
// starts with "--" + boundary + CRLF, parts are separated by CRLF "--" boundary, and the last boundary is
// followed by "--" (a line break after it is optional). False when the body does not have that shape.
bool ParseMultipart(std::string_view contentType, std::string_view body, std::map<std::string, std::string>& parts);

// The reply for anything else sent to "/api.php" (no body, unknown content type).
std::string RefusalReply(int code, std::string_view utf8Message);

}  // namespace lanque::services

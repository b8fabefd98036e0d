#pragma once

#include <string_view>

#include "text/text.h"

// The header, cookie and address operations the request functions share. Pure functions on GBK
// texts: they keep no state and may run on any thread at once. Header text is lines "Name: value"
// joined by "\r\n"; cookie text is items "name=value" joined by "; ".
namespace lanque {

// The method name for a method code: 0-7 = GET, POST, HEAD, PUT, OPTIONS, DELETE, TRACE, CONNECT;
// any other code is sent as "GET".
Text MethodName(int code);

// The value of the first header line that begins with name (exact bytes, so "Connection" also
// matches "Connection-X: 1"): the text after the last name + ": " in that line. Empty when none.
Text HeaderValue(std::string_view headers, std::string_view name);

// Capitalises each "-"-separated part of every header name ("user-agent" -> "User-Agent"); lines
// without ":" are dropped; lines joined by "\r\n" with none after the last.
Text NormaliseHeaderNames(std::string_view headers);

// The text with its first byte upper-cased when it is an ASCII letter a-z.
Text CapitaliseFirst(std::string_view text);

// The cookies a reply sets ("Set-Cookie:" lines, exact case), name=value only, joined by "; ".
Text CollectSetCookies(std::string_view headers);

// Trim of the text before the first "="; Trim of the whole item when it has no "=".
Text CookieName(std::string_view item);

// The reply's cookies first, in its order, then the sent cookies the reply did not set; a cookie the
// reply deleted ("=deleted") is dropped; exact repeats dropped.
Text MergeCookies(std::string_view sent, std::string_view reply);

// As MergeCookies, but every blank (ASCII and full-width) is removed first and items are split at ";".
Text MergeCookiesCompact(std::string_view sent, std::string_view reply);

// The text split at separator, later exact repeats of an item dropped, rejoined with separator.
Text DistinctJoin(std::string_view text, std::string_view separator);

// The lower-cased host of an address, with ":port" only when keepPort is true.
Text UrlHost(std::string_view address, bool keepPort = false);

// The port of an address: the one written after the host, else 443 for https and 80 otherwise;
// 0 when the written port is not a number in 0-65535.
int UrlPort(std::string_view address);

// The path and query to request, in the address's own case; "/" when the address has none.
Text UrlPath(std::string_view address);

}  // namespace lanque

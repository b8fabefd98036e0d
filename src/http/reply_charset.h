#pragma once

#include "text/text.h"

namespace lanque {

// The charset a page declares in a meta tag within its first 1024 bytes; empty when none.
Text DeclaredCharset(const Text& pageText);

// The reply body as GBK text: read up to its first zero byte, or, when the page declares a charset other
// than "gbk" and "gb2312", decoded from that charset and re-encoded in GBK.
Text ReplyText(const Bytes& body);

}  // namespace lanque

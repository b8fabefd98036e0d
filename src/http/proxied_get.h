#pragma once

#include <cstddef>
#include <string_view>

#include "http/curl_handle.h"
#include "http/endpoints.h"
#include "text/text.h"

namespace lanque {

// The header text of a result-page GET through the forwarding proxy: the fixed browser-like block, its
// "Host: " line naming the search engine's host, then the signed "Proxy-Authorization:" line.
Text ProxiedGetHeaders(std::string_view searchHost, std::string_view signedLine);

// A GET of url through the forwarding proxy (endpoints.proxy), signed with the order number and the secret
// as the user typed them; the reply body as received (possibly empty).
Bytes ProxiedGet(std::string_view url, std::string_view orderNumber, std::string_view secret,
                 const Endpoints& endpoints, std::size_t maxReplyBytes = kDefaultMaxReplyBytes);

}  // namespace lanque

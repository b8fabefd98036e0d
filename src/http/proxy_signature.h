#pragma once

#include <chrono>
#include <string_view>

#include "text/text.h"

// The signed "Proxy-Authorization" header line the forwarding proxy wants on every request sent through it.
namespace lanque {

// The current local time as 13 digits (seconds since the local date-time 1970-01-01 08:00:00, then three
// millisecond digits), or cut/padded to 10 digits when tenDigits is set.
Text TimestampText(bool tenDigits = false);
// The same for a given moment, read in the machine's local time zone.
Text TimestampTextAt(std::chrono::system_clock::time_point now, bool tenDigits);

// "Proxy-Authorization:sign=" + upper-case MD5 of "orderno=O,secret=S,timestamp=T" + "&orderno=" + O +
// "&timestamp=" + T. Order number and secret are used exactly as given.
Text ProxySignatureAt(std::string_view orderNumber, std::string_view secret, std::string_view timestamp);
// The header line with a fresh ten-digit time stamp; an empty proxyAddress is set to proxyEndpoint so the
// caller can pass it on as the proxy of its request.
Text ProxySignature(std::string_view orderNumber, std::string_view secret, Text& proxyAddress,
                    std::string_view proxyEndpoint);

}  // namespace lanque

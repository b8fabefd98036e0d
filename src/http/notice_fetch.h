#pragma once

#include <cstddef>
#include <string_view>

#include "text/text.h"

namespace lanque {

// The whole notice fetch may take this long, so the window opens quickly without a network.
inline constexpr long kNoticeTimeLimitMs = 8000;
inline constexpr std::size_t kNoticeMaxBytes = std::size_t{1} << 20;

// Posts to the notice address and returns the reply body converted from UTF-8 to GB2312; empty on any
// failure (no connection, a time-out, a certificate that does not verify, a reply past maxBytes).
Text FetchNotice(std::string_view address, long timeLimitMs = kNoticeTimeLimitMs,
                 std::size_t maxBytes = kNoticeMaxBytes);

}  // namespace lanque

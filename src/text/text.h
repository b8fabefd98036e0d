#pragma once

#include <string>
#include <string_view>

namespace lanque {

// A GBK (code page 936) byte string, owned by value. Empty text is valid everywhere.
using Text = std::string;
// An owned byte buffer: request bodies, replies, file contents.
using Bytes = std::string;

// Line break used inside the program.
inline constexpr std::string_view kCrLf = "\r\n";

}  // namespace lanque

#include "http/proxy_signature.h"

#include <ctime>
#include <string>

#include "text/encodings.h"

namespace lanque {

namespace {

// Local wall-clock seconds of 1970-01-01 08:00:00, the origin the proxy's time stamps count from.
constexpr long long kOriginSeconds = 8 * 60 * 60;

}  // namespace

Text TimestampTextAt(std::chrono::system_clock::time_point now, bool tenDigits) {
    using namespace std::chrono;
    const auto wholeSeconds = floor<seconds>(now);
    const long long millis = duration_cast<milliseconds>(now - wholeSeconds).count();
    const std::time_t utc = static_cast<std::time_t>(wholeSeconds.time_since_epoch().count());
    std::tm local{};
    long long localSeconds = static_cast<long long>(utc);
    if (localtime_r(&utc, &local) != nullptr) {
        // The local date-time read back as if it were UTC gives the wall-clock seconds since 1970-01-01 00:00.
        localSeconds = static_cast<long long>(timegm(&local));
    }
    Text stamp = std::to_string(localSeconds - kOriginSeconds);
    Text millisText = std::to_string(millis);
    stamp += Text(3 - millisText.size(), '0') + millisText;
    const std::size_t width = tenDigits ? 10 : 13;
    if (stamp.size() > width && tenDigits) {
        stamp.resize(width);
    }
    if (stamp.size() < width) {
        stamp.append(width - stamp.size(), '0');
    }
    return stamp;
}

Text TimestampText(bool tenDigits) { return TimestampTextAt(std::chrono::system_clock::now(), tenDigits); }

Text ProxySignatureAt(std::string_view orderNumber, std::string_view secret, std::string_view timestamp) {
    Text signText = "orderno=";
    signText.append(orderNumber).append(",secret=").append(secret).append(",timestamp=").append(timestamp);
    Text line = "Proxy-Authorization:sign=" + Md5Hex(signText, true);
    line.append("&orderno=").append(orderNumber).append("&timestamp=").append(timestamp);
    return line;
}

Text ProxySignature(std::string_view orderNumber, std::string_view secret, Text& proxyAddress,
                    std::string_view proxyEndpoint) {
    const Text timestamp = TimestampText(true);
    if (proxyAddress.empty()) {
        proxyAddress = Text(proxyEndpoint);
    }
    return ProxySignatureAt(orderNumber, secret, timestamp);
}

}  // namespace lanque

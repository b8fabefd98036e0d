#include "http/header_helpers.h"

#include <array>
#include <string>
#include <unordered_set>
#include <vector>

#include "text/cutters.h"
#include "text/gbk.h"

namespace lanque {

namespace {

constexpr std::string_view kSetCookie = "Set-Cookie";
constexpr std::string_view kSetCookieColon = "Set-Cookie:";
constexpr std::string_view kDeleted = "=deleted";
constexpr std::string_view kCookieSeparator = "; ";

// Capitalises the first letter of each "-"-separated part of a header name. Walking the bytes keeps
// every dash, also a trailing one ("x-" stays "X-"); a "-" is never part of a two-byte character.
Text CapitaliseNameParts(std::string_view name) {
    Text out(name);
    bool partStart = true;
    for (std::size_t pos = 0; pos < out.size();) {
        const std::size_t length = GbkCharLength(out, pos);
        if (partStart && length == 1) {
            out[pos] = AsciiUpper(out[pos]);
        }
        partStart = length == 1 && out[pos] == '-';
        pos += length;
    }
    return out;
}

// Steps 3-5 of both cookie merges: sent items the reply did not set are appended to the reply items,
// deleted and empty items are left out, exact repeats dropped.
Text MergeCookieItems(const std::vector<Text>& sentItems, std::vector<Text> replyItems) {
    std::unordered_set<Text> names;
    for (const Text& item : replyItems) {
        names.insert(CookieName(item));
    }
    for (const Text& item : sentItems) {
        // The list grows as sent items are added, so a second sent item of the same name is not added.
        if (names.insert(CookieName(item)).second) {
            replyItems.push_back(item);
        }
    }
    std::vector<Text> kept;
    kept.reserve(replyItems.size());
    for (Text& item : replyItems) {
        const bool deleted = item.size() >= kDeleted.size() &&
                             std::string_view(item).substr(item.size() - kDeleted.size()) == kDeleted;
        // An empty item carries no cookie and would only put a stray "; ; " into the Cookie line.
        if (!deleted && !item.empty()) {
            kept.push_back(std::move(item));
        }
    }
    return DistinctJoin(Join(kept, kCookieSeparator), kCookieSeparator);
}

// A trimmed cookie text that ends in ";" gets one blank, so that it ends in the separator "; ".
Text TrimCookieText(std::string_view text) {
    Text out = Trim(text);
    if (!out.empty() && out.back() == ';') {
        out.push_back(' ');
    }
    return out;
}

}  // namespace

Text MethodName(int code) {
    static constexpr std::array<std::string_view, 8> kNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                               "OPTIONS", "DELETE", "TRACE", "CONNECT"};
    return Text(code >= 0 && code < static_cast<int>(kNames.size()) ? kNames[code] : kNames[0]);
}

Text HeaderValue(std::string_view headers, std::string_view name) {
    for (const Text& line : GbkSplit(headers, kCrLf)) {
        if (std::string_view(line).substr(0, name.size()) == name) {
            return TextRightOf(line, Text(name) + ": ");
        }
    }
    return {};
}

Text NormaliseHeaderNames(std::string_view headers) {
    std::vector<Text> lines;
    for (const Text& line : GbkSplit(headers, kCrLf)) {
        const std::size_t colon = GbkFind(line, ":");
        if (colon == kNoPos) {
            continue;
        }
        const std::string_view view(line);
        lines.push_back(CapitaliseNameParts(view.substr(0, colon)) + Text(view.substr(colon)));
    }
    return Join(lines, kCrLf);
}

Text CapitaliseFirst(std::string_view text) {
    Text out(text);
    if (!out.empty()) {
        out[0] = AsciiUpper(out[0]);
    }
    return out;
}

Text CollectSetCookies(std::string_view headers) {
    std::vector<Text> items;
    for (const Text& line : GbkSplit(headers, kCrLf)) {
        if (TextLeftOf(line, ": ") != kSetCookie) {
            continue;
        }
        Text item = GbkFind(line, ";") != kNoPos ? Trim(TextBetween(line, kSetCookieColon, ";"))
                                                 : Trim(GbkReplaceAll(line, kSetCookieColon, "", true));
        // A line that sets nothing ("Set-Cookie: ; path=/") adds no empty item.
        if (!item.empty()) {
            items.push_back(std::move(item));
        }
    }
    return Join(items, kCookieSeparator);
}

Text CookieName(std::string_view item) {
    const std::size_t equals = GbkFind(item, "=");
    return Trim(equals == kNoPos ? item : item.substr(0, equals));
}

Text MergeCookies(std::string_view sent, std::string_view reply) {
    return MergeCookieItems(GbkSplit(TrimCookieText(sent), kCookieSeparator),
                            GbkSplit(TrimCookieText(reply), kCookieSeparator));
}

Text MergeCookiesCompact(std::string_view sent, std::string_view reply) {
    return MergeCookieItems(GbkSplit(RemoveBlanks(sent), ";"), GbkSplit(RemoveBlanks(reply), ";"));
}

Text DistinctJoin(std::string_view text, std::string_view separator) {
    std::unordered_set<Text> seen;
    std::vector<Text> kept;
    for (Text& item : GbkSplit(text, separator)) {
        if (seen.insert(item).second) {
            kept.push_back(std::move(item));
        }
    }
    return Join(kept, separator);
}

Text UrlHost(std::string_view address, bool keepPort) {
    Text text = AsciiLowered(address);
    if (text.empty() || text.back() != '/') {
        text.push_back('/');
    }
    std::string_view marker = "https://";
    if (text.rfind(marker, 0) != 0) {
        marker = "http://";
        if (GbkFind(text, marker) == kNoPos) {
            text.insert(0, marker);
        }
    }
    Text host = TextBetween(text, marker, "/");
    if (!keepPort) {
        const std::size_t colon = GbkFind(host, ":");
        if (colon != kNoPos) {
            host.resize(colon);
        }
    }
    return host;
}

int UrlPort(std::string_view address) {
    const Text host = UrlHost(address, true);
    const std::size_t colon = GbkFindLast(host, ":");
    if (colon != kNoPos) {
        const long long port = TextToInt(std::string_view(host).substr(colon + 1));
        return port >= 0 && port <= 65535 ? static_cast<int>(port) : 0;
    }
    return AsciiLowered(address.substr(0, 5)) == "https" ? 443 : 80;
}

Text UrlPath(std::string_view address) {
    // The host is looked for after the scheme, so that a host such as "h" is not found inside "http".
    const std::size_t scheme = GbkFind(address, "://");
    const std::size_t hostFrom = scheme == kNoPos ? 0 : scheme + 3;
    const std::size_t hostPos = GbkFind(address, UrlHost(address), hostFrom, true);
    const std::size_t slash = GbkFind(address, "/", hostPos == kNoPos ? hostFrom : hostPos);
    return slash == kNoPos ? Text("/") : Text(address.substr(slash));
}

}  // namespace lanque

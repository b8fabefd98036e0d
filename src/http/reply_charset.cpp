#include "http/reply_charset.h"

#include <iconv.h>

#include "http/regex_object.h"
#include "text/encodings.h"
#include "text/gbk.h"

namespace lanque {

namespace {

constexpr std::size_t kCharsetWindowBytes = 1024;
constexpr const char* kCharsetPattern = "<meta.+?charset=[^\\w]?([-\\w]+)";

bool KnownCharset(const Text& charset)
{
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(converter);
    return true;
}

}  // namespace

Text DeclaredCharset(const Text& pageText)
{
    std::string_view window = std::string_view(pageText).substr(0, kCharsetWindowBytes);
    // The pattern needs both literals; most replies (the translation's JSON) hold neither, and then the
    // regular expression need not be compiled at all.
    if (GbkFind(window, "charset=", 0, true) == kNoPos || GbkFind(window, "<meta", 0, true) == kNoPos) {
        return Text();
    }
    RegexObject regex;
    if (!regex.Execute(kCharsetPattern, window, false, true, true)) {
        return Text();
    }
    return regex.SubMatchText(1, 1);
}

Text ReplyText(const Bytes& body)
{
    Text text = body.substr(0, body.find('\0'));
    Text charset = DeclaredCharset(text);
    // A charset the converter does not know leaves the text as read.
    if (charset.empty() || charset == "gbk" || charset == "gb2312" || !KnownCharset(charset)) return text;
    // Through UTF-8: glibc's direct GB2312-to-GBK module drops a two-byte character at the very end.
    Text decoded = Utf8ToGbk(ConvertCodePage(body, charset.c_str(), "UTF-8"));
    return decoded.substr(0, decoded.find('\0'));
}

}  // namespace lanque

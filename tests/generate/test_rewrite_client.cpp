#include "generate/rewrite_client.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"

namespace lanque {
namespace {

TEST(RewriteClient, PackText) {
    const struct {
        Text text;
        const char* packed;
    } cases[] = {
        {"a\r\nb", "YVxuYg=="},            // a, backslash, n, b
        {"", ""},
        {"?>?>>>", "Pz4/Pj4+"},            // "+" and "/" stay as they are
        {"a\rb\nc", "YQ1iCmM="},           // a lone CR or LF is kept
        {"你好\r\n世界", "5L2g5aW9XG7kuJbnlYw="},  // UTF-8 of the GBK text
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PackText(c.text), c.packed) << c.text;
    }
}

TEST(RewriteClient, SignedFormBody) {
    const Text packed = PackText("a\r\nb");
    const Text sign = MakeSign(kGenerationSecret, packed);
    EXPECT_EQ(sign, "4fc7923e0d05be3530087faa07ef3450");
    EXPECT_EQ(FormBody(kGenerationUser, packed, sign),
              "id=vip&user=admin&str=YVxuYg==&num=1&sign=4fc7923e0d05be3530087faa07ef3450");
    // An empty text still goes, with the sign of the secret alone.
    EXPECT_EQ(FormBody("admin", PackText(""), MakeSign(kGenerationSecret, PackText(""))),
              "id=vip&user=admin&str=&num=1&sign=c3bad3aea65303883699edf992992f44");
    EXPECT_EQ(FormBody("user1", "Pz4/Pj4+", MakeSign("s3cret", "Pz4/Pj4+")),
              "id=vip&user=user1&str=Pz4/Pj4+&num=1&sign=20aeb7b12d8f6b29f2020dc21b275df9");
}

TEST(RewriteClient, UploadBodyIsByteExact) {
    const std::string bytes("line1\r\n\xC4\xE3\0end", 11);  // GBK, with a NUL, exactly as on disk
    const Bytes expected = std::string(
                               "------OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX\r\n"
                               "Content-Disposition: form-data; name=\"num\"\r\n"
                               "\r\n"
                               "1\r\n"
                               "------OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX\r\n"
                               "Content-Disposition: form-data; name=\"file\"; filename=\"文章.txt\"\r\n"
                               "Content-Type: text/plain\r\n"
                               "\r\n") +
                           bytes + "\r\n------OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX--";
    EXPECT_EQ(UploadBody("文章.txt", bytes), expected);
    EXPECT_EQ(kUploadHeaders,
              "Content-Type:multipart/form-data; boundary=----OsmOjrPcyhDlgcgvzrX3MeErZDMzwJ00tX\r\n\r\n");
}

TEST(RewriteClient, UploadNameCannotBreakThePartHeader) {
    const Bytes body = UploadBody("a\"b\r\nX-Evil: 1.txt", "");
    EXPECT_NE(body.find("filename=\"a%22b%0D%0AX-Evil: 1.txt\"\r\n"), Bytes::npos) << body;
}

TEST(RewriteClient, UploadFileNameIsAfterTheLastSeparator) {
    const struct {
        Text path;
        Text name;
    } cases[] = {
        {"C:\\文章\\第一篇.txt", "第一篇.txt"},
        {"/home/u/文章/第一篇.txt", "第一篇.txt"},
        {"plain.txt", "plain.txt"},
        // B0 5C is one GBK character whose trail byte is "\": only the lone 5C separates.
        {"\xB0\x5C\\\xB0\x5C.txt", "\xB0\x5C.txt"},
        {"dir\\", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UploadFileName(c.path), c.name) << c.path;
    }
}

TEST(RewriteClient, ReadReply) {
    JsonDocument document;
    ASSERT_TRUE(ReadReply(R"({"str":"x\\nb","ck":96})", document));
    EXPECT_EQ(document.GetText("str"), "x\\nb");
    EXPECT_EQ(document.GetText("ck"), "96");

    ASSERT_TRUE(ReadReply(test::Utf8(u8R"({"str":"改写后的文章","ck":"85%","other":1})"), document));
    EXPECT_EQ(document.GetText("str"), "改写后的文章");
    EXPECT_EQ(document.GetText("ck"), "85%");

    for (const char* reply : {"", "<html>502 Bad Gateway</html>", "{\"str\":"}) {
        EXPECT_FALSE(ReadReply(reply, document)) << reply;
        EXPECT_EQ(document.GetText("str"), "");
        EXPECT_EQ(document.GetText("ck"), "");
    }
    ASSERT_TRUE(ReadReply(R"({"ck":"1"})", document));
    EXPECT_EQ(document.GetText("str"), "") << "a missing member reads as empty text";
}

TEST(RewriteClient, Address) {
    Endpoints endpoints;
    endpoints.rewrite = "http://127.0.0.1:18601";
    EXPECT_EQ(RewriteAddress(endpoints), "http://127.0.0.1:18601/api.php");
}

}  // namespace
}  // namespace lanque

#include "http/notice_fetch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/recording_server.h"
#include "support/test_support.h"

namespace lanque {
namespace {

using test::RecordingServer;
using test::ScriptedReply;

TEST(FetchNotice, PostsAndConvertsTheUtf8Notice)
{
    RecordingServer server;
    server.Queue(ScriptedReply::Ok(test::Utf8(u8"欢迎使用岚雀\r\n")));
    EXPECT_EQ(FetchNotice(server.BaseUrl() + "/notice.php?v=5"), "欢迎使用岚雀\r\n");
    auto request = server.LastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/notice.php?v=5");
    std::vector<std::string> expected = {"Host: " + server.HostPort(),
                                         "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
                                         "Accept: */*", "Content-Type: application/x-www-form-urlencoded",
                                         "Content-Length: 0"};
    EXPECT_EQ(request.headerLines, expected);
    EXPECT_EQ(request.body, "");
}

TEST(FetchNotice, RedirectIsReadLikeAnyReply)
{
    RecordingServer server;
    server.Queue(ScriptedReply::Redirect(302, "/elsewhere"));
    EXPECT_EQ(FetchNotice(server.BaseUrl()), "moved");
    EXPECT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.LastRequest().target, "/");
}

TEST(FetchNotice, EveryFailureIsEmpty)
{
    int closedPort;
    {
        RecordingServer gone;
        closedPort = gone.Port();
    }
    EXPECT_EQ(FetchNotice("http://127.0.0.1:" + std::to_string(closedPort) + "/"), "");

    RecordingServer slow;
    ScriptedReply late = ScriptedReply::Ok("late");
    late.delayMs = 5000;
    slow.Queue(late);
    EXPECT_EQ(FetchNotice(slow.BaseUrl() + "/", 300), "");

    RecordingServer big;
    big.Queue(ScriptedReply::Ok(std::string(65, 'n')));
    EXPECT_EQ(FetchNotice(big.BaseUrl() + "/", kNoticeTimeLimitMs, 64), "");

    RecordingServer cut;
    ScriptedReply half = ScriptedReply::Ok(std::string(100, 'h'));
    half.closeMidBody = true;
    cut.Queue(half);
    EXPECT_EQ(FetchNotice(cut.BaseUrl() + "/"), "");

    // certificate errors are not ignored
    RecordingServer secure(true);
    secure.Queue(ScriptedReply::Ok("notice"));
    EXPECT_EQ(FetchNotice(secure.BaseUrl() + "/"), "");
}

}  // namespace
}  // namespace lanque

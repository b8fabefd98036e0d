#include "http/proxy_signature.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace lanque {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::system_clock;

system_clock::time_point At(long long unixSeconds, long long millis) {
    return system_clock::time_point(seconds(unixSeconds) + milliseconds(millis));
}

// Runs the time-stamp cases in a fixed time zone; restores the previous one afterwards.
class TimestampTest : public ::testing::Test {
protected:
    void UseZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    void SetUp() override {
        const char* old = std::getenv("TZ");
        m_hadZone = old != nullptr;
        if (m_hadZone) m_oldZone = old;
    }
    void TearDown() override {
        if (m_hadZone) {
            setenv("TZ", m_oldZone.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadZone = false;
    std::string m_oldZone;
};

TEST_F(TimestampTest, ShortJoinedTextIsPaddedOnTheRight) {
    UseZone("UTC-8");  // POSIX sign: eight hours east of UTC
    EXPECT_EQ(TimestampTextAt(At(5, 42), true), "5042000000");
    EXPECT_EQ(TimestampTextAt(At(5, 42), false), "5042000000000");
}

TEST_F(TimestampTest, CountsFromEightOClockLocalTimeInAnyZone) {
    UseZone("UTC");
    EXPECT_EQ(TimestampTextAt(At(8 * 3600 + 5, 42), true), "5042000000");
    EXPECT_EQ(TimestampTextAt(At(1700000000, 0), false), "1699971200000");
    UseZone("EST5");
    EXPECT_EQ(TimestampTextAt(At(1700000000, 0), false), "1699953200000");
}

TEST_F(TimestampTest, TenDigitSecondsKeepOnlyTheSecondsOrAddMilliseconds) {
    UseZone("UTC-8");
    const struct {
        long long millis;
        const char* thirteen;
    } cases[] = {{7, "1700000000007"}, {42, "1700000000042"}, {999, "1700000000999"}, {0, "1700000000000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimestampTextAt(At(1700000000, c.millis), false), c.thirteen) << c.millis;
        EXPECT_EQ(TimestampTextAt(At(1700000000, c.millis), true), "1700000000") << c.millis;
    }
}

TEST_F(TimestampTest, CurrentTimeHasTheRightShape) {
    for (bool ten : {true, false}) {
        const Text stamp = TimestampText(ten);
        ASSERT_EQ(stamp.size(), ten ? 10u : 13u);
        EXPECT_EQ(stamp.find_first_not_of("0123456789"), Text::npos) << stamp;
    }
}

TEST(ProxySignature, HeaderLineIsSignedWithUpperCaseDigits) {
    const struct {
        Text order, secret, stamp, expected;
    } cases[] = {
        {"ZF20241234", "0a1b2c3d4e", "1700000000",
         "Proxy-Authorization:sign=83D424555DF6D311306A9C1E05D80542&orderno=ZF20241234&timestamp=1700000000"},
        {"", "", "5042000000",
         "Proxy-Authorization:sign=F6C00114B40B4E9C3223CB527AA82445&orderno=&timestamp=5042000000"},
        // The sign is taken over the GBK bytes of the order number.
        {"订单", "s", "1700000000",
         "Proxy-Authorization:sign=21C993052A49D69C11904FA47D3CF9EB&orderno=订单&timestamp=1700000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProxySignatureAt(c.order, c.secret, c.stamp), c.expected);
    }
}

TEST(ProxySignature, FreshStampAndProxyAddress) {
    Text address;
    const Text line = ProxySignature("O1", "S1", address, "proxy.example:80");
    EXPECT_EQ(address, "proxy.example:80");
    const std::string prefix = "Proxy-Authorization:sign=";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    const Text sign = line.substr(prefix.size(), 32);
    EXPECT_EQ(sign.find_first_not_of("0123456789ABCDEF"), Text::npos) << sign;
    const std::size_t stampAt = line.find("&timestamp=");
    ASSERT_NE(stampAt, Text::npos);
    const Text stamp = line.substr(stampAt + 11);
    EXPECT_EQ(stamp.size(), 10u);
    EXPECT_EQ(line, ProxySignatureAt("O1", "S1", stamp));
    EXPECT_EQ(line.find("S1"), Text::npos) << "the secret never travels in the header";

    Text given = "127.0.0.1:3128";
    ProxySignature("O1", "S1", given, "proxy.example:80");
    EXPECT_EQ(given, "127.0.0.1:3128");
}

}  // namespace
}  // namespace lanque

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "concurrency/message_pump.h"
#include "text/gbk.h"

namespace lanque {
namespace {

TEST(FormatTime, Kinds) {
    struct Case {
        DateTime time;
        std::optional<int> kind;
        Text expected;
    };
    const Case cases[] = {
        {{2020, 6, 8, 23, 59, 7}, 2, "23:59:07"},
        {{2020, 6, 8, 7, 8, 9}, 2, "07:08:09"},
        {{2020, 6, 8, 7, 8, 9}, 1, "2020-06-08"},
        {{2020, 12, 31, 7, 8, 9}, 0, "2020-12-31 07:08:09"},
        {{2020, 12, 31, 7, 8, 9}, std::nullopt, "2020-12-31 07:08:09"},
        {{2020, 12, 31, 7, 8, 9}, 9, "2020-12-31 07:08:09"},
        {{812, 1, 2, 0, 0, 0}, 1, "0812-01-02"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTime(c.time, c.kind), c.expected);
    }
    EXPECT_EQ(FormatTime().size(), 19u);  // now, date and time
}

TEST(PumpingSleep, Units) {
    struct Case {
        int amount;
        std::optional<std::int64_t> unit;
        std::int64_t ms;
    };
    const Case cases[] = {{5, std::nullopt, 5}, {5, 0, 5},  {2, 1, 2000},         {1, 2, 60000},
                          {1, 3, 3600000},      {3, 7, 21}, {-4, std::nullopt, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(SleepMilliseconds(c.amount, c.unit), c.ms) << c.amount;
    }
}

TEST(PumpingSleep, KeepsTheWindowServedOnTheGuiThreadOnly) {
    std::atomic<int> pumps{0};
    SetPumpHook([&] { ++pumps; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(PumpingSleep(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_GT(pumps.load(), 1);
    const int before = pumps.load();
    std::thread worker([] { EXPECT_TRUE(PumpingSleep(5)); });
    worker.join();
    EXPECT_EQ(pumps.load(), before);
    SetPumpHook({});
}

class ActivityLogTest : public ::testing::Test {
protected:
    WindowDesign m_design{Endpoints::Defaults()};
    ControlBoard m_board{m_design};
    CriticalSection m_lock;
    ActivityLog m_log{m_board, m_lock, [] { return DateTime{2024, 1, 2, 9, 5, 3}; }};
};

TEST_F(ActivityLogTest, ALineIsTimeMarkerMessageAndLineBreak) {
    m_log.LogLine("任务已停止");
    m_log.LogLine("");
    EXPECT_EQ(m_board.GetText(kLogBox), "09:05:03=>>：任务已停止\r\n09:05:03=>>：\r\n");
}

TEST_F(ActivityLogTest, TheBoxIsEmptiedOnlyWhenItHoldsMoreThan3000Bytes) {
    Text chinese;
    for (int i = 0; i < 1500; ++i) {
        chinese += "中";  // two bytes each
    }
    ASSERT_EQ(chinese.size(), 3000u);
    m_board.SetText(kLogBox, chinese);
    m_log.LogLine("甲");
    EXPECT_EQ(m_board.GetText(kLogBox), chinese + "09:05:03=>>：甲\r\n");
    m_board.SetText(kLogBox, chinese + "x");
    m_log.LogLine("乙");
    EXPECT_EQ(m_board.GetText(kLogBox), "09:05:03=>>：乙\r\n");
}

TEST_F(ActivityLogTest, AppendLogLineWritesTheGivenBox) {
    m_log.AppendLogLine(m_board, "编辑框4", "检测");
    EXPECT_EQ(m_board.GetText("编辑框4"), "09:05:03=>>：检测\r\n");
    EXPECT_EQ(m_board.GetText(kLogBox), "");
}

TEST_F(ActivityLogTest, ThreadsLoggingAtOnceWriteWholeLines) {
    const Text messages[] = {"采集线程甲的一条消息", "文章线程乙的另一条较长的消息文本"};
    std::vector<std::thread> threads;
    for (const Text& message : messages) {
        threads.emplace_back([&] {
            for (int i = 0; i < 300; ++i) {
                m_log.LogLine(message);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    const Text box = m_board.GetText(kLogBox);
    ASSERT_FALSE(box.empty());
    EXPECT_EQ(box.substr(box.size() - 2), "\r\n");
    std::vector<Text> lines = GbkSplit(box.substr(0, box.size() - 2), "\r\n");
    for (const Text& line : lines) {
        EXPECT_TRUE(line == "09:05:03=>>：" + messages[0] || line == "09:05:03=>>：" + messages[1]) << line;
    }
    EXPECT_LE(box.size(), kLogLimitBytes + 64);
}

}  // namespace
}  // namespace lanque

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/control_board.h"

namespace lanque {
namespace {

class ControlBoardTest : public ::testing::Test {
protected:
    WindowDesign m_design{Endpoints::Defaults()};
    ControlBoard m_board{m_design};
};

TEST_F(ControlBoardTest, StartsFromTheDesignDefaults) {
    EXPECT_EQ(m_board.Names().size(), m_design.Controls().size());
    EXPECT_EQ(m_board.GetText("编辑框5"), "1");
    EXPECT_EQ(m_board.GetText("编辑框_Page"), "5");
    EXPECT_EQ(m_board.GetText("编辑框_User伪原创"), "rdjek61139160");
    EXPECT_EQ(m_board.GetText("编辑框1"), m_design.UsageText());
    EXPECT_EQ(m_board.GetText("编辑框_日志"), "");
    EXPECT_EQ(m_board.Caption("按钮_启动"), "启动");
    EXPECT_EQ(m_board.Caption("选择框_启用代理"), "是否启动讯代理动态转发");
    EXPECT_FALSE(m_board.IsChecked("选择框_启用代理"));
    EXPECT_TRUE(m_board.IsEnabled("按钮_启动"));
}

TEST_F(ControlBoardTest, AnUnknownNameReadsEmptyAndRefusesWrites) {
    EXPECT_FALSE(m_board.Has("编辑框99"));
    EXPECT_FALSE(m_board.SetText("编辑框99", "x"));
    EXPECT_FALSE(m_board.SetChecked("编辑框99", true));
    EXPECT_EQ(m_board.GetText("编辑框99"), "");
    EXPECT_FALSE(m_board.IsEnabled("编辑框99"));
}

TEST_F(ControlBoardTest, ListenersHearEachChangeUntilTheyUnsubscribe) {
    std::vector<std::pair<Text, ControlField>> heard;
    int id =
        m_board.Subscribe([&](const Text& name, ControlField field) { heard.emplace_back(name, field); });
    EXPECT_TRUE(m_board.SetCaption("按钮_启动", "停止"));
    EXPECT_TRUE(m_board.SetEnabled("按钮_暂停", false));
    EXPECT_TRUE(m_board.SetChecked("选择框5", true));
    EXPECT_TRUE(m_board.AppendText("编辑框_日志", "一行"));
    EXPECT_TRUE(m_board.SetText("编辑框5", "1"));  // unchanged: nobody is told
    ASSERT_EQ(heard.size(), 4u);
    EXPECT_EQ(heard[0], std::make_pair(Text("按钮_启动"), ControlField::Caption));
    EXPECT_EQ(heard[1], std::make_pair(Text("按钮_暂停"), ControlField::Enabled));
    EXPECT_EQ(heard[2], std::make_pair(Text("选择框5"), ControlField::Checked));
    EXPECT_EQ(heard[3], std::make_pair(Text("编辑框_日志"), ControlField::Text));
    EXPECT_EQ(m_board.Caption("按钮_启动"), "停止");
    EXPECT_TRUE(m_board.IsChecked("选择框5"));
    m_board.Unsubscribe(id);
    m_board.SetText("编辑框5", "3");
    EXPECT_EQ(heard.size(), 4u);
}

TEST_F(ControlBoardTest, AListenerMayUnsubscribeItselfAndReadTheBoard) {
    int calls = 0;
    Text seen;
    int id = 0;
    id = m_board.Subscribe([&](const Text& name, ControlField) {
        ++calls;
        seen = m_board.GetText(name);
        m_board.Unsubscribe(id);
    });
    int others = 0;
    m_board.Subscribe([&](const Text&, ControlField) { ++others; });
    m_board.SetText("编辑框2", "文章");
    m_board.SetText("编辑框2", "另一篇");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, "文章");
    EXPECT_EQ(others, 2);
}

TEST_F(ControlBoardTest, ConcurrentWritersKeepEveryAppend) {
    std::atomic<int> notified{0};
    m_board.Subscribe([&](const Text&, ControlField) { ++notified; });
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                m_board.AppendText("编辑框3", "ab");
                m_board.SetChecked("选择框3", i % 2 == 0);
                (void)m_board.GetText("编辑框3");
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(m_board.TextLength("编辑框3"), 4u * 500u * 2u);
    EXPECT_GE(notified.load(), 2000);
}

}  // namespace
}  // namespace lanque

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "concurrency/shared_buffer.h"

namespace lanque {
namespace {

Text Numbered(int i) {
    return "http://127.0.0.1/s?id=" + std::to_string(i) + "|keyword" + std::string(i % 37, 'x');
}

TEST(SharedBuffer, StartsEmptyAndAnEmptyPopFails) {
    SharedBuffer buffer;
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_EQ(buffer.Capacity(), 65536);
    EXPECT_EQ(buffer.GrowthStep(), 65536);
    Text text = "left over";
    EXPECT_FALSE(buffer.PopText(text));
    EXPECT_EQ(text, "");
    std::int32_t number = 5;
    EXPECT_FALSE(buffer.PopInt(number));
    EXPECT_EQ(number, 0);
}

TEST(SharedBuffer, TextsComeOutInOrderAcrossGrowthAndCompaction) {
    SharedBuffer buffer;
    int pushed = 0;
    int popped = 0;
    int largest = 0;
    auto popSome = [&](int n) {
        for (int i = 0; i < n; ++i) {
            Text text;
            ASSERT_TRUE(buffer.PopText(text));
            ASSERT_EQ(text, Numbered(popped));
            ++popped;
        }
    };
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 4000; ++i) {
            ASSERT_TRUE(buffer.PushText(Numbered(pushed++)));
        }
        largest = std::max(largest, buffer.Capacity());
        popSome(3000);
    }
    EXPECT_GT(largest, 65536);  // the block grew
    popSome(pushed - popped);
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_LT(buffer.Capacity(), largest);  // and shrank back after consumption
}

TEST(SharedBuffer, AnEmptyTextIsARecordAndATextEndsAtItsFirstZeroByte) {
    SharedBuffer buffer;
    ASSERT_TRUE(buffer.PushText(""));
    ASSERT_TRUE(buffer.PushText(Text("ab\0cd", 5)));
    EXPECT_EQ(buffer.Count(), 2);
    Text text = "x";
    EXPECT_TRUE(buffer.PopText(text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(buffer.PopText(text));
    EXPECT_EQ(text, "ab");
}

TEST(SharedBuffer, UniquePushRefusesAQueuedTextUntilItIsPopped) {
    SharedBuffer buffer;
    const Text address = "http://127.0.0.1/s?id=1|关键词";
    ASSERT_TRUE(buffer.PushText(address, 1));
    ASSERT_TRUE(buffer.PushText("other", 1));
    EXPECT_FALSE(buffer.PushText(address, 1));
    EXPECT_EQ(buffer.Count(), 2);
    EXPECT_TRUE(buffer.PushText(address));  // without the option it is accepted
    EXPECT_TRUE(buffer.PushText("", 1));
    EXPECT_TRUE(buffer.PushText("", 1));  // an empty text is never checked
    Text text;
    ASSERT_TRUE(buffer.PopText(text));
    ASSERT_TRUE(buffer.PopText(text));
    ASSERT_TRUE(buffer.PopText(text));
    EXPECT_TRUE(buffer.PushText("other", 1));
}

TEST(SharedBuffer, EveryKindRoundTripsAndItsUniqueCheckUsesItsEquality) {
    SharedBuffer buffer;
    EXPECT_TRUE(buffer.PushByte(200, 1));
    EXPECT_FALSE(buffer.PushByte(200, 1));
    EXPECT_TRUE(buffer.PushShort(-2, 1));
    EXPECT_FALSE(buffer.PushShort(-2, 1));
    EXPECT_TRUE(buffer.PushInt(-70000, 1));
    EXPECT_FALSE(buffer.PushInt(-70000, 1));
    EXPECT_TRUE(buffer.PushLong(0x0102030405060708LL, 1));
    EXPECT_FALSE(buffer.PushLong(0x0102030405060708LL, 1));
    EXPECT_TRUE(buffer.PushFloat(1.5f, 1));
    EXPECT_FALSE(buffer.PushFloat(1.5f, 1));
    EXPECT_TRUE(buffer.PushDouble(2.0, 1));
    EXPECT_FALSE(buffer.PushDouble(2.0 + 5e-8, 1));  // within 1e-7
    EXPECT_TRUE(buffer.PushFlag(true, 1));
    EXPECT_TRUE(buffer.PushDate(3000000.0, 1));
    EXPECT_FALSE(buffer.PushDate(4000000.0, 1));  // both clamp to the latest date
    EXPECT_TRUE(buffer.PushAddress(0xDEADBEEF, 1));
    EXPECT_FALSE(buffer.PushAddress(0xDEADBEEF, 1));
    EXPECT_TRUE(buffer.PushBytes(Bytes("\x00\x01\x02", 3), 1));
    EXPECT_FALSE(buffer.PushBytes(Bytes("\x00\x01\x02", 3), 1));
    EXPECT_TRUE(buffer.PushBytes(Bytes(), 1));

    std::uint8_t byte = 0;
    std::int16_t shortValue = 0;
    std::int32_t intValue = 0;
    std::int64_t longValue = 0;
    float floatValue = 0;
    double doubleValue = 0;
    bool flag = false;
    double date = 0;
    std::uint32_t address = 0;
    Bytes bytes;
    EXPECT_TRUE(buffer.PopByte(byte));
    EXPECT_EQ(byte, 200);
    EXPECT_TRUE(buffer.PopShort(shortValue));
    EXPECT_EQ(shortValue, -2);
    EXPECT_TRUE(buffer.PopInt(intValue));
    EXPECT_EQ(intValue, -70000);
    EXPECT_TRUE(buffer.PopLong(longValue));
    EXPECT_EQ(longValue, 0x0102030405060708LL);
    EXPECT_TRUE(buffer.PopFloat(floatValue));
    EXPECT_EQ(floatValue, 1.5f);
    EXPECT_TRUE(buffer.PopDouble(doubleValue));
    EXPECT_EQ(doubleValue, 2.0);
    EXPECT_TRUE(buffer.PopFlag(flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(buffer.PopDate(date));
    EXPECT_EQ(date, 3000000.0);
    EXPECT_TRUE(buffer.PopAddress(address));
    EXPECT_EQ(address, 0xDEADBEEFu);
    EXPECT_TRUE(buffer.PopBytes(bytes));
    EXPECT_EQ(bytes, Bytes("\x00\x01\x02", 3));
    EXPECT_TRUE(buffer.PopBytes(bytes));
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(buffer.Count(), 0);
}

TEST(SharedBuffer, PayloadsAreLittleEndianAndAPopOfAnotherSizeYieldsTheEmptyValue) {
    SharedBuffer buffer;
    ASSERT_TRUE(buffer.PushLong(0x0102030405060708LL));
    Bytes bytes;
    ASSERT_TRUE(buffer.PopBytes(bytes));
    EXPECT_EQ(bytes, Bytes("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    ASSERT_TRUE(buffer.PushBytes(Bytes("\x01\x00\x00\x00", 4)));
    std::int32_t number = 0;
    ASSERT_TRUE(buffer.PopInt(number));
    EXPECT_EQ(number, 1);
    ASSERT_TRUE(buffer.PushText("abc"));
    number = 9;
    EXPECT_TRUE(buffer.PopInt(number));  // consumed, yields 0
    EXPECT_EQ(number, 0);
    EXPECT_EQ(buffer.Count(), 0);
}

TEST(SharedBuffer, ATextThatDoesNotFitGrowsTheBlockByItsRecordAndOneStep) {
    SharedBuffer buffer;
    const Text big(70000, 'a');
    ASSERT_TRUE(buffer.PushText(big));
    EXPECT_EQ(buffer.Capacity(), 65536 + (4 + 70000) + 65536);
    Text out;
    ASSERT_TRUE(buffer.PopText(out));
    EXPECT_EQ(out, big);
}

TEST(SharedBuffer, ConsumingOneStepMovesTheRestToTheFrontAndShrinksTheBlock) {
    SharedBuffer buffer;
    const Text record(40000, 'r');
    ASSERT_TRUE(buffer.PushText(record + "1"));
    ASSERT_TRUE(buffer.PushText(record + "2"));  // grows: 65536 + 40005 + 65536
    EXPECT_EQ(buffer.Capacity(), 65536 + 40005 + 65536);
    Text out;
    ASSERT_TRUE(buffer.PopText(out));
    ASSERT_TRUE(buffer.PushText(record + "3"));
    EXPECT_EQ(buffer.Capacity(), 65536 + 40005 + 65536);  // fits behind the others
    ASSERT_TRUE(buffer.PopText(out));                     // 80010 bytes consumed: compaction
    EXPECT_EQ(out, record + "2");
    EXPECT_EQ(buffer.Capacity(), 40005 + 65536);
    ASSERT_TRUE(buffer.PopText(out));
    EXPECT_EQ(out, record + "3");
}

TEST(SharedBuffer, GrowthStepAndClear) {
    SharedBuffer buffer;
    EXPECT_TRUE(buffer.SetGrowthStep(100));
    EXPECT_EQ(buffer.GrowthStep(), 1024);
    EXPECT_TRUE(buffer.SetGrowthStep());
    EXPECT_EQ(buffer.GrowthStep(), 65536);
    EXPECT_TRUE(buffer.SetGrowthStep(200000));
    EXPECT_EQ(buffer.Capacity(), 200000);
    buffer.Clear();  // empty: unchanged
    EXPECT_EQ(buffer.Capacity(), 200000);
    ASSERT_TRUE(buffer.PushText("a"));
    EXPECT_TRUE(buffer.SetGrowthStep(4096));
    buffer.Clear();
    EXPECT_EQ(buffer.Count(), 0);
    EXPECT_EQ(buffer.Capacity(), 4096);
    Text out;
    EXPECT_FALSE(buffer.PopText(out));
}

TEST(SharedBuffer, LockMakesSeveralOperationsOneStep) {
    SharedBuffer buffer;
    buffer.Lock();
    buffer.Lock();  // recursive
    EXPECT_TRUE(buffer.PushText("a"));
    Text out;
    EXPECT_TRUE(buffer.PopText(out));
    buffer.Unlock();
    std::atomic<bool> pushed{false};
    buffer.Unlock();  // left as often as entered: another thread gets in
    std::thread other([&] { pushed = buffer.PushText("b"); });
    other.join();
    EXPECT_TRUE(pushed.load());
    EXPECT_EQ(buffer.Count(), 1);
}

// Producers push while consumers pop, as the search and article tasks do: every text comes out once.
TEST(SharedBuffer, ConcurrentPushersAndPoppersLoseNothing) {
    SharedBuffer buffer;
    constexpr int kPerProducer = 5000;
    std::vector<std::thread> threads;
    for (int p = 0; p < 3; ++p) {
        threads.emplace_back([&, p] {
            for (int i = 0; i < kPerProducer; ++i) {
                ASSERT_TRUE(buffer.PushText(Numbered(p * kPerProducer + i)));
            }
        });
    }
    std::mutex mutex;
    std::set<Text> seen;
    std::atomic<int> taken{0};
    for (int c = 0; c < 3; ++c) {
        threads.emplace_back([&] {
            while (taken.load() < 3 * kPerProducer) {
                Text text;
                if (buffer.PopText(text)) {
                    ++taken;
                    std::lock_guard lock(mutex);
                    EXPECT_TRUE(seen.insert(text).second);
                } else {
                    std::this_thread::yield();
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(seen.size(), 3u * kPerProducer);
    EXPECT_EQ(buffer.Count(), 0);
}

}  // namespace
}  // namespace lanque

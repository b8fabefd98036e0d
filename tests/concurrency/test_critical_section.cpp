#include <thread>

#include <gtest/gtest.h>

#include "concurrency/critical_section.h"

namespace lanque {
namespace {

bool TryFromAnotherThread(CriticalSection& lock) {
    bool entered = false;
    std::thread other([&] {
        entered = lock.TryEnter();
        if (entered) {
            lock.Leave();
        }
    });
    other.join();
    return entered;
}

TEST(CriticalSection, EnteredTwiceMustBeLeftTwiceBeforeAnotherThreadGetsIn) {
    CriticalSection lock;
    EXPECT_TRUE(TryFromAnotherThread(lock));  // free
    lock.Enter();
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());  // the owner enters again
    lock.Leave();
    EXPECT_FALSE(TryFromAnotherThread(lock));
    lock.Leave();
    EXPECT_FALSE(TryFromAnotherThread(lock));
    lock.Leave();
    EXPECT_TRUE(TryFromAnotherThread(lock));
}

}  // namespace
}  // namespace lanque

#include "platform/BoundedThread.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>

using namespace std::chrono_literals;

TEST(BoundedThread, JoinsAThreadThatReturns) {
    platform::BoundedThread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Start([&] { ran = true; }, true));
    EXPECT_TRUE(thread.WaitFor(500ms));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(thread.Attached());
}

TEST(BoundedThread, LetsGoOfAThreadThatDoesNotReturnInTime) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    platform::BoundedThread thread;
    ASSERT_TRUE(thread.Start([release, finished] {
        while (!*release) {
            std::this_thread::sleep_for(1ms);
        }
        *finished = true;
    }));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread.WaitFor(100ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(thread.Attached());
    *release = true;
    for (int i = 0; i < 1000 && !*finished; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(*finished);
}

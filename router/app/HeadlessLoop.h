#pragma once
// Drives a RouterCore without a window: the link-watch tick and, with a
// server name given, connecting at start and again while the link is down.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace router {

class RouterCore;

class HeadlessLoop {
public:
    struct Timing {
        std::chrono::milliseconds tick{1000};
        std::chrono::milliseconds retry{2000};
    };

    HeadlessLoop(RouterCore& core, std::optional<std::string> connectHost, Timing timing);
    HeadlessLoop(RouterCore& core, std::optional<std::string> connectHost)
        : HeadlessLoop(core, std::move(connectHost), Timing{}) {}

    // Told each time the upstream link comes up (true) or goes (false).
    // Set before Run.
    void SetLinkObserver(std::function<void(bool up)> observer) { mLinkObserver = std::move(observer); }

    // Returns once Stop has been called (at once if it already was).
    void Run();
    // Any thread.
    void Stop();

private:
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    void Report(bool up);

    RouterCore& mCore;
    std::optional<std::string> mConnectHost;
    Timing mTiming;
    std::function<void(bool up)> mLinkObserver;
    std::mutex mLock;
    std::condition_variable mWake;
    bool mStopping = false;
};

}  // namespace router

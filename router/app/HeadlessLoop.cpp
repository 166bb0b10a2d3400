#include "HeadlessLoop.h"

#include "RouterCore.h"

#include <algorithm>

namespace router {

HeadlessLoop::HeadlessLoop(RouterCore& core, std::optional<std::string> connectHost, Timing timing)
    : mCore(core), mConnectHost(std::move(connectHost)), mTiming(timing) {}

void HeadlessLoop::Run() {
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + mTiming.tick;
    auto nextAttempt = Clock::now();
    for (;;) {
        const bool wantLink = mConnectHost.has_value() && !mCore.IsUpstreamConnected();
        if (wantLink && Clock::now() >= nextAttempt) {
            if (mCore.OnConnectToServer(*mConnectHost)) {
                Report(true);
            }
            nextAttempt = Clock::now() + mTiming.retry;
            continue;
        }
        const auto deadline = wantLink ? std::min(nextTick, nextAttempt) : nextTick;
        if (!WaitUntil(deadline)) {
            return;
        }
        if (Clock::now() >= nextTick) {
            if (mCore.OnLinkWatchTick()) {
                Report(false);
            }
            nextTick = Clock::now() + mTiming.tick;
        }
    }
}

void HeadlessLoop::Report(bool up) {
    if (mLinkObserver) {
        mLinkObserver(up);
    }
}

bool HeadlessLoop::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mLock);
    return !mWake.wait_until(lock, deadline, [this] { return mStopping; });
}

void HeadlessLoop::Stop() {
    {
        std::lock_guard lock(mLock);
        mStopping = true;
    }
    mWake.notify_all();
}

}  // namespace router

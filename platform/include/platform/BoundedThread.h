#pragma once
// A thread whose owner can stop waiting for it after a bounded time.
//
// The owner makes the thread's blocking calls return (for a socket thread:
// shut the sockets down), then calls WaitFor(). A thread that has not
// returned by then - typically one still inside an application callback -
// is let go and finishes on its own later, so it must own (shared_ptr)
// everything it still touches.

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class BoundedThread {
public:
    BoundedThread() = default;
    // Waits for a thread that is still attached, without a bound.
    ~BoundedThread();
    BoundedThread(const BoundedThread&) = delete;
    BoundedThread& operator=(const BoundedThread&) = delete;

    // Starts body on a new thread. aboveNormal raises its scheduling
    // priority where the process may (best effort). False when a thread is
    // already attached or cannot be created.
    bool Start(std::function<void()> body, bool aboveNormal = false);

    // True while a thread is attached (started and not yet waited for).
    bool Attached() const { return mThread.joinable(); }
    // True once the body has returned.
    bool Finished() const;

    // Waits at most `timeout` for the body to return. True when it returned
    // (the thread is joined); false when it is still running, in which case
    // it is detached and the object is free for a new Start().
    bool WaitFor(std::chrono::milliseconds timeout);

private:
    struct State;
    std::shared_ptr<State> mState;
    std::thread mThread;
};

}  // namespace platform

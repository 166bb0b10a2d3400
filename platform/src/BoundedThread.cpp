#include "platform/BoundedThread.h"

#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

struct BoundedThread::State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

namespace {
void RaisePriority() {
    // Lacking the privilege is not an error: the thread runs at normal priority.
    pid_t tid = static_cast<pid_t>(::syscall(SYS_gettid));
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), -5);
}
}  // namespace

BoundedThread::~BoundedThread() {
    if (mThread.joinable()) {
        mThread.join();
    }
}

bool BoundedThread::Start(std::function<void()> body, bool aboveNormal) {
    if (mThread.joinable()) {
        return false;
    }
    auto state = std::make_shared<State>();
    try {
        mThread = std::thread([state, body = std::move(body), aboveNormal]() {
            if (aboveNormal) {
                RaisePriority();
            }
            body();
            std::lock_guard<std::mutex> lock(state->mutex);
            state->finished = true;
            state->done.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    mState = std::move(state);
    return true;
}

bool BoundedThread::Finished() const {
    if (!mState) {
        return true;
    }
    std::lock_guard<std::mutex> lock(mState->mutex);
    return mState->finished;
}

bool BoundedThread::WaitFor(std::chrono::milliseconds timeout) {
    if (!mThread.joinable()) {
        return true;
    }
    bool finished;
    {
        std::unique_lock<std::mutex> lock(mState->mutex);
        finished = mState->done.wait_for(lock, timeout, [this] { return mState->finished; });
    }
    if (finished) {
        mThread.join();
    } else {
        mThread.detach();
    }
    mState.reset();
    return finished;
}

}  // namespace platform

#pragma once
// Small helpers the socket-fed fuzz targets share: a local socket pair fed
// with the input, whole writes and reads with a deadline, and a hard stop when
// a step that must end does not (libFuzzer then keeps the input as a crash;
// the replay tests fail).

#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace fuzzsupport {

[[noreturn]] inline void Hang(const char* what) {
    std::fprintf(stderr, "fuzz: %s did not end within its deadline\n", what);
    std::abort();
}

// Writes everything unless the peer goes away (or the send times out) first.
inline void WriteAll(platform::Socket& socket, const uint8_t* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        long n = socket.Send(data + sent, size - sent);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

// Reads and drops bytes until the peer closes; aborts when that takes longer
// than `limitMs`.
inline void DrainUntilClosed(platform::Socket& socket, int limitMs, const char* what) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            Hang(what);
        }
        int ready = socket.WaitReadable(static_cast<int>(left.count()));
        if (ready < 0) {
            return;
        }
        if (ready == 1 && socket.Recv(buffer, sizeof buffer) <= 0) {
            return;
        }
    }
}

// Serves the far ends of fed connections on one long-lived thread, so that
// an input costs no thread start of its own.
class Feeder {
public:
    struct Job {
        platform::Socket* socket;
        const uint8_t* data;
        size_t size;
        int limitMs;
        const char* what;
    };

    // Never destroyed: its thread waits on it until the process ends.
    static Feeder& Instance() {
        static Feeder* feeder = new Feeder;
        return *feeder;
    }

    void Start(const Job& job) {
        std::lock_guard<std::mutex> lock(mLock);
        mJob = job;
        mPending = true;
        mDone = false;
        mChanged.notify_all();
    }

    void Wait() {
        std::unique_lock<std::mutex> lock(mLock);
        mChanged.wait(lock, [this] { return mDone; });
    }

private:
    Feeder() { std::thread([this] { Run(); }).detach(); }

    // Writes the input, shuts the writing side, then drops what comes back
    // until the code under test closes its end.
    static void Serve(const Job& job) {
        WriteAll(*job.socket, job.data, job.size);
        ::shutdown(job.socket->Handle(), SHUT_WR);
        DrainUntilClosed(*job.socket, job.limitMs, job.what);
    }

    [[noreturn]] void Run() {
        for (;;) {
            Job job{};
            {
                std::unique_lock<std::mutex> lock(mLock);
                mChanged.wait(lock, [this] { return mPending; });
                job = mJob;
                mPending = false;
            }
            Serve(job);
            std::lock_guard<std::mutex> lock(mLock);
            mDone = true;
            mChanged.notify_all();
        }
    }

    std::mutex mLock;
    std::condition_variable mChanged;
    Job mJob{};
    bool mPending = false;
    bool mDone = true;
};

// Lets `socket` queue up to `bytes` of unread data without blocking. Needs
// the network administration capability; false without it.
inline bool ForceSendBuffer(platform::Socket& socket, int bytes) {
    return ::setsockopt(socket.Handle(), SOL_SOCKET, SO_SNDBUFFORCE, &bytes, sizeof bytes) == 0;
}

// A connected local socket pair standing for a peer that sends the input and
// then half-closes. Take() hands one end to the code under test; whatever it
// writes back is dropped, and it must close its end within `limitMs` of the
// destructor starting (else Hang).
//
// When the machine lets the pair's buffers grow, the input is queued at once
// and the replies pile up unread until the destructor drops them, so an input
// costs no thread switch. Otherwise the feeder writes the input and drains the
// replies as they come.
class FedConnection {
public:
    FedConnection(const uint8_t* data, size_t size, int limitMs, const char* what)
        : mLimitMs(limitMs), mWhat(what) {
        if (!platform::Socket::CreatePair(mInner, mOuter)) {
            std::abort();
        }
        mOuter.SetSendTimeout(limitMs);
        mDirect = GrowBuffers(size);
        if (mDirect) {
            WriteAll(mOuter, data, size);
            ::shutdown(mOuter.Handle(), SHUT_WR);
        } else {
            Feeder::Instance().Start({&mOuter, data, size, limitMs, what});
        }
    }
    ~FedConnection() {
        if (mDirect) {
            DrainUntilClosed(mOuter, mLimitMs, mWhat);
        } else {
            Feeder::Instance().Wait();
        }
    }
    FedConnection(const FedConnection&) = delete;
    FedConnection& operator=(const FedConnection&) = delete;

    platform::Socket Take() { return std::move(mInner); }

private:
    static constexpr int kReplyRoom = 64 << 20;

    // Makes room for the whole input and every reply to wait unread; false
    // when the process may not.
    bool GrowBuffers(size_t size) {
        return size <= (16u << 20) && ForceSendBuffer(mInner, kReplyRoom) &&
               ForceSendBuffer(mOuter, static_cast<int>(size) + (1 << 20));
    }

    platform::Socket mInner;
    platform::Socket mOuter;
    int mLimitMs;
    const char* mWhat;
    bool mDirect = false;
};

}  // namespace fuzzsupport

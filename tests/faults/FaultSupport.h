#pragma once
// What the fault suites share: the router in a process of its own, counts of
// open descriptors and threads of a process, a downstream client that keeps
// every record it receives, and waiting with deadlines.

#include "ChildProcess.h"
#include "FakeAcquisitionServer.h"
#include "Plenvar/PlenvarClient.h"
#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "protocol/Framing.h"
#include "protocol/RecordTypes.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace faults {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr int kFrontPort = 26200;

inline sockaddr_in Loopback(int port) { return platform::MakeAddress(0x7F000001u, static_cast<uint16_t>(port)); }

template <typename F>
bool WaitUntil(F done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Runs a blocking step and fails the test when it took longer than `limit`.
template <typename F>
auto Within(std::chrono::milliseconds limit, const char* what, F step) {
    const auto start = Clock::now();
    auto result = step();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LE(took.count(), limit.count()) << what << " outlived its deadline";
    return result;
}

inline int CountEntries(const std::string& path) {
    int count = 0;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
    }
    return count;
}

// Open descriptors and threads of one process.
struct Usage {
    int fds = 0;
    int threads = 0;
    bool operator==(const Usage&) const = default;
};

inline Usage UsageOf(pid_t pid) {
    const std::string base = pid == 0 ? "/proc/self" : "/proc/" + std::to_string(pid);
    // The directory listing itself holds one descriptor while it is read.
    return {CountEntries(base + "/fd") - (pid == 0 ? 1 : 0), CountEntries(base + "/task")};
}

inline std::ostream& operator<<(std::ostream& out, const Usage& usage) {
    return out << usage.fds << " descriptors, " << usage.threads << " threads";
}

// Threads and connections wind down asynchronously (the router's monitor
// drops a gone client's server within half a second), so this waits.
inline void ExpectBackTo(pid_t pid, const Usage& before, const char* who) {
    Usage now;
    WaitUntil([&] { return (now = UsageOf(pid)) == before; }, 8000ms);
    EXPECT_EQ(now, before) << who << " did not return to its starting descriptors and threads";
}

// The router core with its headless loop (fault_router_host).
class RouterProcess {
public:
    explicit RouterProcess(const std::string& upstreamHost)
        : mLogDir(MakeLogDir()), mChild(Arguments(mLogDir, upstreamHost)) {}
    ~RouterProcess() {
        if (std::getenv("FAULTS_KEEP_LOGS") == nullptr) {
            std::filesystem::remove_all(mLogDir);
        }
    }
    RouterProcess(const RouterProcess&) = delete;
    RouterProcess& operator=(const RouterProcess&) = delete;

    pid_t Pid() const { return mChild.Pid(); }

    // Waits for a line that equals `expected`, skipping others.
    bool WaitForLine(const std::string& expected, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        std::string line;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !mChild.ReadLine(line, left)) {
                return false;
            }
            if (line == expected) {
                return true;
            }
        }
    }

    // Asks for an orderly shutdown: the exit status, or -1 (still running
    // after the deadline, or ended by a signal).
    int Quit(std::chrono::milliseconds timeout = 10s) {
        if (!mChild.WriteLine("quit")) {
            return -1;
        }
        return mChild.WaitForExit(timeout);
    }

private:
    static std::string MakeLogDir() {
        std::string dir =
            ::testing::TempDir() + "/faults_" + std::to_string(getpid()) + "_" + std::to_string(++sCount);
        std::filesystem::create_directories(dir);
        return dir;
    }
    static std::vector<std::string> Arguments(const std::string& logDir, const std::string& upstreamHost) {
        std::vector<std::string> argv{FAULT_ROUTER_HOST, logDir};
        if (!upstreamHost.empty()) {
            argv.push_back(upstreamHost);
        }
        return argv;
    }

    static inline int sCount = 0;
    std::string mLogDir;
    plenvar_test::ChildProcess mChild;
};

// A downstream client that speaks the framing by hand.
class RawClient {
public:
    bool Connect(int port) {
        mSocket = platform::Socket::CreateTcp();
        return mSocket.Connect(Loopback(port), 2000);
    }
    bool SendBytes(const void* data, size_t length) {
        return mSocket.Send(data, length) == static_cast<long>(length);
    }
    bool Send(const std::string& command) {
        Bytes message = Frame(command);
        return SendBytes(message.data(), message.size());
    }
    // The next reply's text up to its zero byte; "<no reply>" when none came.
    std::string ReadText(int timeoutMs = 5000) {
        unsigned char prefix[protocol::kFrameOverhead];
        int32_t version = 0;
        if (!ReadExact(prefix, sizeof prefix, timeoutMs) ||
            protocol::CheckPreHeader(prefix, version) != protocol::PreHeaderCheck::Accepted) {
            return "<no reply>";
        }
        const auto size = static_cast<int32_t>(protocol::ReadLE32(prefix + protocol::kPreHeaderSize));
        if (size <= 0 || size > (1 << 20)) {
            return "<no reply>";
        }
        std::string body(static_cast<size_t>(size), '\0');
        return ReadExact(body.data(), body.size(), timeoutMs) ? std::string(body.c_str()) : "<no reply>";
    }
    std::string Command(const std::string& command, int timeoutMs = 5000) {
        return Send(command) ? ReadText(timeoutMs) : "<not sent>";
    }
    // True when the peer ends the connection within the time (bytes still
    // in flight are read and dropped).
    bool WaitClosed(int timeoutMs) {
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[4096];
        while (Clock::now() < end) {
            int ready = mSocket.WaitReadable(50);
            if (ready < 0 || (ready == 1 && mSocket.Recv(buffer, sizeof buffer) <= 0)) {
                return true;
            }
        }
        return false;
    }
    void Close() { mSocket.Close(); }
    void HalfClose() { ::shutdown(mSocket.Handle(), SHUT_WR); }
    // Closes with a reset instead of an orderly end.
    void Reset() {
        linger hard{1, 0};
        setsockopt(mSocket.Handle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        mSocket.Close();
    }

    static Bytes Frame(const std::string& command) {
        return protocol::BuildMessage(command.c_str(), static_cast<int32_t>(command.size() + 1));
    }

private:
    bool ReadExact(void* data, size_t length, int timeoutMs) {
        return mSocket.RecvExact(data, length, timeoutMs) == static_cast<long>(length);
    }

    platform::Socket mSocket;
};

// Asks the front for a port of its own: the port, or -1.
inline int AskForPort() {
    RawClient front;
    if (!front.Connect(kFrontPort)) {
        return -1;
    }
    const std::string reply = front.Command("-GetNextAvailablePortNumber");
    if (reply.rfind("0 ", 0) != 0) {
        return -1;
    }
    return std::atoi(reply.c_str() + 2);
}

// A client-library client that keeps every record's bytes per object, in
// arrival order, and can be told to stop taking records (its callback then
// blocks, so its socket stops being read).
class Downstream {
public:
    Downstream() {
        mClient.SetCallbackFunctionSE(&Collect<Plenvar::SERec>, this);
        mClient.SetCallbackFunctionST(&Collect<Plenvar::STRec>, this);
        mClient.SetCallbackFunctionTT(&Collect<Plenvar::TTRec>, this);
        mClient.SetCallbackFunctionCSC(&Collect<Plenvar::CRRec>, this);
        mClient.SetCallbackFunctionEV(&Collect<Plenvar::EventRec>, this);
        mClient.SetCallbackFunctionVT(&Collect<Plenvar::VideoRec>, this);
    }
    ~Downstream() {
        Stall(false);
        mClient.DisconnectFromServer();
    }

    Plenvar::PlenvarClient& Client() { return mClient; }
    bool Connect() {
        // FAULTS_CLIENT_LOG=prefix keeps one log per client for a failure's story.
        if (const char* log = std::getenv("FAULTS_CLIENT_LOG")) {
            static int count = 0;
            const std::string path = log + std::to_string(++count) + ".txt";
            mClient.SetLogFileName(std::wstring(path.begin(), path.end()).c_str());
        }
        return mClient.ConnectToServer(L"127.0.0.1", true);
    }

    // Records of one object, each whole, concatenated.
    Bytes BytesOf(const std::wstring& object) {
        std::lock_guard lock(mLock);
        return mBytes[object];
    }
    size_t Count(const std::wstring& object) {
        std::lock_guard lock(mLock);
        return mCounts[object];
    }
    bool WaitForCount(const std::wstring& object, size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mLock);
        return mChanged.wait_for(lock, timeout, [&] { return mCounts[object] >= count; });
    }
    // Records that came in batches of other than one record.
    int BadBatches() {
        std::lock_guard lock(mLock);
        return mBadBatches;
    }
    void Stall(bool stalled) {
        {
            std::lock_guard lock(mLock);
            mStalled = stalled;
        }
        mChanged.notify_all();
    }

private:
    template <typename Rec>
    static void Collect(void* context, Rec* records, int count, const wchar_t* name) {
        auto* self = static_cast<Downstream*>(context);
        const auto* bytes = reinterpret_cast<const unsigned char*>(records);
        {
            std::unique_lock lock(self->mLock);
            self->mChanged.wait(lock, [self] { return !self->mStalled; });
            auto& kept = self->mBytes[name];
            kept.insert(kept.end(), bytes, bytes + sizeof(Rec) * static_cast<size_t>(count));
            self->mCounts[name] += static_cast<size_t>(count);
            self->mBadBatches += count == 1 ? 0 : 1;
        }
        self->mChanged.notify_all();
    }

    Plenvar::PlenvarClient mClient;
    std::mutex mLock;
    std::condition_variable mChanged;
    std::map<std::wstring, Bytes> mBytes;
    std::map<std::wstring, size_t> mCounts;
    int mBadBatches = 0;
    bool mStalled = false;
};

// Timestamps of the CSC records in `bytes` (whole records only).
inline std::vector<uint64_t> CscTimestamps(const Bytes& bytes) {
    std::vector<uint64_t> stamps;
    const size_t size = static_cast<size_t>(protocol::Info(protocol::RecordType::CSC).recordSize);
    for (size_t at = 0; at + size <= bytes.size(); at += size) {
        uint64_t stamp = 0;
        std::memcpy(&stamp, bytes.data() + at, sizeof stamp);
        stamps.push_back(stamp);
    }
    return stamps;
}

// How many CSC steps (16000 us) are missing from a run of timestamps (a
// jump off the step grid, as after a server restart, counts as one), or -1
// when a timestamp does not move forward.
inline long CscGaps(const std::vector<uint64_t>& stamps) {
    constexpr uint64_t kStep = 16000;
    long gaps = 0;
    for (size_t i = 1; i < stamps.size(); ++i) {
        if (stamps[i] <= stamps[i - 1]) {
            return -1;
        }
        const uint64_t step = stamps[i] - stamps[i - 1];
        gaps += step % kStep != 0 ? 1 : static_cast<long>(step / kStep - 1);
    }
    return gaps;
}

}  // namespace faults

namespace faults {

// A router process linked to an upstream server on 127.0.0.1:26100 that the
// test starts first, and the descriptors and threads of both processes
// before the case.
class RouterCase : public ::testing::Test {
public:
    RouterProcess& Router() { return *mRouter; }

protected:
    void StartRouter() {
        mRouter = std::make_unique<RouterProcess>("127.0.0.1");
        ASSERT_GT(mRouter->Pid(), 0);
        ASSERT_TRUE(mRouter->WaitForLine("ready 0", 10s)) << "the router did not start";
        ASSERT_TRUE(mRouter->WaitForLine("up", 10s)) << "the router did not link upstream";
    }
    void TakeBaseline() {
        // Let start-up threads that end on their own finish first.
        std::this_thread::sleep_for(200ms);
        mSelfBefore = UsageOf(0);
        mRouterBefore = UsageOf(mRouter->Pid());
    }
    void ExpectBaseline() {
        ExpectBackTo(mRouter->Pid(), mRouterBefore, "the router");
        ExpectBackTo(0, mSelfBefore, "the test process");
    }
    void TearDown() override {
        if (mRouter) {
            EXPECT_EQ(mRouter->Quit(), 0) << "the router did not shut down cleanly";
            mRouter.reset();
        }
    }

    std::unique_ptr<RouterProcess> mRouter;
    Usage mSelfBefore;
    Usage mRouterBefore;
};

// The router linked upstream to a scripted acquisition server that lists
// Objects().
class FakeUpstreamCase : public RouterCase {
protected:
    using ObjectList = std::vector<std::pair<std::string, std::string>>;
    virtual ObjectList Objects() const { return {{"CSC1", "CscAcqEnt"}}; }

    void SetUp() override {
        mFake.SetObjects(Objects());
        ASSERT_TRUE(mFake.Start());
        StartRouter();
        TakeBaseline();
    }

    plenvar_test::FakeAcquisitionServer mFake{26100};
};

}  // namespace faults

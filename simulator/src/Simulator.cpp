#include "simulator/Simulator.h"

#include "ClientSession.h"
#include "RecordGenerator.h"
#include "ServerState.h"

#include "platform/Socket.h"
#include "platform/SocketError.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

namespace {

constexpr auto kGeneratorTick = std::chrono::milliseconds(5);
constexpr int kAcceptPollMs = 100;

uint64_t WallClockMicroseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

struct Simulator::Impl {
    explicit Impl(SimulatorOptions options) : state(std::move(options)) {}

    bool Listen();
    void AcceptLoop();
    void GeneratorLoop();
    void Deliver(const std::vector<std::vector<unsigned char>>& batches);
    void ReapFinished();
    std::vector<std::shared_ptr<ClientSession>> Sessions();
    void Fail(const std::string& error);

    ServerState state;
    platform::Socket listener;
    uint16_t port = 0;
    std::thread acceptThread;
    std::thread generatorThread;

    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool running = false;

    mutable std::mutex sessionsMutex;
    std::vector<std::shared_ptr<ClientSession>> sessions;

    mutable std::mutex errorMutex;
    std::string lastError;
};

void Simulator::Impl::Fail(const std::string& error) {
    std::lock_guard<std::mutex> lock(errorMutex);
    lastError = error;
}

bool Simulator::Impl::Listen() {
    uint32_t address = 0;
    const std::string& bind = state.Options().bindAddress;
    in_addr parsed{};
    if (!bind.empty()) {
        if (inet_pton(AF_INET, bind.c_str(), &parsed) != 1) {
            Fail("not a dotted IPv4 address: " + bind);
            return false;
        }
        address = ntohl(parsed.s_addr);
    }
    listener = platform::Socket::CreateTcp();
    // A restart must not wait for the previous run's connections to time out.
    if (!listener.IsValid() || !listener.SetReuseAddress(true) || !listener.Bind(address, state.Options().port) ||
        !listener.Listen(64)) {
        Fail("cannot listen on port " + std::to_string(state.Options().port) + " (Windows Sockets error " +
             std::to_string(platform::LastSocketError()) + ")");
        listener.Close();
        return false;
    }
    sockaddr_in local{};
    listener.LocalAddress(local);
    port = ntohs(local.sin_port);
    return true;
}

void Simulator::Impl::AcceptLoop() {
    while (!state.stopping) {
        ReapFinished();
        if (listener.WaitReadable(kAcceptPollMs) != 1) {
            continue;
        }
        platform::Socket client = listener.Accept();
        if (!client.IsValid()) {
            continue;
        }
        auto session = std::make_shared<ClientSession>(state, std::move(client));
        session->Start();
        std::lock_guard<std::mutex> lock(sessionsMutex);
        sessions.push_back(std::move(session));
    }
}

void Simulator::Impl::GeneratorLoop() {
    const double scale = state.Options().rateScale;
    const auto realStart = std::chrono::steady_clock::now();
    const uint64_t simStart = WallClockMicroseconds();
    RecordGenerator generator(state.Catalog(), simStart, static_cast<uint32_t>(simStart));
    std::vector<std::vector<unsigned char>> batches;
    std::unique_lock<std::mutex> lock(stopMutex);
    while (!stopWake.wait_for(lock, kGeneratorTick, [this] { return state.stopping.load(); })) {
        lock.unlock();
        auto elapsed = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - realStart);
        generator.Produce(simStart + static_cast<uint64_t>(elapsed.count() * scale), batches);
        Deliver(batches);
        lock.lock();
    }
}

void Simulator::Impl::Deliver(const std::vector<std::vector<unsigned char>>& batches) {
    std::vector<std::shared_ptr<ClientSession>> receivers;
    if (!state.paused) {
        receivers = Sessions();
    }
    for (size_t object = 0; object < batches.size(); ++object) {
        if (batches[object].empty()) {
            continue;
        }
        const protocol::RecordTypeInfo& type = *state.Catalog().Objects()[object].type;
        state.Generated(type.type) += batches[object].size() / static_cast<size_t>(type.recordSize);
        state.KeepRecent(object, batches[object]);
        for (const auto& session : receivers) {
            session->Deliver(object, batches[object]);
        }
    }
}

void Simulator::Impl::ReapFinished() {
    std::vector<std::shared_ptr<ClientSession>> finished;
    {
        std::lock_guard<std::mutex> lock(sessionsMutex);
        auto gone = std::partition(sessions.begin(), sessions.end(),
                                   [](const auto& session) { return !session->Finished(); });
        finished.assign(std::make_move_iterator(gone), std::make_move_iterator(sessions.end()));
        sessions.erase(gone, sessions.end());
    }
    // Their threads are joined here, without holding the list.
}

std::vector<std::shared_ptr<ClientSession>> Simulator::Impl::Sessions() {
    std::lock_guard<std::mutex> lock(sessionsMutex);
    return sessions;
}

Simulator::Simulator(SimulatorOptions options) : mImpl(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start() {
    std::lock_guard<std::mutex> lock(mImpl->stopMutex);
    const SimulatorOptions& options = mImpl->state.Options();
    if (mImpl->running || mImpl->state.stopping) {
        mImpl->Fail("a simulator starts only once");
        return false;
    }
    if (!(options.rateScale > 0.0) || !std::isfinite(options.rateScale)) {
        mImpl->Fail("the rate scale must be a positive number");
        return false;
    }
    if (options.catalog.Size() == 0 || options.firstHandOutPort == 0) {
        mImpl->Fail("no objects, or no port to hand out");
        return false;
    }
    if (!mImpl->Listen()) {
        return false;
    }
    mImpl->running = true;
    mImpl->acceptThread = std::thread([impl = mImpl.get()] { impl->AcceptLoop(); });
    mImpl->generatorThread = std::thread([impl = mImpl.get()] { impl->GeneratorLoop(); });
    return true;
}

void Simulator::Stop() {
    {
        std::lock_guard<std::mutex> lock(mImpl->stopMutex);
        if (!mImpl->running) {
            return;
        }
        mImpl->running = false;
        mImpl->state.stopping = true;
    }
    mImpl->stopWake.notify_all();
    mImpl->acceptThread.join();
    mImpl->generatorThread.join();
    std::vector<std::shared_ptr<ClientSession>> sessions;
    {
        std::lock_guard<std::mutex> lock(mImpl->sessionsMutex);
        sessions.swap(mImpl->sessions);
    }
    for (const auto& session : sessions) {
        session->Kill();
    }
    sessions.clear();
    mImpl->listener.Close();
}

bool Simulator::Running() const {
    std::lock_guard<std::mutex> lock(mImpl->stopMutex);
    return mImpl->running;
}

uint16_t Simulator::Port() const { return mImpl->port; }

std::string Simulator::LastError() const {
    std::lock_guard<std::mutex> lock(mImpl->errorMutex);
    return mImpl->lastError;
}

const ObjectCatalog& Simulator::Catalog() const { return mImpl->state.Catalog(); }

uint64_t Simulator::RecordsSent(protocol::RecordType type) const { return mImpl->state.Sent(type).load(); }

uint64_t Simulator::RecordsGenerated(protocol::RecordType type) const {
    return mImpl->state.Generated(type).load();
}

int Simulator::ClientCount() const {
    int count = 0;
    for (const auto& session : mImpl->Sessions()) {
        count += session->Finished() ? 0 : 1;
    }
    return count;
}

int Simulator::DataConnectionCount() const {
    int count = 0;
    for (const auto& session : mImpl->Sessions()) {
        count += session->OpenDataConnections();
    }
    return count;
}

void Simulator::KillConnections() {
    for (const auto& session : mImpl->Sessions()) {
        session->Kill();
    }
}

void Simulator::SetPaused(bool paused) { mImpl->state.paused = paused; }

}  // namespace sim

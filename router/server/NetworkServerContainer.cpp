#include "NetworkServerContainer.h"

#include "CommandText.h"
#include "PlenvarServerLogFile.h"

#include <iostream>
#include <system_error>

namespace router {

namespace {
const char kInvalidIndex[] = "Error, invalid index";
constexpr int32_t kHighestPort = 65535;
}  // namespace

NetworkServerContainer::NetworkServerContainer(Upstream* upstream, const ServerOptions& options)
    : mUpstream(upstream), mOptions(options), mFrontServer(upstream, options) {}

NetworkServerContainer::~NetworkServerContainer() { ShutdownServers(); }

void NetworkServerContainer::SetMessageNotifier(MessageNotifier notifier) {
    std::lock_guard<std::mutex> lock(mNotifierLock);
    mNotifier = notifier;
    mFrontServer.SetMessageNotifier(std::move(notifier));
}

void NetworkServerContainer::SetLogFileName(const std::string& fileName) { ServerLog().Open(fileName); }

int32_t NetworkServerContainer::StartServer() {
    mFrontServer.SetIdleTimeout(mOptions.idleTimeoutMs);
    mFrontServer.SetCommandCallback(&NetworkServerContainer::FrontCommandCallback, this);
    if (!mFrontServer.InitializeServer(kFrontPort)) {
        return -1;
    }
    try {
        mMonitor = std::thread(&NetworkServerContainer::MonitorThread, this);
    } catch (const std::system_error&) {
        const std::string text = "Failure: Unable to create a new thread to monitor status of server list";
        MessageNotifier notifier;
        {
            std::lock_guard<std::mutex> lock(mNotifierLock);
            notifier = mNotifier;
        }
        if (notifier) {
            notifier(text);
        } else {
            ServerLog().WriteMessage(PlenvarServerLogFile::ERROR, text);
            std::cerr << text << std::endl;
        }
    }
    return 0;
}

void NetworkServerContainer::ShutdownServers() {
    if (mShutDown) {
        return;
    }
    mShutDown = true;
    // The front goes first so that no new per-client server appears meanwhile.
    mFrontServer.ShutdownServer();
    StopMonitor();
    std::vector<ClientServer> servers;
    {
        std::lock_guard<std::mutex> lock(mServerListLock);
        servers.swap(mServers);
    }
    for (ClientServer& entry : servers) {
        entry.server->ShutdownServer();
    }
}

void NetworkServerContainer::StopMonitor() {
    {
        std::lock_guard<std::mutex> lock(mMonitorLock);
        mMonitorStop = true;
    }
    mMonitorWake.notify_all();
    if (mMonitor.joinable()) {
        mMonitor.join();
    }
}

void NetworkServerContainer::MonitorThread() {
    // There is nothing to drop before the first pause: the list starts empty.
    std::unique_lock<std::mutex> lock(mMonitorLock);
    while (!mMonitorWake.wait_for(lock, std::chrono::milliseconds(mOptions.monitorIntervalMs),
                                  [this] { return mMonitorStop; })) {
        lock.unlock();
        RunMonitorPass();
        lock.lock();
    }
}

bool NetworkServerContainer::RunMonitorPass() {
    std::vector<ClientServer> dropped;
    {
        std::lock_guard<std::mutex> lock(mServerListLock);
        dropped = TakeDroppedServers();
    }
    // Outside the list lock: joining a server's thread must not wait on
    // anything that needs the list.
    for (ClientServer& entry : dropped) {
        entry.server->ShutdownServer();
        entry.server.reset();
        ReleasePortIndex(entry.port - kFrontPort);
    }
    return !dropped.empty();
}

std::vector<NetworkServerContainer::ClientServer> NetworkServerContainer::TakeDroppedServers() {
    // A client that took a port and never came would otherwise leave a
    // thread and a listening socket behind for good.
    const auto awaitingDeadline =
        std::chrono::steady_clock::now() - std::chrono::milliseconds(mOptions.awaitingTimeoutMs);
    std::vector<ClientServer> dropped;
    bool disconnectedTaken = false;
    for (auto it = mServers.begin(); it != mServers.end();) {
        const std::string status = it->server->GetConnectionStatus();
        const bool gone = status == "Disconnected" && !disconnectedTaken;
        const bool neverCame = status == "Awaiting Connection" && it->created < awaitingDeadline;
        if (gone || neverCame) {
            disconnectedTaken = disconnectedTaken || gone;
            dropped.push_back(std::move(*it));
            it = mServers.erase(it);
        } else {
            ++it;
        }
    }
    return dropped;
}

int32_t NetworkServerContainer::DistributeData(const void* data, int32_t byteCount, const std::string& objectName,
                                               const std::string& typeName) {
    std::lock_guard<std::mutex> lock(mServerListLock);
    for (ClientServer& entry : mServers) {
        entry.server->SendData(data, byteCount, objectName, typeName);
    }
    return 0;
}

void NetworkServerContainer::ResetServerListLock() {
    // The lock is never re-created: waiting for it once is enough to know it is free.
    std::lock_guard<std::mutex> lock(mServerListLock);
}

template <typename T, typename F>
T NetworkServerContainer::ReadClient(int32_t index, T outOfRange, F read) const {
    std::lock_guard<std::mutex> lock(mServerListLock);
    if (index < 0 || static_cast<size_t>(index) >= mServers.size()) {
        return outOfRange;
    }
    return read(*mServers[static_cast<size_t>(index)].server);
}

int32_t NetworkServerContainer::GetNumberOfClients() const {
    std::lock_guard<std::mutex> lock(mServerListLock);
    return static_cast<int32_t>(mServers.size());
}

std::string NetworkServerContainer::GetClientPCName(int32_t index) const {
    return ReadClient(index, std::string(kInvalidIndex), [](const PlenvarServer& s) { return s.GetComputerName(); });
}

std::string NetworkServerContainer::GetClientIPAddress(int32_t index) const {
    return ReadClient(index, std::string(kInvalidIndex), [](const PlenvarServer& s) { return s.GetClientHost(); });
}

std::string NetworkServerContainer::GetClientApplicationName(int32_t index) const {
    return ReadClient(index, std::string(kInvalidIndex),
                      [](const PlenvarServer& s) { return s.GetApplicationName(); });
}

int32_t NetworkServerContainer::GetDataStreamCount(int32_t index) const {
    return ReadClient(index, int32_t{-1}, [](const PlenvarServer& s) { return s.GetStreamCount(); });
}

std::string NetworkServerContainer::GetDataObjectList(int32_t index) const {
    return ReadClient(index, std::string(), [](const PlenvarServer& s) { return s.GetObjectNames(); });
}

std::string NetworkServerContainer::GetClientConnectionStatus(int32_t index) const {
    return ReadClient(index, std::string(kInvalidIndex),
                      [](const PlenvarServer& s) { return s.GetConnectionStatus(); });
}

std::string NetworkServerContainer::GetClientNodeName(int32_t index) const {
    return ReadClient(index, std::string(kInvalidIndex), [](const PlenvarServer& s) { return s.GetLogPrefix(); });
}

int32_t NetworkServerContainer::AllocatePort() {
    std::lock_guard<std::mutex> lock(mPortLock);
    int32_t k = 1;
    for (auto it = mUsedPorts.begin(); it != mUsedPorts.end();) {
        if (*it == k) {
            ++k;
            it = mUsedPorts.begin();
        } else {
            ++it;
        }
    }
    mUsedPorts.push_back(k);
    return kFrontPort + k;
}

void NetworkServerContainer::ReleasePort(const std::string& port) {
    ReleasePortIndex(LeadingInteger(port) - kFrontPort);
}

void NetworkServerContainer::ReleasePortIndex(int32_t index) {
    std::lock_guard<std::mutex> lock(mPortLock);
    for (auto it = mUsedPorts.begin(); it != mUsedPorts.end(); ++it) {
        if (*it == index) {
            mUsedPorts.erase(it);
            return;
        }
    }
}

std::vector<int32_t> NetworkServerContainer::GetUsedPortIndices() const {
    std::lock_guard<std::mutex> lock(mPortLock);
    return mUsedPorts;
}

bool NetworkServerContainer::CreateNodeServer(int32_t port) {
    MessageNotifier notifier;
    {
        std::lock_guard<std::mutex> lock(mNotifierLock);
        notifier = mNotifier;
    }
    std::lock_guard<std::mutex> lock(mServerListLock);
    auto server = std::make_unique<PlenvarServer>(mUpstream, mOptions);
    PlenvarServer& created = *server;
    created.SetLogPrefix("Node ID: " + std::to_string(mNextNodeNumber++));
    created.SetMessageNotifier(std::move(notifier));
    created.SetCommandCallback(&NetworkServerContainer::NodeCommandCallback, this);
    mServers.push_back(ClientServer{std::move(server), port, std::chrono::steady_clock::now()});
    if (created.InitializeServer(port)) {
        return true;
    }
    // Left "Disconnected" for the monitor to remove.
    created.ShutdownServer();
    return false;
}

int32_t NetworkServerContainer::HandOutPort() {
    for (;;) {
        int32_t port = AllocatePort();
        if (port > kHighestPort) {
            ReleasePort(std::to_string(port));
            return -1;
        }
        if (CreateNodeServer(port)) {
            return port;
        }
    }
}

int32_t NetworkServerContainer::HandleCommand(const std::string& message, std::string& reply, bool front) {
    const std::vector<std::string> tokens = ReadTokens(message, 2);
    const std::string command = tokens.empty() ? std::string() : tokens[0];
    if (command == "-GetNextAvailablePortNumber") {
        const int32_t port = front ? HandOutPort() : AllocatePort();
        // Only when every port up to 65535 is taken.
        reply = port > 0 ? "0 " + std::to_string(port) : "-1";
        return 0;
    }
    if (command == "-SetPortNumberUnused") {
        ReleasePort(tokens.size() > 1 ? tokens[1] : std::string());
        reply = "Command processed successfully";
        return 0;
    }
    if (command == "-RequestApplicationName") {
        reply = "0 Zorlent Data Router";
        return 0;
    }
    return -1;
}

int32_t NetworkServerContainer::FrontCommandCallback(void* context, std::string message, std::string& reply) {
    return static_cast<NetworkServerContainer*>(context)->HandleCommand(message, reply, true);
}

int32_t NetworkServerContainer::NodeCommandCallback(void* context, std::string message, std::string& reply) {
    return static_cast<NetworkServerContainer*>(context)->HandleCommand(message, reply, false);
}

}  // namespace router

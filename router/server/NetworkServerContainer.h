#pragma once
// The router's downstream side: the front server on port 26200, one message
// server per client on 26200 + k, the table of port indices in use, the
// monitor that removes servers whose client has gone, and the entry point
// through which every record batch reaches every client.

#include "PlenvarServer.h"
#include "ServerOptions.h"
#include "Upstream.h"

#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace router {

class NetworkServerContainer {
public:
    static constexpr int32_t kFrontPort = 26200;

    // upstream may be null (not connected); it must outlive ShutdownServers.
    explicit NetworkServerContainer(Upstream* upstream, const ServerOptions& options = {});
    virtual ~NetworkServerContainer();
    NetworkServerContainer(const NetworkServerContainer&) = delete;
    NetworkServerContainer& operator=(const NetworkServerContainer&) = delete;

    // Where refused pre-headers and start-up failures are shown; by default
    // the server log (ERROR) and stderr. Set before StartServer.
    void SetMessageNotifier(MessageNotifier notifier);

    void SetLogFileName(const std::string& fileName);
    int32_t StartServer();
    void ShutdownServers();

    int32_t DistributeData(const void* data, int32_t byteCount, const std::string& objectName,
                           const std::string& typeName);
    // Returns once no batch holds the server-list lock.
    void ResetServerListLock();

    int32_t GetNumberOfClients() const;
    std::string GetClientPCName(int32_t index) const;
    std::string GetClientIPAddress(int32_t index) const;
    std::string GetClientApplicationName(int32_t index) const;
    int32_t GetDataStreamCount(int32_t index) const;
    std::string GetDataObjectList(int32_t index) const;
    std::string GetClientConnectionStatus(int32_t index) const;
    std::string GetClientNodeName(int32_t index) const;

    int32_t AllocatePort();
    void ReleasePort(const std::string& port);
    bool CreateNodeServer(int32_t port);
    std::vector<int32_t> GetUsedPortIndices() const;

    static int32_t FrontCommandCallback(void* context, std::string message, std::string& reply);
    static int32_t NodeCommandCallback(void* context, std::string message, std::string& reply);

    // One monitor pass: shuts down, destroys and removes the first
    // per-client server whose client has gone, and every one whose client
    // never came within the awaiting time-out, and releases their port
    // indices. True when any was removed.
    bool RunMonitorPass();

private:
    struct ClientServer {
        std::unique_ptr<PlenvarServer> server;
        int32_t port;
        std::chrono::steady_clock::time_point created;
    };

    // Takes the servers the monitor drops out of the list (list lock held).
    std::vector<ClientServer> TakeDroppedServers();

    int32_t HandleCommand(const std::string& message, std::string& reply, bool front);
    int32_t HandOutPort();
    void MonitorThread();
    void StopMonitor();
    void ReleasePortIndex(int32_t index);
    template <typename T, typename F>
    T ReadClient(int32_t index, T outOfRange, F read) const;

    Upstream* mUpstream;
    ServerOptions mOptions;

    mutable std::mutex mPortLock;
    std::vector<int32_t> mUsedPorts;

    // The server-list lock: guards the list and the next node number.
    mutable std::mutex mServerListLock;
    std::vector<ClientServer> mServers;
    int32_t mNextNodeNumber = 1001;

    std::mutex mNotifierLock;
    MessageNotifier mNotifier;

    std::mutex mMonitorLock;
    std::condition_variable mMonitorWake;
    bool mMonitorStop = false;
    std::thread mMonitor;

    // Declared last so it is destroyed first, while everything its
    // callbacks reach still exists.
    PlenvarServer mFrontServer;
    bool mShutDown = false;
};

}  // namespace router

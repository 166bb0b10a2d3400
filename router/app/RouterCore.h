#pragma once
// The router without its window: the upstream client, the server list, the
// upstream object and type lists, the upstream-connected flag and the work
// list, with the operations the window (or the headless loop) drives.
//
// Every operation but Distribute belongs to one thread (the window thread,
// or the headless loop's). Distribute runs on the upstream client's record
// threads.

#include "PlenvarUpstream.h"
#include "ServerOptions.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

namespace Plenvar {
class PlenvarClient;
}

namespace router {

class NetworkServerContainer;

class RouterCore {
public:
    using ErrorNotifier = std::function<void(const std::string& text)>;

    static constexpr const char* kClientLogName = "Router Plenvar Client Log File.txt";
    static constexpr const char* kServerLogName = "Router Plenvar Server Log File.txt";

    // Creates the upstream client. logDirectory holds both log files.
    explicit RouterCore(std::string logDirectory, const ServerOptions& options = {});
    // Shuts down if that has not been done yet.
    ~RouterCore();
    RouterCore(const RouterCore&) = delete;
    RouterCore& operator=(const RouterCore&) = delete;

    // Creates and starts the server list, registers the relay callbacks and
    // names both logs. Returns the server list's StartServer result (0 when
    // the front port listens); the router goes on either way.
    int Start();
    // Connects upstream to serverName (computer name or dotted address) and
    // re-opens what downstream clients already have open. On failure the
    // error notifier gets "Error Connecting to Zorlent".
    bool OnConnectToServer(const std::string& serverName);
    void OnDisconnectFromServer();
    // The 1000 ms link watch: true when it found the link lost (and closed it).
    bool OnLinkWatchTick();
    // Upstream link, then server list, then the server log. Idempotent.
    void Shutdown();

    // Replaces the default (server log and stderr). Set before Start.
    void SetErrorNotifier(ErrorNotifier notifier);

    bool IsUpstreamConnected() const { return mUpstreamConnected.load(); }
    // This computer's name after Start; the last name connected to after that.
    const std::string& ServerName() const { return mServerName; }
    std::string ClientLogPath() const;
    std::string ServerLogPath() const;

    Plenvar::PlenvarClient& UpstreamClient() { return *mClient; }
    PlenvarUpstream& UpstreamLink() { return mUpstream; }
    // Null before Start and after Shutdown.
    NetworkServerContainer* ServerList() { return mServerList.get(); }
    const std::vector<std::string>& WorkList() const { return mWorkList; }

    // The relay's way in: hands one batch to the server list, or drops it
    // when there is none.
    void Distribute(const void* records, int32_t byteCount, const std::string& objectName,
                    const std::string& typeName);

private:
    void RegisterRelayCallbacks();
    void ReopenDownstreamObjects();
    void CloseUpstreamLink();
    void Notify(const std::string& text);

    // Guards mServerList's lifetime against the record threads.
    mutable std::shared_mutex mServerListGuard;
    std::unique_ptr<Plenvar::PlenvarClient> mClient;
    PlenvarUpstream mUpstream;
    std::unique_ptr<NetworkServerContainer> mServerList;
    std::atomic<bool> mUpstreamConnected{false};
    std::vector<std::string> mWorkList;
    std::string mServerName;
    std::string mLogDirectory;
    ServerOptions mOptions;
    ErrorNotifier mErrorNotifier;
    bool mShutDown = false;
};

}  // namespace router

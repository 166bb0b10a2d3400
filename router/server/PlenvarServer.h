#pragma once
// One message server of the router with the lock that orders record
// batches handed to it.

#include "NetworkNodeServer.h"
#include "PlenvarServerBase.h"
#include "ServerOptions.h"
#include "Upstream.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace router {

class PlenvarServer : public PlenvarServerBase {
public:
    explicit PlenvarServer(Upstream* upstream = nullptr, const ServerOptions& options = {});
    ~PlenvarServer() override = default;
    PlenvarServer(const PlenvarServer&) = delete;
    PlenvarServer& operator=(const PlenvarServer&) = delete;

    bool InitializeServer(int32_t port) { return mNode.InitializeServer(port); }
    void SetCommandCallback(CommandCallback callback, void* context) { mNode.SetCommandCallback(callback, context); }
    bool SendData(const void* data, int32_t byteCount, const std::string& objectName, const std::string& typeName);
    void ShutdownServer() { mNode.ShutdownServer(); }

    void SetLogPrefix(const std::string& prefix) { mNode.SetLogPrefix(prefix); }
    void SetMessageNotifier(MessageNotifier notifier) { mNode.SetMessageNotifier(std::move(notifier)); }
    void SetIdleTimeout(int milliseconds) { mNode.SetIdleTimeout(milliseconds); }

    std::string GetComputerName() const { return mNode.GetComputerName(); }
    std::string GetClientHost() const { return mNode.GetClientHost(); }
    std::string GetApplicationName() const { return mNode.GetApplicationName(); }
    std::string GetConnectionStatus() const { return mNode.GetConnectionStatus(); }
    std::string GetObjectNames() const { return mNode.GetObjectNames(); }
    int32_t GetStreamCount() const { return mNode.GetStreamCount(); }
    int32_t GetPort() const { return mNode.GetPort(); }
    std::string GetLogPrefix() const { return mNode.GetLogPrefix(); }

private:
    NetworkNodeServer mNode;
    std::mutex mSendLock;
};

}  // namespace router

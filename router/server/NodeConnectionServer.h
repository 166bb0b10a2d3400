#pragma once
// One outgoing data stream to a client: connects to the port the client
// listens on and sends the record batches of the objects the client opened.

#include "PlenvarServerBase.h"
#include "ServerOptions.h"
#include "platform/Socket.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace router {

class NodeConnectionServer : public PlenvarServerBase {
public:
    explicit NodeConnectionServer(const ServerOptions& options = {});
    ~NodeConnectionServer() override = default;
    NodeConnectionServer(const NodeConnectionServer&) = delete;
    NodeConnectionServer& operator=(const NodeConnectionServer&) = delete;

    void SetLogPrefix(const std::string& prefix) { mLogPrefix = prefix; }

    bool InitializeClientStream(int32_t port, const std::string& host, const std::string& typeName);
    bool CloseClientStream();
    bool AddObject(const std::string& name);
    bool RemoveObject(const std::string& name);
    // Sends the batch as one write when its object is open. A write that
    // fails, times out or is short closes the stream for good.
    bool SendRecords(const std::string& objectName, const void* data, int32_t byteCount);

    // The owner calls these (and the operations above except the object
    // list ones) under its stream-list lock.
    const std::string& GetTypeName() const { return mTypeName; }
    int32_t GetPort() const { return mPort; }
    // The port the client asked for, kept also when connecting failed, so
    // that its port index can go back to the table.
    int32_t GetRequestedPort() const { return mRequestedPort; }

    std::vector<std::string> GetObjectNames() const;

private:
    void Log(int32_t level, const std::string& message) const;
    bool ConnectTo(platform::Socket& socket, int32_t port, const std::string& host);
    bool HasObjectLocked(const std::string& name) const;
    void DropConnection();

    std::vector<std::string> mObjectNames;
    platform::Socket mSocket;
    int32_t mPort = -1;
    std::string mClientHost = "Unknown";
    std::string mTypeName = "Unknown";
    bool mInitialized = false;
    std::string mLogPrefix = "Unknown ID";
    mutable std::mutex mObjectListLock;

    ServerOptions mOptions;
    int32_t mRequestedPort = -1;
    bool mConnectionDropped = false;
};

}  // namespace router

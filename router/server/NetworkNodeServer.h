#pragma once
// One message server: listens on one port, serves one client at a time on
// its message thread, answers its commands and owns that client's data
// streams and descriptive texts.

#include "NodeConnectionServer.h"
#include "PlenvarServerBase.h"
#include "ServerOptions.h"
#include "Upstream.h"
#include "platform/Socket.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace router {

class NetworkNodeServer : public PlenvarServerBase {
public:
    NetworkNodeServer(Upstream* upstream = nullptr, const ServerOptions& options = {});
    // Shuts the server down unless that has been done already.
    ~NetworkNodeServer() override;
    NetworkNodeServer(const NetworkNodeServer&) = delete;
    NetworkNodeServer& operator=(const NetworkNodeServer&) = delete;

    // Set before InitializeServer.
    void SetLogPrefix(const std::string& prefix);
    void SetCommandCallback(CommandCallback callback, void* context);
    void SetMessageNotifier(MessageNotifier notifier);
    // Ends a client connection that sends nothing for this long (0: never).
    void SetIdleTimeout(int milliseconds) { mIdleTimeoutMs = milliseconds; }

    bool InitializeServer(int32_t port);
    void ShutdownServer();
    // Serves one connected client on the calling thread until it goes away
    // or the server stops, then closes the connection. The message thread
    // runs this for every accepted client; it also takes a connection made
    // otherwise (for example one end of a local socket pair) while the
    // server is not listening. False when the server is stopping.
    bool ServeClient(platform::Socket client);

    bool DispatchData(const void* data, int32_t byteCount, const std::string& objectName,
                      const std::string& typeName);
    bool SendReply(const std::string& text);
    bool SendMessageBuffer(const void* bytes, int32_t size);

    std::string GetObjectNames() const;
    std::string GetClientHost() const;
    std::string GetComputerName() const;
    std::string GetApplicationName() const;
    std::string GetConnectionStatus() const;
    int32_t GetStreamCount() const;
    int32_t GetPort() const;
    std::string GetLogPrefix() const;

    // Command handling; run on the message thread.
    bool ProcessStreamCommand(const std::string& message, std::string& reply);
    void ProcessCreateStream(const std::string& message, std::string& reply);
    void ProcessOpenStream(const std::string& message, std::string& reply);
    void ProcessCloseStream(const std::string& message, std::string& reply);
    void ProcessInternalMessage(const std::string& message);

private:
    void MessageThread();
    platform::Socket AcceptClient();
    bool TakeClient(platform::Socket client);
    bool ServeTakenClient();
    bool RecieveMessagePreHeader(int32_t& version);
    bool RecieveMessageHeader(int32_t& size);
    bool RecieveMessageBody(int32_t size, std::string& text);
    bool ProcessNextMessage();
    void CloseAllStreamConnections();
    void DeleteAllStreamConnections();
    void CloseMessageConnection();
    void CloseClientConnection();

    // Reads exactly `length` bytes: the count, 0 when the peer closed
    // first, -1 on a socket error.
    long RecvExact(void* data, size_t length);
    void LogRecvFailure(long result, const std::string& closedText);
    void Log(int32_t level, const std::string& message) const;
    void SetStatus(const std::string& status);
    void Notify(const std::string& text);
    bool Stopping() const;
    NodeConnectionServer* FindStreamLocked(const std::string& typeName);
    void ChangeObject(const std::string& message, std::string& reply, bool open);
    void ForwardToUpstream(const std::string& message);
    void SendRingBufferReply(const std::string& message);
    void SetApplicationNameFrom(const std::string& message);

    int32_t mPort = -1;
    std::string mClientHost = "Unknown";
    platform::Socket mAcceptedSocket;
    platform::Socket mListenSocket;
    std::thread mMsgServerThread;
    std::vector<std::unique_ptr<NodeConnectionServer>> mStreams;
    bool mInitialized = false;
    CommandCallback mCommandCallback = nullptr;
    void* mCommandContext = nullptr;
    std::string mComputerName = "Unknown";
    std::string mApplicationName = "Unknown";
    std::string mConnectionStatus = "Awaiting Connection";
    std::string mLogPrefix = "Unknown ID";
    mutable std::mutex mStreamListLock;

    Upstream* mUpstream;
    ServerOptions mOptions;
    int mIdleTimeoutMs = 0;
    MessageNotifier mNotifier;
    // Guards the texts above that other threads read.
    mutable std::mutex mTextLock;
    // Guards replacing and shutting down the two sockets against each other.
    mutable std::mutex mSocketLock;
    bool mStopping = false;
    bool mShutDown = false;
};

}  // namespace router

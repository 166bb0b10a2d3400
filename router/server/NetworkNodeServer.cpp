#include "NetworkNodeServer.h"

#include "PlenvarServerLogFile.h"
#include "platform/SocketError.h"
#include "protocol/Framing.h"

#include <algorithm>
#include <iostream>
#include <new>
#include <system_error>

namespace router {

using LogFile = PlenvarServerLogFile;

namespace {
const std::string kConnected = "Connected";
const std::string kDisconnected = "Disconnected";
}  // namespace

NetworkNodeServer::NetworkNodeServer(Upstream* upstream, const ServerOptions& options)
    : mUpstream(upstream), mOptions(options) {}

NetworkNodeServer::~NetworkNodeServer() {
    if (!mShutDown) {
        ShutdownServer();
    }
}

void NetworkNodeServer::SetLogPrefix(const std::string& prefix) {
    std::lock_guard<std::mutex> lock(mTextLock);
    mLogPrefix = prefix;
}

void NetworkNodeServer::SetCommandCallback(CommandCallback callback, void* context) {
    mCommandCallback = callback;
    mCommandContext = context;
}

void NetworkNodeServer::SetMessageNotifier(MessageNotifier notifier) {
    std::lock_guard<std::mutex> lock(mTextLock);
    mNotifier = std::move(notifier);
}

void NetworkNodeServer::Log(int32_t level, const std::string& message) const {
    ServerLog().WriteMessage(level, GetLogPrefix() + message);
}

void NetworkNodeServer::SetStatus(const std::string& status) {
    std::lock_guard<std::mutex> lock(mTextLock);
    mConnectionStatus = status;
}

void NetworkNodeServer::Notify(const std::string& text) {
    MessageNotifier notifier;
    {
        std::lock_guard<std::mutex> lock(mTextLock);
        notifier = mNotifier;
    }
    if (notifier) {
        notifier(text);
        return;
    }
    ServerLog().WriteMessage(LogFile::ERROR, text);
    std::cerr << text << std::endl;
}

bool NetworkNodeServer::Stopping() const {
    std::lock_guard<std::mutex> lock(mSocketLock);
    return mStopping;
}

bool NetworkNodeServer::InitializeServer(int32_t port) {
    Log(LogFile::NOTICE, " - Initializing Message Server on Port Number: " + std::to_string(port));
    if (mInitialized) {
        Log(LogFile::WARNING, " - Cannot Initialize Message Server, Server has already been initialized");
        return false;
    }
    Log(LogFile::NOTICE, " - Creating Server Socket");
    platform::Socket listener = platform::Socket::CreateTcp();
    bool ok = listener.IsValid();
    if (!ok) {
        Log(LogFile::ERROR, " - " + CreateSocketErrorText());
    } else {
        Log(LogFile::NOTICE, " - Server Socket created Successfully");
        Log(LogFile::NOTICE, " - Binding Server Socket on Port Number: " + std::to_string(port));
        // Binding over connections of an earlier server still in TIME_WAIT, as
        // Windows does by default; a port another socket listens on still fails.
        listener.SetReuseAddress(true);
        ok = port >= 0 && port <= 65535 && listener.Bind(0, static_cast<uint16_t>(port));
        if (!ok) {
            if (port < 0 || port > 65535) {
                platform::SetLastSocketError(platform::kWsaEaddrnotavail);
            }
            Log(LogFile::ERROR, " - " + BindErrorText());
        }
    }
    if (ok) {
        Log(LogFile::NOTICE, " - Server Socket Bound Successfully");
        Log(LogFile::NOTICE, " - Setting Server Socket To Listen, Maximum Number of Pending Connections Set to 1");
        ok = listener.Listen(1);
        Log(ok ? LogFile::NOTICE : LogFile::ERROR,
            ok ? " - Server Socket Listening Successfully" : " - " + ListenErrorText());
    }
    if (!ok) {
        Log(LogFile::ERROR, " - Unable to Initializing Message Server");
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mTextLock);
        mPort = port;
    }
    mListenSocket = std::move(listener);
    mInitialized = true;
    Log(LogFile::NOTICE, " - Creating Thread to monitor incoming connections and messages");
    try {
        mMsgServerThread = std::thread(&NetworkNodeServer::MessageThread, this);
    } catch (const std::system_error&) {
        Log(LogFile::ERROR, " - Error, Thread returned a NULL");
        Log(LogFile::ERROR, " - Unable to Initializing Message Server");
        return false;
    }
    Log(LogFile::NOTICE, " - Message Server has been Initialized Successfully");
    return true;
}

void NetworkNodeServer::MessageThread() {
    for (;;) {
        platform::Socket client = AcceptClient();
        if (!client.IsValid() || !TakeClient(std::move(client))) {
            return;
        }
        Log(LogFile::NOTICE, " - Client connection Accepted");
        if (!ServeTakenClient()) {
            return;
        }
    }
}

bool NetworkNodeServer::ServeClient(platform::Socket client) {
    return TakeClient(std::move(client)) && ServeTakenClient();
}

bool NetworkNodeServer::ServeTakenClient() {
    SetStatus(kConnected);
    while (ProcessNextMessage()) {
    }
    if (Stopping()) {
        // ShutdownServer cleans up.
        return false;
    }
    SendReply("Error");
    CloseAllStreamConnections();
    DeleteAllStreamConnections();
    CloseClientConnection();
    SetStatus(kDisconnected);
    return true;
}

platform::Socket NetworkNodeServer::AcceptClient() {
    Log(LogFile::NOTICE, " - Waiting to Accept Client Connection");
    platform::Socket client = mListenSocket.Accept();
    if (!client.IsValid()) {
        std::string text = AcceptErrorText();
        if (!Stopping()) {
            Log(LogFile::ERROR, " - " + text);
        }
    }
    return client;
}

bool NetworkNodeServer::TakeClient(platform::Socket client) {
    if (mIdleTimeoutMs > 0) {
        client.SetRecvTimeout(mIdleTimeoutMs);
    }
    // A reply leaves as three writes; without this the second waits for
    // the client's delayed acknowledgement of the first.
    client.SetNoDelay(true);
    std::lock_guard<std::mutex> lock(mSocketLock);
    if (mStopping) {
        return false;
    }
    mAcceptedSocket = std::move(client);
    return true;
}

void NetworkNodeServer::CloseClientConnection() {
    std::lock_guard<std::mutex> lock(mSocketLock);
    mAcceptedSocket.Close();
}

long NetworkNodeServer::RecvExact(void* data, size_t length) { return mAcceptedSocket.RecvExact(data, length); }

void NetworkNodeServer::LogRecvFailure(long result, const std::string& closedText) {
    if (result == 0) {
        Log(LogFile::NOTICE, closedText);
        return;
    }
    int code = platform::LastSocketError();
    if (code == platform::kWsaEtimedout && mIdleTimeoutMs > 0) {
        Log(LogFile::NOTICE, " - No Message Received for " + std::to_string(mIdleTimeoutMs) +
                                 " ms, Closing Idle Client Connection");
        return;
    }
    Log(LogFile::ERROR, " - " + ErrorText(SocketCall::Accept, code));
}

bool NetworkNodeServer::RecieveMessagePreHeader(int32_t& version) {
    Log(LogFile::NOTICE, " - Recieving Message Pre Header of size " + std::to_string(protocol::kPreHeaderSize));
    unsigned char preHeader[protocol::kPreHeaderSize];
    long n = RecvExact(preHeader, sizeof preHeader);
    if (n <= 0) {
        LogRecvFailure(n, " - Unable To Recieving Message Pre Header, Socket has been Closed Gracefully");
        return false;
    }
    const std::string origin = "NetworkNodeServer::RecieveMessagePreHeader() - ";
    switch (protocol::CheckPreHeader(preHeader, version)) {
    case protocol::PreHeaderCheck::VersionTooLow:
        Notify(origin + "Error, invalid version number, data has been corrupted or improperly formatted");
        return false;
    case protocol::PreHeaderCheck::VersionTooHigh:
        Notify(origin + "Error, this Version of Kestova Network Communication is not Supported, please update to "
                        "the latest version of this software that contains Network Communication Version " +
               std::to_string(version));
        return false;
    case protocol::PreHeaderCheck::BadValidationCode:
        Notify(origin + "Error, invalid validation code, data has been corrupted or improperly formatted");
        return false;
    case protocol::PreHeaderCheck::Accepted:
        break;
    }
    Log(LogFile::NOTICE, " - Message Pre Header Recieved Successfully, Received " + std::to_string(n) + " bytes");
    return true;
}

bool NetworkNodeServer::RecieveMessageHeader(int32_t& size) {
    size = 0;
    Log(LogFile::NOTICE, " - Recieving Message Header of size " + std::to_string(protocol::kHeaderSize));
    unsigned char header[protocol::kHeaderSize];
    long n = RecvExact(header, sizeof header);
    if (n <= 0) {
        LogRecvFailure(n, " - Unable To Recieving Message Header, Socket has been Closed Gracefully");
        return false;
    }
    size = static_cast<int32_t>(protocol::ReadLE32(header));
    Log(LogFile::NOTICE, " - Message Header Recieved Successfully, Received " + std::to_string(n) +
                             " bytes, incoming Message Size is " + std::to_string(size) + " bytes");
    return true;
}

bool NetworkNodeServer::RecieveMessageBody(int32_t size, std::string& text) {
    Log(LogFile::NOTICE, " - Recieving Message Body of size " + std::to_string(size));
    // Checked before anything is allocated: a client cannot make the router
    // reserve memory it will never fill.
    if (protocol::CheckMessageSize(size, protocol::kMaxCommandBodySize) != protocol::SizeCheck::Accepted) {
        Log(LogFile::ERROR, " - Error, Message Body size of " + std::to_string(size) +
                                " bytes is outside the accepted range of 1 to " +
                                std::to_string(protocol::kMaxCommandBodySize) + " bytes");
        return false;
    }
    // Grown as the bytes arrive, so a size the client never fills costs no
    // memory.
    constexpr size_t kGrowth = 64 * 1024;
    const size_t total = static_cast<size_t>(size);
    std::string buffer;
    size_t got = 0;
    while (got < total) {
        Log(LogFile::NOTICE, " - Attempting to recieve data of size: " + std::to_string(total - got));
        try {
            buffer.resize(std::min(total, got + kGrowth));
        } catch (const std::bad_alloc&) {
            Log(LogFile::ERROR, " - Error Allocating memory for Message Body");
            return false;
        }
        long last = mAcceptedSocket.Recv(buffer.data() + got, buffer.size() - got);
        if (last <= 0) {
            LogRecvFailure(last, " - Unable To Recieving Data, Socket has been Closed Gracefully");
            return false;
        }
        Log(LogFile::NOTICE, " - Attempt to recieve data was successful, Recieved " + std::to_string(last) + " bytes");
        got += static_cast<size_t>(last);
    }
    text.assign(buffer.c_str());
    Log(LogFile::NOTICE, " - Message Body Recieved Successfully");
    return true;
}

bool NetworkNodeServer::ProcessNextMessage() {
    Log(LogFile::NOTICE, " - Recieving Message From Client");
    int32_t version = 0;
    int32_t size = 0;
    std::string message;
    if (!RecieveMessagePreHeader(version) || !RecieveMessageHeader(size) || !RecieveMessageBody(size, message)) {
        Log(LogFile::ERROR, " - Unable to Recieve Message");
        return false;
    }
    Log(LogFile::NOTICE, " - Processing Internal Message: " + message);
    std::string reply;
    if (mCommandCallback != nullptr && mCommandCallback(mCommandContext, message, reply) == 0) {
        SendReply(reply);
    } else if (ProcessStreamCommand(message, reply)) {
        SendReply(reply);
    } else {
        ProcessInternalMessage(message);
    }
    return true;
}

bool NetworkNodeServer::SendMessageBuffer(const void* bytes, int32_t size) {
    Log(LogFile::NOTICE, " - Sending Message Buffer, size = " + std::to_string(size) + " bytes");
    if (bytes == nullptr || size < 1) {
        Log(LogFile::ERROR, " - Invalid Parameters, cannot send message buffer");
        return false;
    }
    unsigned char preHeader[protocol::kPreHeaderSize];
    unsigned char header[protocol::kHeaderSize];
    protocol::WritePreHeader(preHeader);
    protocol::WriteHeader(header, size);
    struct Part {
        const char* name;
        const void* data;
        size_t length;
    };
    const Part parts[] = {{" - Sending Message Buffer Pre Header, size = ", preHeader, sizeof preHeader},
                          {" - Sending Message Buffer Header, size = ", header, sizeof header},
                          {" - Sending Message Buffer Body, size = ", bytes, static_cast<size_t>(size)}};
    for (const Part& part : parts) {
        Log(LogFile::NOTICE, part.name + std::to_string(part.length) + " bytes");
        long sent = mAcceptedSocket.Send(part.data, part.length);
        if (sent < 0) {
            Log(LogFile::ERROR, " - " + SendErrorText());
            return false;
        }
        if (static_cast<size_t>(sent) < part.length) {
            Log(LogFile::ERROR, " - Not all bytes were sent, number sent = " + std::to_string(sent));
            return false;
        }
    }
    Log(LogFile::NOTICE, " - Message Buffer sent Successfully");
    return true;
}

bool NetworkNodeServer::SendReply(const std::string& text) {
    Log(LogFile::NOTICE, " - Sending Message: " + text);
    // c_str() carries the terminating zero byte the body must end with.
    if (!SendMessageBuffer(text.c_str(), static_cast<int32_t>(text.size() + 1))) {
        return false;
    }
    Log(LogFile::NOTICE, " - Message was sent Successfully");
    return true;
}

void NetworkNodeServer::CloseAllStreamConnections() {
    Log(LogFile::NOTICE, " - Closing all Stream Connections");
    {
        std::lock_guard<std::mutex> lock(mStreamListLock);
        for (const auto& stream : mStreams) {
            stream->CloseClientStream();
            std::string command = "-SetPortNumberUnused " + std::to_string(stream->GetRequestedPort());
            std::string ignored;
            if (mCommandCallback != nullptr) {
                mCommandCallback(mCommandContext, command, ignored);
            }
        }
    }
    Log(LogFile::NOTICE, " - All Stream Connections have been Closed");
}

void NetworkNodeServer::DeleteAllStreamConnections() {
    Log(LogFile::NOTICE, " - Deleting all Stream Connections");
    {
        std::lock_guard<std::mutex> lock(mStreamListLock);
        mStreams.clear();
    }
    Log(LogFile::NOTICE, " - All Stream Connections have been Deleted");
}

void NetworkNodeServer::CloseMessageConnection() {
    Log(LogFile::NOTICE, " - Closing Message Server Connection");
    Log(LogFile::NOTICE, " - Closing Server Socket");
    std::lock_guard<std::mutex> lock(mSocketLock);
    if (!mListenSocket.Close()) {
        Log(LogFile::ERROR, " - " + CloseSocketErrorText());
        return;
    }
    Log(LogFile::NOTICE, " - Server Socket has been Closed");
    Log(LogFile::NOTICE, " - Closing Other Server Socket");
    if (!mAcceptedSocket.Close()) {
        Log(LogFile::ERROR, " - " + CloseSocketErrorText());
        return;
    }
    Log(LogFile::NOTICE, " - Other Server Socket has been Closed");
    Log(LogFile::NOTICE, " - Message Server Connection has been closed");
}

void NetworkNodeServer::ShutdownServer() {
    Log(LogFile::NOTICE, " - Shuttting Down Server");
    if (mMsgServerThread.joinable()) {
        {
            // Makes the thread's blocked accept or receive return.
            std::lock_guard<std::mutex> lock(mSocketLock);
            mStopping = true;
            mListenSocket.ShutdownBoth();
            mAcceptedSocket.ShutdownBoth();
        }
        const std::string prefix = GetLogPrefix();
        ServerLog().WriteMessage(LogFile::NOTICE, prefix + "NetworkNodeServer::ShutdownServer() - mMsgServerThread "
                                                           "thread has been terminated successfully.");
        // Every call the thread can block in is bounded or returns once its
        // socket is shut down, so this join ends.
        mMsgServerThread.join();
        ServerLog().WriteMessage(LogFile::NOTICE, prefix + "NetworkNodeServer::ShutdownServer() - "
                                                           "WaitForSingleObject for mMsgServerThread thread "
                                                           "completed successfully.");
    }
    CloseAllStreamConnections();
    DeleteAllStreamConnections();
    CloseMessageConnection();
    SetStatus(kDisconnected);
    Log(LogFile::NOTICE, " - Server has been Shut Down ");
    mShutDown = true;
}

bool NetworkNodeServer::DispatchData(const void* data, int32_t byteCount, const std::string& objectName,
                                     const std::string& typeName) {
    std::lock_guard<std::mutex> lock(mStreamListLock);
    NodeConnectionServer* stream = FindStreamLocked(typeName);
    return stream != nullptr && stream->SendRecords(objectName, data, byteCount);
}

NodeConnectionServer* NetworkNodeServer::FindStreamLocked(const std::string& typeName) {
    for (const auto& stream : mStreams) {
        if (stream->GetTypeName() == typeName) {
            return stream.get();
        }
    }
    return nullptr;
}

std::string NetworkNodeServer::GetObjectNames() const {
    std::string names;
    std::lock_guard<std::mutex> lock(mStreamListLock);
    for (const auto& stream : mStreams) {
        for (const std::string& name : stream->GetObjectNames()) {
            names += name + " ";
        }
    }
    return names;
}

int32_t NetworkNodeServer::GetStreamCount() const {
    std::lock_guard<std::mutex> lock(mStreamListLock);
    return static_cast<int32_t>(mStreams.size());
}

std::string NetworkNodeServer::GetClientHost() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mClientHost;
}

std::string NetworkNodeServer::GetComputerName() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mComputerName;
}

std::string NetworkNodeServer::GetApplicationName() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mApplicationName;
}

std::string NetworkNodeServer::GetConnectionStatus() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mConnectionStatus;
}

int32_t NetworkNodeServer::GetPort() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mPort;
}

std::string NetworkNodeServer::GetLogPrefix() const {
    std::lock_guard<std::mutex> lock(mTextLock);
    return mLogPrefix;
}

}  // namespace router

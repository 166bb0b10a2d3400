#include "NodeConnectionServer.h"

#include "CommandText.h"
#include "PlenvarServerLogFile.h"
#include "platform/Resolve.h"
#include "platform/SocketError.h"

#include <algorithm>

namespace router {

using LogFile = PlenvarServerLogFile;

NodeConnectionServer::NodeConnectionServer(const ServerOptions& options) : mOptions(options) {}

void NodeConnectionServer::Log(int32_t level, const std::string& message) const {
    ServerLog().WriteMessage(level, mLogPrefix + message);
}

bool NodeConnectionServer::InitializeClientStream(int32_t port, const std::string& host,
                                                  const std::string& typeName) {
    Log(LogFile::NOTICE, " - Initializing Client Stream.  Server: " + host + " Port Number: " + std::to_string(port) +
                         " Data Type: " + typeName);
    if (mInitialized) {
        Log(LogFile::WARNING, " - Unable to Initialize Client Stream, it has already been Initialize");
        return false;
    }
    mRequestedPort = port;
    // A failed attempt's socket closes when this local goes out of scope.
    platform::Socket socket;
    if (!ConnectTo(socket, port, host)) {
        Log(LogFile::ERROR, " - Unable to Initializing Client Stream");
        return false;
    }
    // A client that stops reading may hold the record path up for this long only.
    socket.SetSendTimeout(mOptions.sendTimeoutMs);
    mSocket = std::move(socket);
    mPort = port;
    mClientHost = host;
    mTypeName = typeName;
    mInitialized = true;
    Log(LogFile::NOTICE, " - Client Stream Initialized Successfully.");
    return true;
}

bool NodeConnectionServer::ConnectTo(platform::Socket& socket, int32_t port, const std::string& host) {
    Log(LogFile::NOTICE, " - Creating Server Socket");
    socket = platform::Socket::CreateTcp();
    if (!socket.IsValid()) {
        Log(LogFile::ERROR, " - " + CreateSocketErrorText());
        return false;
    }
    Log(LogFile::NOTICE, " - Server Socket created Successfully");
    Log(LogFile::NOTICE, " - Getting Server Information, Server Name: " + host);
    std::vector<sockaddr_in> addresses;
    if (platform::ResolveIPv4(host, addresses) != 0 || addresses.empty()) {
        Log(LogFile::ERROR, " - " + GetHostByNameErrorText());
        return false;
    }
    Log(LogFile::NOTICE, " - Server Information returned Successfully");
    Log(LogFile::NOTICE, " - Connecting To Server");
    sockaddr_in address = addresses.front();
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 0 || port > 65535 || !socket.Connect(address, mOptions.connectTimeoutMs)) {
        if (port < 0 || port > 65535) {
            platform::SetLastSocketError(platform::kWsaEaddrnotavail);
        }
        Log(LogFile::ERROR, " - " + ConnectErrorText());
        return false;
    }
    Log(LogFile::NOTICE, " - Connection To Server Was Successful");
    return true;
}

bool NodeConnectionServer::CloseClientStream() {
    Log(LogFile::NOTICE, " - Closing Client Stream for " + mTypeName + " data type");
    if (!mInitialized) {
        Log(LogFile::WARNING, " - Unable To Close Client Stream, Stream was not Initialized");
        return false;
    }
    Log(LogFile::NOTICE, " - Closing Stream Socket");
    if (!mConnectionDropped && !mSocket.Close()) {
        Log(LogFile::ERROR, " - " + CloseSocketErrorText());
        return false;
    }
    mConnectionDropped = true;
    Log(LogFile::NOTICE, " - Client Stream Closed Successfully");
    return true;
}

bool NodeConnectionServer::HasObjectLocked(const std::string& name) const {
    return std::any_of(mObjectNames.begin(), mObjectNames.end(),
                       [&name](const std::string& present) { return EqualsIgnoreCase(present, name); });
}

bool NodeConnectionServer::AddObject(const std::string& name) {
    Log(LogFile::NOTICE, " - Adding Object: " + name + " to our list.");
    {
        std::lock_guard<std::mutex> lock(mObjectListLock);
        if (!HasObjectLocked(name)) {
            mObjectNames.push_back(name);
            Log(LogFile::NOTICE, " - Object added Successfully");
            return true;
        }
    }
    Log(LogFile::WARNING, " - Object name already exists in  object name list");
    return false;
}

bool NodeConnectionServer::RemoveObject(const std::string& name) {
    Log(LogFile::NOTICE, " - Removing Object: " + name + " from our list.");
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(mObjectListLock);
        auto it = std::find_if(mObjectNames.begin(), mObjectNames.end(),
                               [&name](const std::string& present) { return EqualsIgnoreCase(present, name); });
        if (it != mObjectNames.end()) {
            mObjectNames.erase(it);
            found = true;
        }
    }
    if (found) {
        Log(LogFile::NOTICE, " - Object Removed Successfully");
    } else {
        Log(LogFile::ERROR, " - Unable to Remove Object Name From Our List, Object Was Not Found");
    }
    return found;
}

std::vector<std::string> NodeConnectionServer::GetObjectNames() const {
    std::lock_guard<std::mutex> lock(mObjectListLock);
    return mObjectNames;
}

void NodeConnectionServer::DropConnection() {
    // The client sees its data connection end; the stream stays in the list
    // and is skipped from now on.
    mSocket.ShutdownBoth();
    mSocket.Close();
    mConnectionDropped = true;
}

bool NodeConnectionServer::SendRecords(const std::string& objectName, const void* data, int32_t byteCount) {
    {
        std::lock_guard<std::mutex> lock(mObjectListLock);
        if (!HasObjectLocked(objectName)) {
            return false;
        }
    }
    if (!mInitialized || mConnectionDropped || data == nullptr || byteCount < 1) {
        return false;
    }
    long sent = mSocket.Send(data, static_cast<size_t>(byteCount));
    if (sent < 0) {
        Log(LogFile::ERROR, " - Object Name: " + objectName + " " + SendErrorText());
        DropConnection();
        return false;
    }
    if (sent < byteCount) {
        Log(LogFile::ERROR, " - Not all bytes were sent, number sent = " + std::to_string(sent) +
                            " Num Bytes Attempted: " + std::to_string(byteCount));
        DropConnection();
        return false;
    }
    return true;
}

}  // namespace router

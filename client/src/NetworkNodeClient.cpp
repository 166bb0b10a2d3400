#include "NetworkNodeClient.h"

#include "CommandProcessor.h"

#include "platform/Latin1.h"
#include "platform/Resolve.h"
#include "platform/SocketError.h"
#include "platform/System.h"
#include "protocol/Framing.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sstream>

namespace Plenvar {

namespace {

const wchar_t* const kNotConnected = L"Not Connected";

std::wstring Widen(const std::string& text) { return platform::Latin1ToWide(text); }

// The integer a text begins with (after white space); false when it begins
// with anything else.
bool LeadingInteger(const std::wstring& text, int& value) {
    std::wistringstream in(text);
    int read = 0;
    if (!(in >> read)) {
        return false;
    }
    value = read;
    return true;
}

// An empty reply counts as success, as does one that begins with 0.
bool AcceptedReply(const std::wstring& reply) {
    int code = -1;
    return reply.empty() || (LeadingInteger(reply, code) && code == 0);
}

}  // namespace

NetworkNodeClient::NetworkNodeClient()
    : mServerPCName(kNotConnected),
      mServerIPAddress(kNotConnected),
      mServerApplicationName(kNotConnected) {
    SocketStartup();
}

NetworkNodeClient::~NetworkNodeClient() {
    ShutdownClient();
    mLogFile.CloseLog();
    mObjectTypes.clear();
    mObjectNames.clear();
}

void NetworkNodeClient::LogSocketError(ClientSocketOp op, int code) {
    std::wstring line = ClientSocketErrorLine(op, code);
    if (!line.empty()) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, line);
    }
}

void NetworkNodeClient::SetReplyTimeout(std::chrono::milliseconds timeout) {
    mReplyTimeout = timeout;
    if (mIsConnected) {
        mSocket.SetRecvTimeout(static_cast<int>(mReplyTimeout.count()));
    }
}

int NetworkNodeClient::SocketStartup() { return 0; }

int NetworkNodeClient::CreateSocket(platform::Socket& socket) {
    socket = platform::Socket::CreateTcp();
    if (!socket.IsValid()) {
        LogSocketError(ClientSocketOp::Create, platform::LastSocketError());
        return -1;
    }
    return 0;
}

int NetworkNodeClient::GetHostInfo(std::vector<sockaddr_in>& addresses, const std::wstring& serverName) {
    if (!addresses.empty()) {
        return -1;
    }
    int code = platform::ResolveIPv4(platform::WideToLatin1Lossy(serverName), addresses);
    if (code != 0) {
        // The socket start-up is kept: undoing it here would break every
        // later connect of this process.
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::GetHostInfo() - GetAddrInfo failed with error code " +
                                std::to_wstring(code) + L"\n");
        return 1;
    }
    if (addresses.empty()) {
        LogSocketError(ClientSocketOp::Host, platform::LastSocketError());
        return -1;
    }
    return 0;
}

int NetworkNodeClient::ConnectToServer(platform::Socket& socket, sockaddr_in address, int portNumber) {
    address.sin_port = htons(static_cast<uint16_t>(portNumber));
    const int timeoutMs = mConnectTimeout.count() > 0 ? static_cast<int>(mConnectTimeout.count()) : -1;
    if (!socket.Connect(address, timeoutMs)) {
        LogSocketError(ClientSocketOp::Connect, platform::LastSocketError());
        return -1;
    }
    return 0;
}

bool NetworkNodeClient::InitializeClient(const std::wstring& serverName, int portNumber) {
    const std::wstring op = L"NetworkNodeClient::InitializeClient() - ";
    mLogFile.WriteEntry(ClientLogFile::NOTICE,
                        op + L"Attempting to initialize Message Client connection.  serverName: " +
                            serverName + L", portNumber: " + std::to_wstring(portNumber));
    if (mIsConnected) {
        mLogFile.WriteEntry(ClientLogFile::WARNING,
                            op + L"Attempting to initialize Message Client that has already been "
                                 L"initialized, unable to re-initialize");
        return false;
    }
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Attempting to create Client Socket");
    if (CreateSocket(mSocket) != 0) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"Failure: Unable to initialize client");
        return false;
    }
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Client Socket created successfully");
    mLogFile.WriteEntry(ClientLogFile::NOTICE,
                        op + L"Attempting to request information about our connection.");
    std::vector<sockaddr_in> addresses;
    if (GetHostInfo(addresses, serverName) != 0) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"Failure: Unable to initialize message client");
        return false;
    }
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Request for information was successful.");
    mLogFile.WriteEntry(ClientLogFile::NOTICE,
                        op + L"Attempting to establish a connection to our server.");
    if (!ConnectToAny(addresses, serverName, portNumber)) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"Failed to connect to message server.");
        return false;
    }
    AskApplicationName();
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Message Client successfully initialized");
    return true;
}

bool NetworkNodeClient::AdoptConnection(platform::Socket connected, const std::wstring& serverName) {
    if (mIsConnected) {
        mLogFile.WriteEntry(ClientLogFile::WARNING,
                            L"NetworkNodeClient::AdoptConnection() - Attempting to initialize Message Client that "
                            L"has already been initialized, unable to re-initialize");
        return false;
    }
    mSocket = std::move(connected);
    {
        std::lock_guard<std::mutex> lock(mServerTextLock);
        mServerIPAddress = serverName;
        mServerPCName = serverName;
    }
    mIsConnected = true;
    mSocket.SetRecvTimeout(static_cast<int>(mReplyTimeout.count()));
    // A local pair has no IPv4 address: its server runs on this computer and
    // reaches the data streams over loopback.
    sockaddr_in local{};
    mLocalIPAddress = mSocket.LocalAddress(local) ? Widen(platform::DottedQuad(local)) : L"127.0.0.1";
    AskApplicationName();
    return true;
}

bool NetworkNodeClient::ConnectToAny(const std::vector<sockaddr_in>& addresses,
                                     const std::wstring& serverName, int portNumber) {
    bool first = true;
    for (const sockaddr_in& address : addresses) {
        // A socket whose connect failed is in no defined state on POSIX, so
        // every further address gets a fresh one.
        if (!first && CreateSocket(mSocket) != 0) {
            return false;
        }
        first = false;
        if (ConnectToServer(mSocket, address, portNumber) != 0) {
            continue;
        }
        mLogFile.WriteEntry(ClientLogFile::NOTICE,
                            L"NetworkNodeClient::InitializeClient() - Connection successfully established");
        std::string host;
        std::wstring pcName = platform::ReverseLookup(address, host) ? Widen(host) : serverName;
        {
            std::lock_guard<std::mutex> lock(mServerTextLock);
            mServerIPAddress = Widen(platform::DottedQuad(address));
            mServerPCName = std::move(pcName);
        }
        mIsConnected = true;
        mSocket.SetRecvTimeout(static_cast<int>(mReplyTimeout.count()));
        TakeLocalAddress();
        return true;
    }
    return false;
}

void NetworkNodeClient::TakeLocalAddress() {
    sockaddr_in local{};
    if (mSocket.LocalAddress(local)) {
        mLocalIPAddress = Widen(platform::DottedQuad(local));
    } else {
        mLocalIPAddress = GetMyIPAddress();
    }
}

void NetworkNodeClient::AskApplicationName() {
    if (!SendMessage(std::wstring(L"-GetApplicationName"))) {
        return;
    }
    std::wstring reply;
    if (!RecieveMessage(reply)) {
        return;
    }
    std::wstring::size_type blank = reply.find(L' ');
    if (blank != std::wstring::npos) {
        std::lock_guard<std::mutex> lock(mServerTextLock);
        mServerApplicationName = reply.substr(blank);
    }
}

bool NetworkNodeClient::DataStreamEnded() const {
    if (!mStreamsInitialized) {
        return false;
    }
    const NodeConnectionClient* streams[] = {&mStreamSE, &mStreamST, &mStreamTT,
                                             &mStreamCSC, &mStreamVT, &mStreamEV};
    for (const NodeConnectionClient* stream : streams) {
        if (stream->StreamEnded()) {
            return true;
        }
    }
    return false;
}

std::wstring NetworkNodeClient::GetServerPCName() const {
    std::lock_guard<std::mutex> lock(mServerTextLock);
    return mServerPCName;
}

std::wstring NetworkNodeClient::GetServerIPAddress() const {
    std::lock_guard<std::mutex> lock(mServerTextLock);
    return mServerIPAddress;
}

std::wstring NetworkNodeClient::GetServerApplicationName() const {
    std::lock_guard<std::mutex> lock(mServerTextLock);
    return mServerApplicationName;
}

std::wstring NetworkNodeClient::GetMyIPAddress() {
    std::string host;
    if (!platform::ComputerName(host)) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::GetMyIPAddress() - Failed to get the hostname for this PC.");
        return {};
    }
    std::vector<sockaddr_in> addresses;
    if (GetHostInfo(addresses, Widen(host)) != 0) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::GetMyIPAddress() - Failed to get the IP address for this "
                            L"PC (hostname: " +
                                Widen(host) + L" ).");
        return {};
    }
    return Widen(platform::DottedQuad(addresses.front()));
}

bool NetworkNodeClient::SendMessage(const char* bytes, int length) {
    if (!mIsConnected || length < 0) {
        return false;
    }
    const long total = static_cast<long>(length) + static_cast<long>(protocol::kFrameOverhead);
    std::vector<unsigned char> message;
    try {
        message = protocol::BuildMessage(bytes, length);
    } catch (const std::bad_alloc&) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::SendMessage() - Error allocating memory to passed message "
                            L"to server, pointer returned a NULL value.  bufferLength: " +
                                std::to_wstring(total));
        return false;
    }
    long sent = mSocket.Send(message.data(), message.size());
    if (sent < 0) {
        ProcessSendError(platform::LastSocketError());
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::SendMessage() - Unable to send data, call to send() "
                            L"failed, we must have lost our socket.  message: " +
                                Widen(bytes != nullptr ? std::string(bytes, static_cast<size_t>(length)) : std::string()));
        ShutdownClient();
        return false;
    }
    if (sent < total) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::SendMessage() - The Number of bytes to send does not "
                            L"match the number of bytes sent, bytes sent: " +
                                std::to_wstring(sent) + L", bytes to send: " + std::to_wstring(total));
        return false;
    }
    return true;
}

bool NetworkNodeClient::SendMessage(const std::wstring& text) {
    if (!mIsConnected) {
        return false;
    }
    std::string bytes;
    if (!platform::WideToLatin1(text, bytes)) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::SendMessage(wstring) could not convert wstring to "
                            L"multi-byte characters.");
        return false;
    }
    bytes.push_back('\0');
    return SendMessage(bytes.data(), static_cast<int>(bytes.size()));
}

// A body that did not arrive whole is handed back as the bytes that did, so
// that nothing uninitialised reaches the caller.
void NetworkNodeClient::KeepReceived(std::unique_ptr<char[]>& buffer, int received) {
    std::unique_ptr<char[]> kept(new (std::nothrow) char[static_cast<size_t>(std::max(received, 1))]());
    if (kept && received > 0) {
        std::memcpy(kept.get(), buffer.get(), static_cast<size_t>(received));
    }
    buffer = std::move(kept);
}

bool NetworkNodeClient::GetBuffer(char* buffer, int bufferSize) {
    int received = 0;
    return ReceiveInto(buffer, bufferSize, received);
}

bool NetworkNodeClient::ReceiveInto(char* buffer, int bufferSize, int& received) {
    received = 0;
    while (received < bufferSize) {
        long n = mSocket.Recv(buffer + received, static_cast<size_t>(bufferSize - received));
        if (n == 0) {
            mLogFile.WriteEntry(ClientLogFile::NOTICE,
                                L"NetworkNodeClient::GetBuffer() - Attempting to receive data has failed, "
                                L"socket has been closed gracefully");
            ShutdownClient();
            return false;
        }
        if (n < 0) {
            int code = platform::LastSocketError();
            ProcessRecieveError(code);
            // After a time-out the rest of the reply may still come and would
            // be taken for the next command's.
            if (code == platform::kWsaEtimedout) {
                ShutdownClient();
            }
            return false;
        }
        received += static_cast<int>(n);
    }
    return true;
}

bool NetworkNodeClient::ReceivePreHeader() {
    unsigned char preHeader[protocol::kPreHeaderSize];
    if (!GetBuffer(reinterpret_cast<char*>(preHeader), sizeof preHeader)) {
        return false;
    }
    int32_t version = 0;
    // No message box in the library: the refusal goes to the log.
    switch (protocol::CheckPreHeader(preHeader, version)) {
    case protocol::PreHeaderCheck::Accepted:
        return true;
    case protocol::PreHeaderCheck::VersionTooLow:
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"Error, invalid version number, data has been corrupted or improperly formatted");
        return false;
    case protocol::PreHeaderCheck::VersionTooHigh:
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"Error, this Version of Kestova Network Communication is not Supported, please "
                            L"update to the latest version of the software.  Version #" +
                                std::to_wstring(version));
        return false;
    case protocol::PreHeaderCheck::BadValidationCode:
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"Error, invalid validation code, data has been corrupted or improperly formatted");
        return false;
    }
    return false;
}

bool NetworkNodeClient::ReceiveSize(int& size) {
    unsigned char header[protocol::kHeaderSize];
    if (!GetBuffer(reinterpret_cast<char*>(header), sizeof header)) {
        return false;
    }
    int32_t messageSize = static_cast<int32_t>(protocol::ReadLE32(header));
    protocol::SizeCheck check = protocol::CheckMessageSize(messageSize, protocol::kMaxReplyBodySize);
    if (check == protocol::SizeCheck::Accepted) {
        size = messageSize;
        return true;
    }
    mLogFile.WriteEntry(ClientLogFile::ERROR,
                        L"NetworkNodeClient::RecieveMessage() - Invalid message size for receiving message, "
                        L"messageSize: " +
                            std::to_wstring(messageSize));
    if (check == protocol::SizeCheck::TooLarge) {
        // The body is never read, so nothing on this connection can be
        // trusted to start a message any more.
        ShutdownClient();
    }
    return false;
}

bool NetworkNodeClient::RecieveMessage(std::unique_ptr<char[]>& buffer, int& size) {
    if (!mIsConnected) {
        return false;
    }
    int messageSize = 0;
    if (!ReceivePreHeader() || !ReceiveSize(messageSize)) {
        return false;
    }
    buffer.reset();
    // Not zeroed: the pages of a large body are touched only as its bytes
    // arrive, so a size the server never fills costs no memory.
    buffer.reset(new (std::nothrow) char[static_cast<size_t>(messageSize)]);
    if (!buffer) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::RecieveMessage() - Error allocating memory for receiving a "
                            L"message, point returned a NULL");
        return false;
    }
    int received = 0;
    if (!ReceiveInto(buffer.get(), messageSize, received)) {
        KeepReceived(buffer, received);
        return false;
    }
    size = messageSize;
    return true;
}

bool NetworkNodeClient::RecieveMessage(std::wstring& text) {
    std::unique_ptr<char[]> buffer;
    int size = 0;
    if (!RecieveMessage(buffer, size)) {
        text = L"-1";
        return false;
    }
    if (std::memchr(buffer.get(), '\0', static_cast<size_t>(size)) == nullptr) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::RecieveMessage(wstring) could not convert multi-byte reply "
                            L"to wide characters.");
        return false;
    }
    text = platform::Latin1ToWide(std::string_view(buffer.get(), static_cast<size_t>(size)));
    return true;
}

bool NetworkNodeClient::ShutdownClient() {
    const std::wstring op = L"NetworkNodeClient::ShutdownClient() - ";
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Attempting to Shutdown Message Client");
    if (!mIsConnected) {
        mLogFile.WriteEntry(ClientLogFile::WARNING,
                            op + L"Unable to Close Message Client, Client has not yet been initialized");
        return false;
    }
    if (mStreamsInitialized) {
        CloseAllStreams();
        if (!mIsConnected) {
            // A "-CloseStream" exchange lost the connection and a nested
            // shutdown has already closed the socket.
            return true;
        }
    }
    mStreamsInitialized = false;
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Attempting to Close Message Client Socket");
    if (!mSocket.Close()) {
        ProcessCloseError(platform::LastSocketError());
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"Unable to Close Message Client Socket");
        return false;
    }
    mLogFile.WriteEntry(ClientLogFile::NOTICE, op + L"Attempt to Close Message Client Socket was successful");
    {
        std::lock_guard<std::mutex> lock(mServerTextLock);
        mServerIPAddress = kNotConnected;
        mServerPCName = kNotConnected;
        mServerApplicationName = kNotConnected;
    }
    mIsConnected = false;
    return true;
}

void NetworkNodeClient::CloseAllStreams() {
    // A copy: a nested shutdown may run while the names are walked.
    const std::vector<std::wstring> names = mObjectNames;
    for (const std::wstring& name : names) {
        CloseStream(name);
    }
    for (NodeConnectionClient* stream : {static_cast<NodeConnectionClient*>(&mStreamSE),
                                         static_cast<NodeConnectionClient*>(&mStreamST),
                                         static_cast<NodeConnectionClient*>(&mStreamTT),
                                         static_cast<NodeConnectionClient*>(&mStreamCSC),
                                         static_cast<NodeConnectionClient*>(&mStreamVT),
                                         static_cast<NodeConnectionClient*>(&mStreamEV)}) {
        stream->CloseServerStream();
    }
}

bool NetworkNodeClient::ReceiveCommandReply(int& replyCode, std::vector<std::wstring>& arguments) {
    replyCode = -1;
    arguments.clear();
    std::wstring reply;
    if (!RecieveMessage(reply)) {
        return false;
    }
    CommandProcessor parser(&mLogFile);
    if (!parser.ParseCommandString(reply, arguments)) {
        return false;
    }
    if (!arguments.empty()) {
        LeadingInteger(arguments.front(), replyCode);
        arguments.erase(arguments.begin());
    }
    return true;
}

int NetworkNodeClient::InitializeConnectionNodes() {
    const struct {
        NodeConnectionClient* stream;
        const wchar_t* typeName;
    } order[] = {{&mStreamSE, L"SEScAcqEnt"}, {&mStreamST, L"STScAcqEnt"}, {&mStreamTT, L"TTScAcqEnt"},
                 {&mStreamCSC, L"CscAcqEnt"}, {&mStreamVT, L"VTAcqEnt"},   {&mStreamEV, L"EventAcqEnt"}};
    for (const auto& entry : order) {
        if (!SetUpStream(*entry.stream, entry.typeName)) {
            mLogFile.WriteEntry(ClientLogFile::ERROR,
                                L"NetworkNodeClient::InitializeConnectionNodes() - call to get next port number "
                                L"failed, unable to initialize server streams.");
            return -1;
        }
    }
    mStreamsInitialized = true;
    return 0;
}

bool NetworkNodeClient::SetUpStream(NodeConnectionClient& stream, const wchar_t* typeName) {
    std::wstring reply;
    SendMessage(std::wstring(L"-GetNextAvailablePortNumber"));
    RecieveMessage(reply);
    std::wistringstream in(reply);
    int status = -1;
    int port = 0;
    if (!(in >> status >> port) || status != 0) {
        return false;
    }
    // A stream that cannot listen is still announced; its own log lines say why.
    stream.InitServerStream(port);
    SendMessage(L"-CreateStream " + mLocalIPAddress + L" " + std::to_wstring(port) + L" " + typeName);
    RecieveMessage(reply);
    return true;
}

bool NetworkNodeClient::RefreshObjectList(std::vector<std::wstring>& names, std::vector<std::wstring>& types) {
    mObjectNames.clear();
    mObjectTypes.clear();
    if (!FetchList(L"-GetZorlentObjects", names, mObjectNames) ||
        !FetchList(L"-GetZorlentTypes", types, mObjectTypes)) {
        return false;
    }
    mStreamSE.UpdateObjectNames(mObjectNames, mObjectTypes);
    mStreamST.UpdateObjectNames(mObjectNames, mObjectTypes);
    mStreamTT.UpdateObjectNames(mObjectNames, mObjectTypes);
    mStreamCSC.UpdateObjectNames(mObjectNames, mObjectTypes);
    mStreamVT.UpdateObjectNames(mObjectNames, mObjectTypes);
    mStreamEV.UpdateObjectNames(mObjectNames, mObjectTypes);
    return true;
}

bool NetworkNodeClient::FetchList(const wchar_t* command, std::vector<std::wstring>& list,
                                  std::vector<std::wstring>& cache) {
    std::wstring reply;
    if (!SendMessage(std::wstring(command)) || !RecieveMessage(reply)) {
        return false;
    }
    int status = -1;
    if (!LeadingInteger(reply, status) || status != 0) {
        return false;
    }
    std::wstring::size_type blank = reply.find(L' ');
    if (blank == std::wstring::npos) {
        return false;
    }
    // From the blank on, so that a quoted first name is recognised.
    const std::wstring words = reply.substr(blank);
    CommandProcessor parser(&mLogFile);
    return parser.ParseCommandString(words, list) && parser.ParseCommandString(words, cache);
}

NodeConnectionClient* NetworkNodeClient::StreamForType(const std::wstring& typeName) {
    if (typeName == L"SEScAcqEnt") {
        return &mStreamSE;
    }
    if (typeName == L"STScAcqEnt") {
        return &mStreamST;
    }
    if (typeName == L"TTScAcqEnt") {
        return &mStreamTT;
    }
    if (typeName == L"CscAcqEnt") {
        return &mStreamCSC;
    }
    if (typeName == L"EventAcqEnt") {
        return &mStreamEV;
    }
    if (typeName == L"VTAcqEnt") {
        return &mStreamVT;
    }
    return nullptr;
}

int NetworkNodeClient::FindObject(const std::wstring& objectName) const {
    for (size_t i = 0; i < mObjectNames.size(); ++i) {
        if (mObjectNames[i] == objectName) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool NetworkNodeClient::OpenStream(const std::wstring& objectName) {
    const std::wstring op = L"NetworkNodeClient::OpenStream() - Error, ";
    if (!mIsConnected) {
        return false;
    }
    int index = FindObject(objectName);
    if (index < 0) {
        if (!RefreshObjectList(mObjectNames, mObjectTypes)) {
            mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"invalid parameter, failed to refresh object list. "
                                                           L"The object " +
                                                           objectName + L" was not in the cached list.");
            return false;
        }
        index = FindObject(objectName);
        if (index < 0) {
            mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"invalid parameter, unrecognized object name and "
                                                           L"data type pairing.  objectName: " +
                                                           objectName);
            return false;
        }
    }
    if (static_cast<size_t>(index) >= mObjectTypes.size()) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"found object index was outside the range of available "
                                                       L"objects. objectIndex: " +
                                                       std::to_wstring(index));
        return false;
    }
    const std::wstring typeName = mObjectTypes[static_cast<size_t>(index)];
    NodeConnectionClient* stream = StreamForType(typeName);
    if (stream == nullptr) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            op + L"invalid parameter, unrecognized data type.  dataType: " + typeName);
        return false;
    }
    stream->AddStreamObject(objectName);
    std::wstring reply;
    SendMessage(L"-OpenStream " + objectName + L" " + typeName);
    RecieveMessage(reply);
    if (AcceptedReply(reply)) {
        return true;
    }
    if (RefreshObjectList(mObjectNames, mObjectTypes)) {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"failed to open stream for " + objectName +
                                                       L". Either the object no longer exists or an error has "
                                                       L"occurred");
    } else {
        mLogFile.WriteEntry(ClientLogFile::ERROR, op + L"invalid parameter, failed to refresh object list. "
                                                       L"Failed to open stream for " +
                                                       objectName +
                                                       L". Either the object no longer exists or an error has "
                                                       L"occurred");
    }
    return false;
}

bool NetworkNodeClient::CloseStream(const std::wstring& objectName) {
    const int index = FindObject(objectName);
    if (index < 0 || static_cast<size_t>(index) >= mObjectTypes.size()) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::CloseStream() - Error, found object index was outside the range "
                            L"of available objects. objectIndex: " +
                                std::to_wstring(index));
        return false;
    }
    const std::wstring typeName = mObjectTypes[static_cast<size_t>(index)];
    NodeConnectionClient* stream = StreamForType(typeName);
    if (stream == nullptr) {
        mLogFile.WriteEntry(ClientLogFile::ERROR,
                            L"NetworkNodeClient::CloseStream() - Error, invalid parameter, unrecognized data type.  "
                            L"dataType: " +
                                typeName);
        return false;
    }
    if (!stream->RemoveStreamObject(objectName)) {
        return false;
    }
    std::wstring reply;
    SendMessage(L"-CloseStream " + objectName + L" " + typeName);
    RecieveMessage(reply);
    if (AcceptedReply(reply)) {
        return true;
    }
    mLogFile.WriteEntry(ClientLogFile::ERROR, L"NetworkNodeClient::Close() - Error, failed to close stream for " +
                                                  objectName +
                                                  L". Either the object no longer exists or an error has occurred.");
    return false;
}

}  // namespace Plenvar

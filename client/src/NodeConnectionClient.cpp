#include "NodeConnectionClient.h"

#include "StreamSocketErrors.h"

#include "platform/Socket.h"
#include "platform/SocketError.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <new>

namespace Plenvar {

// Everything the receiving thread touches. The thread holds its own
// reference, so a thread let go by CloseServerStream never uses freed memory.
struct NodeConnectionClient::StreamState {
    explicit StreamState(NodeConnectionClient* streamOwner) : owner(streamOwner) {}

    // Held while the thread uses owner (and through it the log); stopped is
    // set under it, after which owner is never used again.
    std::mutex lifeLock;
    NodeConnectionClient* const owner;
    std::atomic<bool> stopped{false};
    // The serving side's connection came and has gone again.
    std::atomic<bool> ended{false};

    platform::Socket listenSocket;
    platform::Socket dataSocket;
    std::vector<unsigned char> buffer;
    Delivery delivery;
};

namespace {
constexpr std::chrono::milliseconds kStopWait{500};
}

NodeConnectionClient::NodeConnectionClient(ClientLogFile* logFile, int recordSize, const wchar_t* streamType)
    : mRecordSize(recordSize), mStreamType(streamType), mLogFile(logFile) {}

NodeConnectionClient::~NodeConnectionClient() { CloseServerStream(); }

void NodeConnectionClient::UpdateObjectNames(const std::vector<std::wstring>&, const std::vector<std::wstring>&) {}

void NodeConnectionClient::WriteLog(unsigned int level, const std::wstring& message) const {
    if (mLogFile != nullptr) {
        mLogFile->WriteEntry(level, message);
    }
}

template <class F>
bool NodeConnectionClient::WithOwner(StreamState& state, F&& f) {
    std::lock_guard<std::mutex> lock(state.lifeLock);
    if (state.stopped.load()) {
        return false;
    }
    f(*state.owner);
    return true;
}

// ---- start-up ----

bool NodeConnectionClient::InitServerStream(int port) {
    if (mState) {
        // A stream that still listens is stopped before it is started anew.
        CloseServerStream();
    }
    mState = std::make_shared<StreamState>(this);
    StreamState& state = *mState;
    if (!CreateSocket(state) || !BindSocket(state, port) || !ListenToSocket(state) || !CreateRecieveBuffer(state)) {
        return false;
    }
    mPortNumber = port;
    return StartThread(true);
}

bool NodeConnectionClient::StartOnConnection(platform::Socket connected) {
    if (mState) {
        CloseServerStream();
    }
    mState = std::make_shared<StreamState>(this);
    mState->dataSocket = std::move(connected);
    if (!CreateRecieveBuffer(*mState)) {
        return false;
    }
    mPortNumber = 0;
    return StartThread(false);
}

bool NodeConnectionClient::CreateSocket(StreamState& state) {
    state.listenSocket = platform::Socket::CreateTcp();
    if (!state.listenSocket.IsValid()) {
        WriteLog(ClientLogFile::ERROR, StreamSocketErrorLine(StreamSocketCall::CreateSocket,
                                                             platform::LastSocketError(), mStreamType));
        return false;
    }
    return true;
}

bool NodeConnectionClient::BindSocket(StreamState& state, int port) {
    // The server may hand out the port of a stream that closed moments ago,
    // whose connection still lingers in TIME_WAIT.
    state.listenSocket.SetReuseAddress(true);
    if (!state.listenSocket.Bind(0, static_cast<uint16_t>(port))) {
        WriteLog(ClientLogFile::ERROR,
                 StreamSocketErrorLine(StreamSocketCall::BindSocket, platform::LastSocketError(), mStreamType));
        return false;
    }
    return true;
}

bool NodeConnectionClient::ListenToSocket(StreamState& state) {
    if (!state.listenSocket.Listen(2)) {
        WriteLog(ClientLogFile::ERROR, StreamSocketErrorLine(StreamSocketCall::ListenToSocket,
                                                             platform::LastSocketError(), mStreamType));
        return false;
    }
    return true;
}

bool NodeConnectionClient::CreateRecieveBuffer(StreamState& state) {
    mRecvBufferSize = mRecordSize;
    try {
        state.buffer.assign(static_cast<size_t>(mRecvBufferSize), 0);
    } catch (const std::bad_alloc&) {
        WriteLog(ClientLogFile::ERROR,
                 L"NodeConnectionClient::CreateRecieveBuffer() - Error memory allocating failed, a null value was "
                 L"returned.  mRecvBufferSize: " +
                     std::to_wstring(mRecvBufferSize) + L", mStreamType: " + mStreamType);
        return false;
    }
    return true;
}

bool NodeConnectionClient::StartThread(bool acceptFirst) {
    std::shared_ptr<StreamState> state = mState;
    if (!mDmaProcessor.Start([state, acceptFirst] { StreamThread(state, acceptFirst); }, true)) {
        WriteLog(ClientLogFile::ERROR,
                 L"NodeConnectionClient::InitServerStream() - Error, unable to create message processing thread.  "
                 L"mStreamType: " +
                     mStreamType);
        return false;
    }
    return true;
}

// ---- the receiving thread ----

void NodeConnectionClient::StreamThread(const std::shared_ptr<StreamState>& state, bool acceptFirst) {
    if (acceptFirst && !AcceptClientSocket(*state)) {
        return;
    }
    while (RecieveData(*state)) {
    }
    state->ended = true;
}

bool NodeConnectionClient::StreamEnded() const {
    return mState && mState->ended.load() && !mState->stopped.load();
}

bool NodeConnectionClient::AcceptClientSocket(StreamState& state) {
    platform::Socket accepted = state.listenSocket.Accept();
    if (!accepted.IsValid()) {
        int code = platform::LastSocketError();
        WithOwner(state, [code](NodeConnectionClient& owner) {
            owner.WriteLog(ClientLogFile::ERROR,
                           StreamSocketErrorLine(StreamSocketCall::AcceptClientSocket, code, owner.mStreamType));
        });
        return false;
    }
    state.dataSocket = std::move(accepted);
    // A stop that came just before the socket was stored could not shut it down.
    return !state.stopped.load();
}

bool NodeConnectionClient::ReceiveRecord(StreamState& state) {
    std::fill(state.buffer.begin(), state.buffer.end(), 0);
    size_t have = 0;
    while (have < state.buffer.size()) {
        long n = state.dataSocket.Recv(state.buffer.data() + have, state.buffer.size() - have);
        if (n == 0) {
            WithOwner(state, [](NodeConnectionClient& owner) {
                owner.WriteLog(ClientLogFile::NOTICE,
                               L"NodeConnectionClient::RecieveData() - Attempt to recieve data has failed, socket "
                               L"has been closed gracefully.  mStreamType: " +
                                   owner.mStreamType);
            });
            return false;
        }
        if (n < 0) {
            int code = platform::LastSocketError();
            WithOwner(state, [code](NodeConnectionClient& owner) { owner.ProcessRecieveError(code); });
            return false;
        }
        have += static_cast<size_t>(n);
    }
    return true;
}

bool NodeConnectionClient::RecieveData(StreamState& state) {
    if (!ReceiveRecord(state)) {
        return false;
    }
    bool deliver = false;
    bool running = WithOwner(state, [&state, &deliver](NodeConnectionClient& owner) {
        deliver = owner.ExecuteCallback(state.buffer.data(), state.delivery);
    });
    if (!running) {
        return false;
    }
    // Outside every lock: the application may take as long as it likes.
    if (deliver) {
        state.delivery.call(state.buffer.data(), state.delivery.objectName.c_str());
    }
    return true;
}

void NodeConnectionClient::ProcessRecieveError(int errorCode) {
    WriteLog(ClientLogFile::ERROR, StreamSocketErrorLine(StreamSocketCall::ProcessRecieveError, errorCode, mStreamType));
}

// ---- record naming ----

bool NodeConnectionClient::SelectObjectName(uint32_t index, const wchar_t* badIndexMessage, Delivery& delivery) {
    if (index < mChannelObjectNames.size()) {
        delivery.objectName.assign(mChannelObjectNames[index]);
        return true;
    }
    WriteLog(ClientLogFile::ERROR, badIndexMessage + std::to_wstring(index));
    return false;
}

void NodeConnectionClient::KeepObjectNames(const std::vector<std::wstring>& names,
                                           const std::vector<std::wstring>& types,
                                           bool (*keepType)(const std::wstring& type)) {
    std::lock_guard<std::mutex> lock(mLock);
    mChannelObjectNames.clear();
    for (size_t i = 0; i < names.size() && i < types.size(); ++i) {
        if (keepType(types[i])) {
            mChannelObjectNames.push_back(names[i]);
        }
    }
}

std::vector<std::wstring> NodeConnectionClient::ChannelObjectNames() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mChannelObjectNames;
}

// ---- open counts ----

bool NodeConnectionClient::AddStreamObject(const std::wstring& objectName) {
    WriteLog(ClientLogFile::NOTICE,
             L"NodeConnectionClient::AddStreamObject() - Notice, Attempting to add object to our stream list, "
             L"objectName: " +
                 objectName + L", mStreamType " + mStreamType + L".");
    std::lock_guard<std::mutex> lock(mObjectsLock);
    auto it = std::find(mStreamObjects.begin(), mStreamObjects.end(), objectName);
    if (it == mStreamObjects.end()) {
        mStreamObjects.push_back(objectName);
        mStreamObjectCounts.push_back(1);
        WriteLog(ClientLogFile::NOTICE,
                 L"NodeConnectionClient::AddStreamObject() - Notice, Attempt to add stream object to our list was "
                 L"successful.  objectName: " +
                     objectName + L", mStreamType " + mStreamType + L".");
        return true;
    }
    int& count = mStreamObjectCounts[static_cast<size_t>(it - mStreamObjects.begin())];
    ++count;
    WriteLog(ClientLogFile::NOTICE,
             L"NodeConnectionClient::AddStreamObject() - Notice, Stream Object is already in our list, count has "
             L"been incremented.  count: " +
                 std::to_wstring(count) + L", mStreamType " + mStreamType + L".");
    return true;
}

bool NodeConnectionClient::RemoveStreamObject(const std::wstring& objectName) {
    WriteLog(ClientLogFile::NOTICE,
             L"NodeConnectionClient::RemoveStreamObject() - Notice, Attempting to remove object from our stream "
             L"list, objectName: " +
                 objectName + L", mStreamType " + mStreamType + L".");
    std::lock_guard<std::mutex> lock(mObjectsLock);
    auto it = std::find(mStreamObjects.begin(), mStreamObjects.end(), objectName);
    if (it == mStreamObjects.end()) {
        WriteLog(ClientLogFile::ERROR,
                 L"NodeConnectionClient::RemoveStreamObject() - Error, Attempt to remove object from our list "
                 L"failed, the object was not found.  objectName: " +
                     objectName + L", mStreamType " + mStreamType + L".");
        return false;
    }
    size_t position = static_cast<size_t>(it - mStreamObjects.begin());
    int count = --mStreamObjectCounts[position];
    WriteLog(ClientLogFile::NOTICE,
             L"NodeConnectionClient::RemoveStreamObject() - Notice, Stream Object count has been decremented.  "
             L"count: " +
                 std::to_wstring(count) + L", mStreamType " + mStreamType + L".");
    if (count > 0) {
        return false;
    }
    mStreamObjects.erase(it);
    mStreamObjectCounts.erase(mStreamObjectCounts.begin() + static_cast<std::ptrdiff_t>(position));
    WriteLog(ClientLogFile::NOTICE,
             L"NodeConnectionClient::RemoveStreamObject() - Notice, Stream Object count was zero, therefore object "
             L"has been removed.  objectName: " +
                 objectName + L", mStreamType " + mStreamType + L".");
    return true;
}

int NodeConnectionClient::StreamObjectCount(const std::wstring& objectName) const {
    std::lock_guard<std::mutex> lock(mObjectsLock);
    auto it = std::find(mStreamObjects.begin(), mStreamObjects.end(), objectName);
    return it == mStreamObjects.end() ? 0 : mStreamObjectCounts[static_cast<size_t>(it - mStreamObjects.begin())];
}

std::vector<std::wstring> NodeConnectionClient::StreamObjects() const {
    std::lock_guard<std::mutex> lock(mObjectsLock);
    return mStreamObjects;
}

// ---- shutdown ----

void NodeConnectionClient::CloseServerStream() {
    std::shared_ptr<StreamState> state = std::move(mState);
    if (!state) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(state->lifeLock);
        state->stopped = true;
    }
    // Blocked accept and recv return at once; the peer sees the end.
    state->listenSocket.ShutdownBoth();
    state->dataSocket.ShutdownBoth();
    bool ended = true;
    if (mDmaProcessor.Attached()) {
        WriteLog(ClientLogFile::NOTICE,
                 L"NodeConnectionClient::CloseServerStream() - mDmaProcessor thread has been terminated successfully.");
        ended = mDmaProcessor.WaitFor(kStopWait);
        WriteLog(ClientLogFile::NOTICE,
                 L"NodeConnectionClient::CloseServerStream() - WaitForSingleObject for mDmaProcessor thread "
                 L"completed successfully.");
    }
    // A thread still inside the application's callback owns the sockets
    // (already shut down) and closes them when it ends; closing them here
    // could hand their descriptors to a new socket under its feet.
    if (ended) {
        CloseSockets(*state);
    }
}

void NodeConnectionClient::CloseSockets(StreamState& state) {
    if (state.listenSocket.IsValid() && !state.listenSocket.Close()) {
        ProcessCloseError(platform::LastSocketError());
    }
    if (state.dataSocket.IsValid() && !state.dataSocket.Close()) {
        ProcessCloseError(platform::LastSocketError());
    }
}

void NodeConnectionClient::ProcessCloseError(int errorCode) {
    WriteLog(ClientLogFile::ERROR, StreamSocketErrorLine(StreamSocketCall::ProcessCloseError, errorCode, mStreamType));
}

}  // namespace Plenvar

#pragma once
// One data stream of the client: listens for the serving side's connection,
// receives whole records of one type on its own thread (mDmaProcessor),
// names each record from the object list and hands it to the application.
//
// Stopping is bounded: CloseServerStream shuts the sockets down and waits at
// most 500 ms. A receiving thread still inside the application's callback
// after that finishes on its own; everything it still uses lives in a shared
// StreamState, and it reaches this object or the log only under that state's
// lock after checking that the stream has not been stopped.

#include "ClientLogFile.h"

#include "platform/BoundedThread.h"
#include "platform/Socket.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Plenvar {

class NodeConnectionClient {
public:
    virtual ~NodeConnectionClient();
    NodeConnectionClient(const NodeConnectionClient&) = delete;
    NodeConnectionClient& operator=(const NodeConnectionClient&) = delete;

    // Keeps the names whose type the stream's records are numbered in.
    virtual void UpdateObjectNames(const std::vector<std::wstring>& names,
                                   const std::vector<std::wstring>& types);

    // Listens on 0.0.0.0:port and starts the receiving thread.
    bool InitServerStream(int port);
    // Starts the receiving thread on a data connection that is already open
    // (for example one end of a local socket pair) instead of listening.
    bool StartOnConnection(platform::Socket connected);
    // Always true.
    bool AddStreamObject(const std::wstring& objectName);
    // True only when the object's count reached 0 and it was removed.
    bool RemoveStreamObject(const std::wstring& objectName);
    // Stops the receiving thread (at most 500 ms) and closes the sockets.
    void CloseServerStream();
    // True when the serving side's connection was accepted and has ended
    // since (closed or failed): no more records arrive until the stream is
    // started again.
    bool StreamEnded() const;

    int PortNumber() const { return mPortNumber; }
    int RecordSize() const { return mRecordSize; }
    const std::wstring& StreamType() const { return mStreamType; }
    // How many times the object is open on this stream (0: not listed).
    int StreamObjectCount(const std::wstring& objectName) const;
    std::vector<std::wstring> StreamObjects() const;
    std::vector<std::wstring> ChannelObjectNames() const;

protected:
    NodeConnectionClient(ClientLogFile* logFile, int recordSize, const wchar_t* streamType);

    // What the receiving thread calls, outside every lock, for one record.
    struct Delivery {
        std::function<void(unsigned char* record, const wchar_t* objectName)> call;
        std::wstring objectName;
    };

    // Runs on the receiving thread with one whole record in hand. Fills
    // delivery (callback, context and the record's object name, taken as one
    // under mLock) and returns true when the record is to be delivered.
    virtual bool ExecuteCallback(const unsigned char* record, Delivery& delivery) = 0;

    // For ExecuteCallback, under mLock: the name at index, or the bad-index
    // ERROR line (message + index) and false.
    bool SelectObjectName(uint32_t index, const wchar_t* badIndexMessage, Delivery& delivery);
    // For UpdateObjectNames: keeps, in order, the names whose type passes.
    void KeepObjectNames(const std::vector<std::wstring>& names, const std::vector<std::wstring>& types,
                         bool (*keepType)(const std::wstring& type));

    template <class Rec>
    static void BindCallback(Delivery& delivery, void (*callback)(void*, Rec*, int, const wchar_t*),
                             void* context) {
        delivery.call = [callback, context](unsigned char* record, const wchar_t* name) {
            callback(context, reinterpret_cast<Rec*>(record), 1, name);
        };
    }

    void WriteLog(unsigned int level, const std::wstring& message) const;

    const int mRecordSize;
    const std::wstring mStreamType;
    ClientLogFile* const mLogFile;
    // Guards mChannelObjectNames and the subclass's callback pair.
    mutable std::mutex mLock;
    std::vector<std::wstring> mChannelObjectNames;

private:
    struct StreamState;

    bool CreateSocket(StreamState& state);
    bool BindSocket(StreamState& state, int port);
    bool ListenToSocket(StreamState& state);
    bool CreateRecieveBuffer(StreamState& state);
    bool StartThread(bool acceptFirst);
    void CloseSockets(StreamState& state);
    void ProcessCloseError(int errorCode);

    static void StreamThread(const std::shared_ptr<StreamState>& state, bool acceptFirst);
    static bool AcceptClientSocket(StreamState& state);
    static bool RecieveData(StreamState& state);
    static bool ReceiveRecord(StreamState& state);
    void ProcessRecieveError(int errorCode);
    // Runs f(*owner) under the state lock unless the stream has been stopped.
    template <class F>
    static bool WithOwner(StreamState& state, F&& f);

    std::shared_ptr<StreamState> mState;
    int mPortNumber = 0;
    int mRecvBufferSize = 0;
    mutable std::mutex mObjectsLock;
    std::vector<std::wstring> mStreamObjects;
    std::vector<int> mStreamObjectCounts;
    platform::BoundedThread mDmaProcessor;
};

}  // namespace Plenvar

#pragma once
// One outgoing data connection: records of one type to one client, written
// from its own thread so that a client that stops reading holds up nobody
// else. A send that fails, comes back short or blocks for 2 s closes the
// connection, and so does a backlog the client cannot keep up with.

#include "platform/Socket.h"
#include "protocol/RecordTypes.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

class DataStream {
public:
    static constexpr int kSendTimeoutMs = 2000;
    static constexpr size_t kMaxBacklogBytes = 8 * 1024 * 1024;

    // socket: connected; sentRecords counts whole records written.
    DataStream(platform::Socket socket, const protocol::RecordTypeInfo& type,
               std::atomic<uint64_t>& sentRecords);
    // Closes the connection and waits for the writer.
    ~DataStream();
    DataStream(const DataStream&) = delete;
    DataStream& operator=(const DataStream&) = delete;

    bool Start();
    // Queues whole records; false once the connection is closed.
    bool Enqueue(const unsigned char* data, size_t size);
    bool IsOpen() const;
    // Makes the writer give up at once; the socket is released by the destructor.
    void Close();

private:
    void WriterLoop();

    platform::Socket mSocket;
    const protocol::RecordTypeInfo& mType;
    std::atomic<uint64_t>& mSentRecords;
    mutable std::mutex mMutex;
    std::condition_variable mWake;
    std::vector<unsigned char> mBacklog;
    bool mClosed = false;
    std::thread mWriter;
};

}  // namespace sim

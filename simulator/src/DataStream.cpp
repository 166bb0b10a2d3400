#include "DataStream.h"

namespace sim {

DataStream::DataStream(platform::Socket socket, const protocol::RecordTypeInfo& type,
                       std::atomic<uint64_t>& sentRecords)
    : mSocket(std::move(socket)), mType(type), mSentRecords(sentRecords) {}

DataStream::~DataStream() {
    Close();
    if (mWriter.joinable()) {
        mWriter.join();
    }
}

bool DataStream::Start() {
    if (!mSocket.SetSendTimeout(kSendTimeoutMs)) {
        return false;
    }
    mSocket.SetNoDelay(true);
    mWriter = std::thread([this] { WriterLoop(); });
    return true;
}

bool DataStream::Enqueue(const unsigned char* data, size_t size) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mClosed) {
        return false;
    }
    if (mBacklog.size() + size > kMaxBacklogBytes) {
        mClosed = true;
        mSocket.ShutdownBoth();
        mWake.notify_one();
        return false;
    }
    mBacklog.insert(mBacklog.end(), data, data + size);
    mWake.notify_one();
    return true;
}

bool DataStream::IsOpen() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return !mClosed;
}

void DataStream::Close() {
    std::lock_guard<std::mutex> lock(mMutex);
    mClosed = true;
    mSocket.ShutdownBoth();
    mWake.notify_one();
}

void DataStream::WriterLoop() {
    std::vector<unsigned char> sending;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mWake.wait(lock, [this] { return mClosed || !mBacklog.empty(); });
            if (mClosed) {
                return;
            }
            sending.clear();
            sending.swap(mBacklog);
        }
        long sent = mSocket.Send(sending.data(), sending.size());
        if (sent != static_cast<long>(sending.size())) {
            Close();
            return;
        }
        mSentRecords += sending.size() / static_cast<size_t>(mType.recordSize);
    }
}

}  // namespace sim

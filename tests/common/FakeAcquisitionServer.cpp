#include "FakeAcquisitionServer.h"

#include "platform/Resolve.h"
#include "protocol/Framing.h"

#include <arpa/inet.h>
#include <cstring>
#include <sstream>

namespace plenvar_test {

namespace {

constexpr uint32_t kLoopback = 0x7F000001;
// Long enough for each segment to leave as its own TCP segment.
constexpr auto kSegmentGap = std::chrono::milliseconds(5);

std::string FirstWord(const std::string& text) { return text.substr(0, text.find(' ')); }

std::string Quoted(const std::string& word) {
    return word.find(' ') == std::string::npos ? word : "\"" + word + "\"";
}

}  // namespace

Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Reply Reply::Text(const std::string& text) {
    Bytes body = ToBytes(text);
    body.push_back(0);
    return Body(body);
}

Reply Reply::Body(const Bytes& body) { return Reply{Kind::Frame, body}; }
Reply Reply::Raw(const Bytes& bytes) { return Reply{Kind::Raw, bytes}; }
Reply Reply::None() { return Reply{Kind::None, {}}; }
Reply Reply::CloseAfter(const Bytes& bytes) { return Reply{Kind::CloseAfter, bytes}; }

Reply Reply::CloseMidMessage(const std::string& text, size_t count) {
    Bytes frame = Frame(Text(text).bytes);
    frame.resize(std::min(count, frame.size()));
    return CloseAfter(frame);
}

Bytes Frame(const Bytes& body) {
    return protocol::BuildMessage(body.data(), static_cast<int32_t>(body.size()));
}

uint16_t EphemeralPort() {
    platform::Socket probe = platform::Socket::CreateTcp();
    sockaddr_in bound{};
    if (!probe.Bind(kLoopback, 0) || !probe.LocalAddress(bound)) {
        return 0;
    }
    return ntohs(bound.sin_port);
}

FakeAcquisitionServer::FakeAcquisitionServer(uint16_t port)
    : mPort(port), mDefaultReply(Reply::Text("0")) {}

FakeAcquisitionServer::~FakeAcquisitionServer() {
    {
        std::lock_guard<std::mutex> lock(mLock);
        mStopping = true;
        if (mClient) {
            mClient->ShutdownBoth();
        }
    }
    mListener.ShutdownBoth();
    if (mThread.joinable()) {
        mThread.join();
    }
}

bool FakeAcquisitionServer::Start(bool anyAddress) {
    mListener = platform::Socket::CreateTcp();
    int reuse = 1;
    ::setsockopt(mListener.Handle(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in bound{};
    if (!mListener.Bind(anyAddress ? 0 : kLoopback, mPort) || !mListener.Listen(8) ||
        !mListener.LocalAddress(bound)) {
        return false;
    }
    mPort = ntohs(bound.sin_port);
    mThread = std::thread([this] { Serve(); });
    return true;
}

void FakeAcquisitionServer::Serve() {
    for (;;) {
        auto client = std::make_shared<platform::Socket>(mListener.Accept());
        if (!client->IsValid()) {
            return;
        }
        client->SetNoDelay(true);
        {
            std::lock_guard<std::mutex> lock(mLock);
            if (mStopping) {
                return;
            }
            mClient = client;
            ++mConnections;
        }
        mChanged.notify_all();
        ServeClient(client);
        std::lock_guard<std::mutex> lock(mLock);
        if (mClient == client) {
            mClient.reset();
        }
    }
}

void FakeAcquisitionServer::ServeClient(const std::shared_ptr<platform::Socket>& client) {
    Bytes frame;
    while (ReadFrame(*client, frame)) {
        std::string text(reinterpret_cast<const char*>(frame.data() + protocol::kFrameOverhead),
                         frame.size() - protocol::kFrameOverhead);
        text = text.substr(0, text.find('\0'));
        {
            std::lock_guard<std::mutex> lock(mLock);
            mFrames.push_back(frame);
        }
        mChanged.notify_all();
        if (!SendReply(*client, Answer(text))) {
            return;
        }
    }
}

bool FakeAcquisitionServer::ReadFrame(platform::Socket& client, Bytes& frame) {
    auto readExactly = [&client](unsigned char* out, size_t count) { return client.RecvExact(out, count) == static_cast<long>(count); };
    frame.assign(protocol::kFrameOverhead, 0);
    if (!readExactly(frame.data(), frame.size())) {
        return false;
    }
    int32_t version = 0;
    int32_t size = static_cast<int32_t>(protocol::ReadLE32(frame.data() + protocol::kPreHeaderSize));
    if (protocol::CheckPreHeader(frame.data(), version) != protocol::PreHeaderCheck::Accepted ||
        protocol::CheckMessageSize(size, protocol::kMaxCommandBodySize) != protocol::SizeCheck::Accepted) {
        return false;
    }
    frame.resize(protocol::kFrameOverhead + static_cast<size_t>(size));
    return readExactly(frame.data() + protocol::kFrameOverhead, static_cast<size_t>(size));
}

Reply FakeAcquisitionServer::Answer(const std::string& text) {
    const std::string keyword = FirstWord(text);
    Reply reply;
    {
        std::lock_guard<std::mutex> lock(mLock);
        int n = ++mKeywordCounts[keyword];
        auto nth = mNthReplies.find({keyword, n});
        if (nth != mNthReplies.end()) {
            return nth->second;
        }
        auto scripted = mReplies.find(keyword);
        if (scripted != mReplies.end()) {
            return scripted->second;
        }
    }
    if (BuiltIn(keyword, text, reply)) {
        return reply;
    }
    std::lock_guard<std::mutex> lock(mLock);
    return mDefaultReply;
}

bool FakeAcquisitionServer::BuiltIn(const std::string& keyword, const std::string& text, Reply& reply) {
    if (keyword == "-GetApplicationName") {
        std::lock_guard<std::mutex> lock(mLock);
        reply = Reply::Text("0 " + mApplicationName);
    } else if (keyword == "-GetNextAvailablePortNumber") {
        reply = Reply::Text("0 " + std::to_string(EphemeralPort()));
    } else if (keyword == "-CreateStream") {
        reply = CreateStream(text);
    } else if (keyword == "-GetZorlentObjects" || keyword == "-GetZorlentTypes") {
        reply = Reply::Text("0" + ObjectList(keyword == "-GetZorlentTypes"));
    } else {
        return false;
    }
    return true;
}

Reply FakeAcquisitionServer::CreateStream(const std::string& text) {
    std::istringstream words(text);
    std::string keyword, address, type;
    int port = 0;
    words >> keyword >> address >> port >> type;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(port));
    auto data = std::make_shared<platform::Socket>(platform::Socket::CreateTcp());
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) == 1 && data->Connect(target, 2000)) {
        data->SetNoDelay(true);
        {
            std::lock_guard<std::mutex> lock(mLock);
            mDataStreams[type] = data;
        }
        mChanged.notify_all();
    }
    return Reply::Text("0");
}

std::string FakeAcquisitionServer::ObjectList(bool types) const {
    std::lock_guard<std::mutex> lock(mLock);
    std::string list;
    for (const auto& object : mObjects) {
        list += " " + Quoted(types ? object.second : object.first);
    }
    return list;
}

bool FakeAcquisitionServer::SendSegmented(platform::Socket& socket, const Bytes& bytes,
                                          const std::vector<size_t>& sizes) {
    size_t offset = 0;
    size_t which = 0;
    while (offset < bytes.size()) {
        size_t count = bytes.size() - offset;
        if (!sizes.empty()) {
            count = std::min(count, std::max<size_t>(1, sizes[which++ % sizes.size()]));
        }
        size_t sent = 0;
        while (sent < count) {
            long n = socket.Send(bytes.data() + offset + sent, count - sent);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<size_t>(n);
        }
        offset += count;
        if (offset < bytes.size() && !sizes.empty()) {
            std::this_thread::sleep_for(kSegmentGap);
        }
    }
    return true;
}

bool FakeAcquisitionServer::SendReply(platform::Socket& client, const Reply& reply) {
    std::vector<size_t> sizes;
    {
        std::lock_guard<std::mutex> lock(mLock);
        sizes = mSegmentSizes;
    }
    switch (reply.kind) {
    case Reply::Kind::None:
        return true;
    case Reply::Kind::Frame:
        return SendSegmented(client, Frame(reply.bytes), sizes);
    case Reply::Kind::Raw:
        return SendSegmented(client, reply.bytes, sizes);
    case Reply::Kind::CloseAfter:
        SendSegmented(client, reply.bytes, sizes);
        client.ShutdownBoth();
        return false;
    }
    return false;
}

void FakeAcquisitionServer::SetReply(const std::string& keyword, const Reply& reply) {
    std::lock_guard<std::mutex> lock(mLock);
    mReplies[keyword] = reply;
}

void FakeAcquisitionServer::ClearReply(const std::string& keyword) {
    std::lock_guard<std::mutex> lock(mLock);
    mReplies.erase(keyword);
}

void FakeAcquisitionServer::SetNthReply(const std::string& keyword, int n, const Reply& reply) {
    std::lock_guard<std::mutex> lock(mLock);
    mNthReplies[{keyword, n}] = reply;
}

void FakeAcquisitionServer::SetDefaultReply(const Reply& reply) {
    std::lock_guard<std::mutex> lock(mLock);
    mDefaultReply = reply;
}

void FakeAcquisitionServer::SetApplicationName(const std::string& name) {
    std::lock_guard<std::mutex> lock(mLock);
    mApplicationName = name;
}

void FakeAcquisitionServer::SetSegmentSizes(const std::vector<size_t>& sizes) {
    std::lock_guard<std::mutex> lock(mLock);
    mSegmentSizes = sizes;
}

void FakeAcquisitionServer::SetObjects(const std::vector<std::pair<std::string, std::string>>& objects) {
    std::lock_guard<std::mutex> lock(mLock);
    mObjects = objects;
}

std::vector<std::string> FakeAcquisitionServer::Messages() const {
    std::vector<std::string> messages;
    for (const Bytes& frame : Frames()) {
        std::string body(frame.begin() + protocol::kFrameOverhead, frame.end());
        messages.push_back(body.substr(0, body.find('\0')));
    }
    return messages;
}

std::vector<Bytes> FakeAcquisitionServer::Frames() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mFrames;
}

std::vector<std::string> FakeAcquisitionServer::Keywords() const {
    std::vector<std::string> keywords;
    for (const std::string& message : Messages()) {
        keywords.push_back(FirstWord(message));
    }
    return keywords;
}

bool FakeAcquisitionServer::WaitForMessages(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mLock);
    return mChanged.wait_for(lock, timeout, [&] { return mFrames.size() >= count; });
}

size_t FakeAcquisitionServer::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mConnections;
}

bool FakeAcquisitionServer::SendToClient(const Bytes& bytes) {
    std::shared_ptr<platform::Socket> client;
    std::vector<size_t> sizes;
    {
        std::lock_guard<std::mutex> lock(mLock);
        client = mClient;
        sizes = mSegmentSizes;
    }
    return client && SendSegmented(*client, bytes, sizes);
}

void FakeAcquisitionServer::CloseClient() {
    std::lock_guard<std::mutex> lock(mLock);
    if (mClient) {
        mClient->ShutdownBoth();
    }
}

bool FakeAcquisitionServer::WaitForDataStream(const std::string& typeName,
                                              std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mLock);
    return mChanged.wait_for(lock, timeout, [&] { return mDataStreams.count(typeName) > 0; });
}

std::vector<std::string> FakeAcquisitionServer::DataStreamTypes() const {
    std::lock_guard<std::mutex> lock(mLock);
    std::vector<std::string> types;
    for (const auto& entry : mDataStreams) {
        types.push_back(entry.first);
    }
    return types;
}

bool FakeAcquisitionServer::PushData(const std::string& typeName, const Bytes& bytes,
                                     const std::vector<size_t>& segments) {
    std::shared_ptr<platform::Socket> data;
    {
        std::lock_guard<std::mutex> lock(mLock);
        auto found = mDataStreams.find(typeName);
        if (found == mDataStreams.end()) {
            return false;
        }
        data = found->second;
    }
    return SendSegmented(*data, bytes, segments);
}

void FakeAcquisitionServer::CloseDataStream(const std::string& typeName) {
    std::shared_ptr<platform::Socket> data;
    {
        std::lock_guard<std::mutex> lock(mLock);
        auto found = mDataStreams.find(typeName);
        if (found == mDataStreams.end()) {
            return;
        }
        data = found->second;
        mDataStreams.erase(found);
    }
    data->ShutdownBoth();
}

}  // namespace plenvar_test

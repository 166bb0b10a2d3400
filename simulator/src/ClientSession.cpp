#include "ClientSession.h"

#include "CommandText.h"

#include "platform/Resolve.h"
#include "protocol/Framing.h"

#include <charconv>
#include <chrono>

namespace sim {

namespace {

constexpr int kConnectTimeoutMs = 3000;
constexpr const char* kBufferSizeKeyword = "-GetPlenvarDataBufferSize";

bool ReadExact(platform::Socket& socket, void* data, size_t size) {
    return socket.RecvExact(data, size) == static_cast<long>(size);
}

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

std::string PeerText(const platform::Socket& socket) {
    sockaddr_in peer{};
    if (!socket.PeerAddress(peer)) {
        return "unknown peer";
    }
    return platform::DottedQuad(peer) + ":" + std::to_string(ntohs(peer.sin_port));
}

const char* RefusalText(protocol::PreHeaderCheck check) {
    switch (check) {
        case protocol::PreHeaderCheck::VersionTooLow:
            return "invalid version number";
        case protocol::PreHeaderCheck::VersionTooHigh:
            return "unsupported version";
        default:
            return "invalid validation code";
    }
}

bool IsSpike(const CatalogObject& object) {
    return object.type->type == protocol::RecordType::SE || object.type->type == protocol::RecordType::ST ||
           object.type->type == protocol::RecordType::TT;
}

int SpikeChannels(const CatalogObject& object) {
    switch (object.type->type) {
        case protocol::RecordType::SE:
            return 1;
        case protocol::RecordType::ST:
            return 2;
        default:
            return 4;
    }
}

}  // namespace

ClientSession::ClientSession(ServerState& state, platform::Socket socket)
    : mState(state), mSocket(std::move(socket)), mPeer(PeerText(mSocket)), mOpen(state.Catalog().Size()) {}

ClientSession::~ClientSession() {
    Kill();
    if (mThread.joinable()) {
        mThread.join();
    }
}

void ClientSession::Start() {
    mState.Log("zorlent-sim: client " + mPeer + " connected");
    mThread = std::thread([this] { Serve(); });
}

void ClientSession::Kill() {
    mKilled = true;
    mSocket.ShutdownBoth();
    std::lock_guard<std::mutex> lock(mMutex);
    for (auto& stream : mStreams) {
        if (stream) {
            stream->Close();
        }
    }
}

void ClientSession::Deliver(size_t object, const std::vector<unsigned char>& records) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mOpen[object]) {
        return;
    }
    auto& stream = mStreams[static_cast<int>(mState.Catalog().Objects()[object].type->type)];
    if (stream) {
        stream->Enqueue(records.data(), records.size());
    }
}

int ClientSession::OpenDataConnections() const {
    std::lock_guard<std::mutex> lock(mMutex);
    int open = 0;
    for (const auto& stream : mStreams) {
        open += stream && stream->IsOpen() ? 1 : 0;
    }
    return open;
}

void ClientSession::Serve() {
    std::string command;
    while (!mKilled && ReadCommand(command)) {
        WaitWhilePaused();
        if (mKilled || !SendReply(Answer(command))) {
            break;
        }
    }
    CloseAllStreams();
    mSocket.ShutdownBoth();
    mState.Log("zorlent-sim: client " + mPeer + " disconnected");
    mFinished = true;
}

bool ClientSession::ReadCommand(std::string& command) {
    unsigned char prefix[protocol::kFrameOverhead];
    if (!ReadExact(mSocket, prefix, sizeof prefix)) {
        return false;
    }
    int32_t version = 0;
    protocol::PreHeaderCheck check = protocol::CheckPreHeader(prefix, version);
    if (check != protocol::PreHeaderCheck::Accepted) {
        mState.Log("zorlent-sim: client " + mPeer + " dropped: " + RefusalText(check));
        return false;
    }
    auto size = static_cast<int32_t>(protocol::ReadLE32(prefix + protocol::kPreHeaderSize));
    if (protocol::CheckMessageSize(size, protocol::kMaxCommandBodySize) != protocol::SizeCheck::Accepted) {
        mState.Log("zorlent-sim: client " + mPeer + " dropped: message size " + std::to_string(size));
        return false;
    }
    std::string body(static_cast<size_t>(size), '\0');
    if (!ReadExact(mSocket, body.data(), body.size())) {
        return false;
    }
    command.assign(body.c_str());
    return true;
}

bool ClientSession::SendReply(const Reply& reply) {
    std::string body = reply.body;
    if (!reply.raw) {
        body.push_back('\0');
    }
    std::vector<unsigned char> message =
        protocol::BuildMessage(body.data(), static_cast<int32_t>(body.size()));
    long sent = mSocket.Send(message.data(), message.size());
    return sent == static_cast<long>(message.size());
}

void ClientSession::WaitWhilePaused() {
    while (mState.paused && !mKilled && !mState.stopping) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void ClientSession::CloseAllStreams() {
    std::array<std::unique_ptr<DataStream>, protocol::kRecordTypeCount> closing;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        closing.swap(mStreams);
    }
    // The writers are joined here, outside the lock that Deliver takes.
}

ClientSession::Reply ClientSession::Answer(const std::string& command) {
    std::vector<std::string> args = SplitWords(command);
    if (args.empty()) {
        return {"-1 empty command"};
    }
    std::string keyword = args.front();
    args.erase(args.begin());
    // Clients write the object name right behind this keyword, without a blank.
    if (keyword.size() > std::string_view(kBufferSizeKeyword).size() && keyword.starts_with(kBufferSizeKeyword)) {
        args.insert(args.begin(), keyword.substr(std::string_view(kBufferSizeKeyword).size()));
        keyword = kBufferSizeKeyword;
    }
    if (keyword == "-GetApplicationName") {
        return {"0 zorlent-sim"};
    }
    if (keyword == "-GetNextAvailablePortNumber") {
        uint16_t port = mState.HandOutPort();
        return {port == 0 ? std::string("-1 no free port") : "0 " + std::to_string(port)};
    }
    if (keyword == "-CreateStream") {
        return CreateStream(args);
    }
    if (keyword == "-GetZorlentObjects") {
        return {mState.Catalog().NamesReply()};
    }
    if (keyword == "-GetZorlentTypes") {
        return {mState.Catalog().TypesReply()};
    }
    if (keyword == "-OpenStream" || keyword == "-CloseStream") {
        return SetOpen(args, keyword == "-OpenStream");
    }
    if (keyword == "-SetApplicationName" || keyword == "-SetComputerName" || keyword == "-LogMessage") {
        return {"0"};
    }
    if (keyword == "-GetSamplingFrequency" || keyword == "-GetADRange" || keyword == kBufferSizeKeyword) {
        return ObjectQuery(keyword, args);
    }
    if (keyword == "-GetWaveformFeature") {
        return WaveformFeature(args);
    }
    if (keyword == "-RequestRingBuffer") {
        return RingBuffer(args);
    }
    return {"-1 unknown command " + keyword};
}

ClientSession::Reply ClientSession::CreateStream(const std::vector<std::string>& args) {
    int port = 0;
    if (args.size() != 3 || !ParseInt(args[1], port) || port < 1 || port > 65535) {
        return {"-1 usage: -CreateStream IP port type"};
    }
    const protocol::RecordTypeInfo* type = protocol::FindByTypeName(std::string_view(args[2]));
    if (type == nullptr) {
        return {"-1 unknown type " + args[2]};
    }
    std::vector<sockaddr_in> addresses;
    if (platform::ResolveIPv4(args[0], addresses) != 0 || addresses.empty()) {
        return {"-1 unknown address " + args[0]};
    }
    sockaddr_in target = addresses.front();
    target.sin_port = htons(static_cast<uint16_t>(port));
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.IsValid() || !socket.Connect(target, kConnectTimeoutMs)) {
        return {"-1 cannot connect to " + args[0] + ":" + args[1]};
    }
    auto stream = std::make_unique<DataStream>(std::move(socket), *type, mState.Sent(type->type));
    if (!stream->Start()) {
        return {"-1 cannot set up the data connection"};
    }
    // A second stream of one type replaces the first; the old one is closed
    // outside the lock.
    std::unique_lock<std::mutex> lock(mMutex);
    mStreams[static_cast<int>(type->type)].swap(stream);
    lock.unlock();
    return {"0"};
}

ClientSession::Reply ClientSession::SetOpen(const std::vector<std::string>& args, bool open) {
    if (args.size() < 2) {
        return {"-1 usage: name type"};
    }
    // A name with blanks arrives unquoted, split into several words.
    std::string name = JoinWords(args, 0, args.size() - 1);
    int object = mState.Catalog().Find(name);
    if (object < 0) {
        return {"-1 unknown object " + name};
    }
    const CatalogObject& entry = mState.Catalog().Objects()[object];
    if (args.back() != entry.type->typeName) {
        return {"-1 " + name + " is of type " + entry.type->typeName};
    }
    std::lock_guard<std::mutex> lock(mMutex);
    mOpen[object] = open;
    return {"0"};
}

ClientSession::Reply ClientSession::ObjectQuery(const std::string& keyword, const std::vector<std::string>& args) {
    std::string name = JoinWords(args, 0, args.size());
    int object = mState.Catalog().Find(name);
    if (object < 0) {
        return {"-1 unknown object " + name};
    }
    const CatalogObject& entry = mState.Catalog().Objects()[object];
    bool sampled = IsSpike(entry) || entry.type->type == protocol::RecordType::CSC;
    if (keyword == "-GetSamplingFrequency") {
        if (entry.type->type == protocol::RecordType::VT) {
            return {"0 30"};
        }
        return {sampled ? "0 32000" : "0 0"};
    }
    if (keyword == "-GetADRange") {
        // Input range in microvolts.
        return {sampled ? "0 -1000 1000" : "0 0 0"};
    }
    // Ring capacity in records, and the record size.
    return {"0 " + std::to_string(ServerState::kRecentRecords) + " " + std::to_string(entry.type->recordSize)};
}

ClientSession::Reply ClientSession::WaveformFeature(const std::vector<std::string>& args) {
    int index = -1;
    if (args.size() < 2 || !ParseInt(args.back(), index)) {
        return {"-1 usage: -GetWaveformFeature \"name\" index"};
    }
    std::string name = JoinWords(args, 0, args.size() - 1);
    int object = mState.Catalog().Find(name);
    if (object < 0) {
        return {"-1 unknown object " + name};
    }
    const CatalogObject& entry = mState.Catalog().Objects()[object];
    if (!IsSpike(entry)) {
        return {"-1 " + name + " has no waveform features"};
    }
    // Feature i is the record's features[i]: peaks of channels 0-3, then valleys.
    if (index < 0 || index >= 8 || index % 4 >= SpikeChannels(entry)) {
        return {"-1 no feature " + std::to_string(index)};
    }
    return {std::string(index < 4 ? "0 Peak" : "0 Valley") + " channel " + std::to_string(index % 4)};
}

ClientSession::Reply ClientSession::RingBuffer(const std::vector<std::string>& args) {
    std::string name = JoinWords(args, 0, args.size());
    int object = mState.Catalog().Find(name);
    if (object < 0) {
        return {"-1 unknown object " + name};
    }
    std::vector<unsigned char> recent = mState.Recent(static_cast<size_t>(object));
    if (recent.empty()) {
        return {"-1 no records yet"};
    }
    return {std::string(recent.begin(), recent.end()), true};
}

}  // namespace sim

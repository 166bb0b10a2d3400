#pragma once
// A scriptable stand-in for an acquisition server, over real loopback
// sockets, for tests of anything that speaks the message protocol.
//
// It accepts one message connection at a time (a new one once the last has
// gone), reads framed commands, records each, and answers by the command's
// keyword (its first word):
//   1. a reply scripted for the n-th command of that keyword (SetNthReply);
//   2. a reply scripted for the keyword (SetReply);
//   3. the built-in answers of the stream set-up commands (see below);
//   4. the default reply (SetDefaultReply; "0" unless changed).
// Replies can be framed text, framed raw bodies, raw byte strings (broken
// frames), nothing at all, or a partial frame followed by closing the
// connection. Everything sent on the message connection is cut into the
// segment sizes given to SetSegmentSizes (cycled), each sent on its own.
//
// Built-in answers:
//   "-GetApplicationName"          "0 " + application name
//   "-GetNextAvailablePortNumber"  "0 " + a free loopback port
//   "-CreateStream IP port type"   connects to IP:port, keeps the data
//                                  connection for `type`, replies "0"
//   "-GetZorlentObjects"/"-GetZorlentTypes"  "0" + the object list
//   "-OpenStream", "-CloseStream"  "0"

#include "platform/Socket.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace plenvar_test {

using Bytes = std::vector<unsigned char>;

Bytes ToBytes(const std::string& text);

struct Reply {
    enum class Kind { Frame, Raw, None, CloseAfter };
    Kind kind = Kind::Frame;
    Bytes bytes;  // the body (Frame) or what goes on the wire (Raw, CloseAfter)

    // A framed text body: the text and one NUL.
    static Reply Text(const std::string& text);
    // A framed body exactly as given (no NUL added).
    static Reply Body(const Bytes& body);
    // Bytes sent as they are, framing included or not.
    static Reply Raw(const Bytes& bytes);
    // No answer at all.
    static Reply None();
    // Sends `bytes` (typically part of a frame), then closes the connection.
    static Reply CloseAfter(const Bytes& bytes);
    // The first `count` bytes of the framed text, then the connection closes.
    static Reply CloseMidMessage(const std::string& text, size_t count);
};

// A framed message as it travels: pre-header, header, body.
Bytes Frame(const Bytes& body);
// A loopback port that was free a moment ago.
uint16_t EphemeralPort();

class FakeAcquisitionServer {
public:
    // port 0: an ephemeral port (see Port()).
    explicit FakeAcquisitionServer(uint16_t port = 0);
    ~FakeAcquisitionServer();
    FakeAcquisitionServer(const FakeAcquisitionServer&) = delete;
    FakeAcquisitionServer& operator=(const FakeAcquisitionServer&) = delete;

    // Listens on 127.0.0.1 (or every address) and starts serving.
    bool Start(bool anyAddress = false);
    uint16_t Port() const { return mPort; }

    // --- Script ---
    void SetReply(const std::string& keyword, const Reply& reply);
    // Back to the built-in or default answer for the keyword.
    void ClearReply(const std::string& keyword);
    // For the n-th (1-based) command with that keyword only.
    void SetNthReply(const std::string& keyword, int n, const Reply& reply);
    void SetDefaultReply(const Reply& reply);
    void SetApplicationName(const std::string& name);
    void SetSegmentSizes(const std::vector<size_t>& sizes);
    // Names and type names; names with a blank are sent in double quotes.
    void SetObjects(const std::vector<std::pair<std::string, std::string>>& objects);

    // --- What arrived ---
    // Bodies up to their first NUL, in arrival order.
    std::vector<std::string> Messages() const;
    // Whole frames as received, bytes exactly as they came.
    std::vector<Bytes> Frames() const;
    // Keywords (first words) of the messages, in order.
    std::vector<std::string> Keywords() const;
    bool WaitForMessages(size_t count, std::chrono::milliseconds timeout) const;
    size_t ConnectionCount() const;

    // --- The message connection ---
    // Sends bytes to the connected client now (cut into segments).
    bool SendToClient(const Bytes& bytes);
    void CloseClient();

    // --- Data streams ---
    bool WaitForDataStream(const std::string& typeName, std::chrono::milliseconds timeout) const;
    std::vector<std::string> DataStreamTypes() const;
    // Writes bytes on the data connection of that type, cut into the given
    // segment sizes (cycled; empty: in one piece).
    bool PushData(const std::string& typeName, const Bytes& bytes,
                  const std::vector<size_t>& segments = {});
    void CloseDataStream(const std::string& typeName);

private:
    void Serve();
    void ServeClient(const std::shared_ptr<platform::Socket>& client);
    bool ReadFrame(platform::Socket& client, Bytes& frame);
    Reply Answer(const std::string& text);
    bool BuiltIn(const std::string& keyword, const std::string& text, Reply& reply);
    Reply CreateStream(const std::string& text);
    std::string ObjectList(bool types) const;
    bool SendSegmented(platform::Socket& socket, const Bytes& bytes, const std::vector<size_t>& sizes);
    bool SendReply(platform::Socket& client, const Reply& reply);

    uint16_t mPort;
    platform::Socket mListener;
    std::thread mThread;

    mutable std::mutex mLock;
    mutable std::condition_variable mChanged;
    bool mStopping = false;
    std::shared_ptr<platform::Socket> mClient;
    size_t mConnections = 0;
    std::map<std::string, Reply> mReplies;
    std::map<std::pair<std::string, int>, Reply> mNthReplies;
    std::map<std::string, int> mKeywordCounts;
    Reply mDefaultReply;
    std::string mApplicationName = "Fake Zorlent Server";
    std::vector<size_t> mSegmentSizes;
    std::vector<std::pair<std::string, std::string>> mObjects;
    std::vector<Bytes> mFrames;
    std::map<std::string, std::shared_ptr<platform::Socket>> mDataStreams;
};

}  // namespace plenvar_test

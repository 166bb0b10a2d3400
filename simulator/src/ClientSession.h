#pragma once
// One client of the simulator: its message connection, served on its own
// thread with strict command/reply alternation, its data connections (one
// per record type) and the set of objects it has opened.

#include "DataStream.h"
#include "ServerState.h"

#include "platform/Socket.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class ClientSession {
public:
    ClientSession(ServerState& state, platform::Socket socket);
    // Kills the connections and waits for the thread.
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    void Start();
    // True once the client has gone (its thread has returned).
    bool Finished() const { return mFinished.load(); }
    // Closes the message and data connections; the thread then returns.
    void Kill();

    // Passes one object's records on when this client has it open.
    void Deliver(size_t object, const std::vector<unsigned char>& records);
    int OpenDataConnections() const;

private:
    struct Reply {
        std::string body;
        bool raw = false;  // sent as is, no NUL added
    };

    void Serve();
    bool ReadCommand(std::string& command);
    bool SendReply(const Reply& reply);
    void WaitWhilePaused();
    void CloseAllStreams();

    Reply Answer(const std::string& command);
    Reply CreateStream(const std::vector<std::string>& args);
    Reply SetOpen(const std::vector<std::string>& args, bool open);
    Reply ObjectQuery(const std::string& keyword, const std::vector<std::string>& args);
    Reply WaveformFeature(const std::vector<std::string>& args);
    Reply RingBuffer(const std::vector<std::string>& args);

    ServerState& mState;
    platform::Socket mSocket;
    std::string mPeer;
    std::thread mThread;
    std::atomic<bool> mFinished{false};
    std::atomic<bool> mKilled{false};

    mutable std::mutex mMutex;  // guards the two members below
    std::array<std::unique_ptr<DataStream>, protocol::kRecordTypeCount> mStreams;
    std::vector<bool> mOpen;
};

}  // namespace sim

#pragma once
// What the listener, the generator and every client session share: the
// options, the counters, the port hand-out, the most recent records of each
// object and the log.

#include "simulator/Simulator.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class ServerState {
public:
    // Records kept per object for "-RequestRingBuffer".
    static constexpr size_t kRecentRecords = 16;

    explicit ServerState(SimulatorOptions options);

    const SimulatorOptions& Options() const { return mOptions; }
    const ObjectCatalog& Catalog() const { return mOptions.catalog; }

    void Log(const std::string& line);

    // The next port from the hand-out range that can be bound right now,
    // or 0 when none can.
    uint16_t HandOutPort();

    void KeepRecent(size_t object, const std::vector<unsigned char>& records);
    std::vector<unsigned char> Recent(size_t object);

    std::atomic<uint64_t>& Sent(protocol::RecordType type) { return mSent[static_cast<int>(type)]; }
    std::atomic<uint64_t>& Generated(protocol::RecordType type) {
        return mGenerated[static_cast<int>(type)];
    }

    std::atomic<bool> paused{false};
    std::atomic<bool> stopping{false};

private:
    SimulatorOptions mOptions;
    std::array<std::atomic<uint64_t>, protocol::kRecordTypeCount> mSent{};
    std::array<std::atomic<uint64_t>, protocol::kRecordTypeCount> mGenerated{};
    std::mutex mPortMutex;
    uint32_t mNextPort;
    std::mutex mRecentMutex;
    std::vector<std::vector<unsigned char>> mRecent;
    std::mutex mLogMutex;
};

}  // namespace sim

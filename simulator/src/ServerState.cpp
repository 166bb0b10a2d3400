#include "ServerState.h"

#include "platform/Socket.h"

#include <cstdio>

namespace sim {

namespace {

bool CanBind(uint16_t port) {
    platform::Socket probe = platform::Socket::CreateTcp();
    return probe.IsValid() && probe.Bind(0, port);
}

}  // namespace

ServerState::ServerState(SimulatorOptions options)
    : mOptions(std::move(options)),
      mNextPort(mOptions.firstHandOutPort),
      mRecent(mOptions.catalog.Size()) {}

void ServerState::Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(mLogMutex);
    if (mOptions.log) {
        mOptions.log(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

uint16_t ServerState::HandOutPort() {
    std::lock_guard<std::mutex> lock(mPortMutex);
    const uint32_t first = mOptions.firstHandOutPort;
    const uint32_t span = 65536 - first;
    for (uint32_t tried = 0; tried < span; ++tried) {
        uint32_t port = mNextPort;
        mNextPort = port >= 65535 ? first : port + 1;
        // The router hands out 26200-26299 to its own clients.
        bool routerRange = port >= 26200 && port <= 26299;
        if (!routerRange && CanBind(static_cast<uint16_t>(port))) {
            return static_cast<uint16_t>(port);
        }
    }
    return 0;
}

void ServerState::KeepRecent(size_t object, const std::vector<unsigned char>& records) {
    const size_t limit = kRecentRecords * mOptions.catalog.Objects()[object].type->recordSize;
    std::lock_guard<std::mutex> lock(mRecentMutex);
    std::vector<unsigned char>& recent = mRecent[object];
    if (records.size() >= limit) {
        recent.assign(records.end() - static_cast<long>(limit), records.end());
        return;
    }
    recent.insert(recent.end(), records.begin(), records.end());
    if (recent.size() > limit) {
        recent.erase(recent.begin(), recent.end() - static_cast<long>(limit));
    }
}

std::vector<unsigned char> ServerState::Recent(size_t object) {
    std::lock_guard<std::mutex> lock(mRecentMutex);
    return mRecent[object];
}

}  // namespace sim

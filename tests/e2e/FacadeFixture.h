#pragma once
// What the facade suites share: a client made through the exported factory,
// a collector that every record callback feeds, and a fake acquisition
// server on the fixed message port (each test runs in its own network
// namespace, so the fixed ports are free).

#include "FakeAcquisitionServer.h"

#include <Plenvar/PlenvarClient.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace facade_test {

using namespace std::chrono_literals;

struct ClientDeleter {
    void operator()(Plenvar::PlenvarClient* client) const { Plenvar::DeletePlenvarClient(client); }
};
using ClientPtr = std::unique_ptr<Plenvar::PlenvarClient, ClientDeleter>;

struct Arrival {
    std::string type;
    std::wstring object;
    uint64_t timestamp;
    int numRecords;
};

// Context of all six callbacks; they run on the library's stream threads.
class RecordCollector {
public:
    void RegisterAll(Plenvar::PlenvarClient& client);
    bool WaitFor(size_t count, std::chrono::milliseconds timeout);
    std::vector<Arrival> Arrivals() const;

private:
    template <class Record>
    static void On(void* context, Record* records, int numRecords, const wchar_t* objectName);

    mutable std::mutex mLock;
    std::condition_variable mArrived;
    std::vector<Arrival> mArrivals;
};

// One record of the given type as it travels: index field and timestamp set.
template <class Record>
plenvar_test::Bytes RecordBytes(uint64_t timestamp, uint32_t index) {
    Record record{};
    record.timestamp = timestamp;
    if constexpr (requires { record.spikeChannel; }) {
        record.spikeChannel = index;
    } else if constexpr (requires { record.channel; }) {
        record.channel = index;
    } else if constexpr (requires { record.trackerId; }) {
        record.trackerId = static_cast<uint16_t>(index);
    }
    plenvar_test::Bytes bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

std::string ReadFile(const std::filesystem::path& path);
size_t CountOccurrences(const std::string& text, const std::string& part);

class FacadeTest : public ::testing::Test {
protected:
    static constexpr uint16_t kServerPort = 26100;

    void SetUp() override;
    void TearDown() override;

    bool Connect() { return client->ConnectToServer(L"127.0.0.1", false); }
    std::string Log() const { return ReadFile(logPath); }
    // Number of messages with this keyword that the server has received.
    size_t Sent(const std::string& keyword) const;

    plenvar_test::FakeAcquisitionServer server{kServerPort};
    ClientPtr client{Plenvar::GetNewPlenvarClient()};
    std::filesystem::path logPath;
};

}  // namespace facade_test

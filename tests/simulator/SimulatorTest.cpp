// The simulator end to end, driven by raw loopback sockets: the reply forms
// clients rely on, data streams, per-client open sets and dropping of bad
// or stalled clients.

#include "RawClient.h"

#include "simulator/Simulator.h"

#include "Plenvar/PlenvarRecords.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

using simtest::DataListener;
using simtest::RawClient;
using protocol::RecordType;

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// Whole records of `size` bytes until `count` arrived; false on a short read.
bool ReadRecords(platform::Socket& socket, size_t size, int count, std::vector<unsigned char>& out) {
    out.assign(size * static_cast<size_t>(count), 0);
    return simtest::ReadExact(socket, out.data(), out.size());
}

// Reads and throws away whatever arrives until the stream has been quiet for
// `quietMs`; false when it never went quiet within 5 s.
bool DrainUntilQuiet(platform::Socket& socket, int quietMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    unsigned char buffer[65536];
    while (std::chrono::steady_clock::now() < deadline) {
        if (socket.WaitReadable(quietMs) == 0) {
            return true;
        }
        if (socket.Recv(buffer, sizeof buffer) <= 0) {
            return true;
        }
    }
    return false;
}

// Polls until the condition holds or 2 s have passed.
template <typename Condition>
bool Eventually(Condition condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class SimulatorTest : public ::testing::Test {
protected:
    void StartSimulator(double rateScale = 1.0, sim::ObjectCatalog catalog = sim::ObjectCatalog::Default()) {
        sim::SimulatorOptions options;
        options.port = 0;
        options.rateScale = rateScale;
        options.catalog = std::move(catalog);
        options.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mLogMutex);
            mLog.push_back(line);
        };
        mSimulator = std::make_unique<sim::Simulator>(std::move(options));
        ASSERT_TRUE(mSimulator->Start()) << mSimulator->LastError();
        ASSERT_NE(mSimulator->Port(), 0);
    }

    // Announces a data connection of `type` and accepts it.
    platform::Socket CreateStream(RawClient& client, DataListener& listener, const std::string& type) {
        std::string reply =
            client.Text("-CreateStream 127.0.0.1 " + std::to_string(listener.Port()) + " " + type);
        EXPECT_EQ(reply, "0");
        platform::Socket data = listener.Accept();
        EXPECT_TRUE(data.IsValid());
        data.SetRecvTimeout(5000);
        return data;
    }

    std::vector<std::string> LogLines() {
        std::lock_guard<std::mutex> lock(mLogMutex);
        return mLog;
    }

    std::mutex mLogMutex;
    std::vector<std::string> mLog;
    // Last, so it stops before the log it writes to goes.
    std::unique_ptr<sim::Simulator> mSimulator;
};

TEST_F(SimulatorTest, AnswersEveryCommandInTheFormClientsRelyOn) {
    StartSimulator();
    RawClient client(mSimulator->Port());
    ASSERT_TRUE(client.Connected());

    std::vector<std::string> name = Words(client.Text("-GetApplicationName"));
    ASSERT_EQ(name.size(), 2u);
    EXPECT_EQ(name[0], "0");

    struct Case {
        std::string command;
        std::string reply;
    };
    const Case cases[] = {
        {"-GetSamplingFrequency CSC1", "0 32000"},
        {"-GetSamplingFrequency TT2", "0 32000"},
        {"-GetSamplingFrequency VT1", "0 30"},
        {"-GetADRange CSC16", "0 -1000 1000"},
        // The client library writes the name right behind this keyword.
        {"-GetPlenvarDataBufferSize CSC1", "0 16 1044"},
        {"-GetPlenvarDataBufferSizeCSC1", "0 16 1044"},
        {"-GetPlenvarDataBufferSizeTT1", "0 16 304"},
        {"-GetWaveformFeature \"TT1\" 2", "0 Peak channel 2"},
        {"-GetWaveformFeature \"SE1\" 4", "0 Valley channel 0"},
        {"-SetApplicationName \"my app\"", "0"},
        {"-SetComputerName bench7", "0"},
        {"-LogMessage \"hello there\" 3", "0"},
        {"-OpenStream CSC1 CscAcqEnt", "0"},
        {"-CloseStream CSC1 CscAcqEnt", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(client.Text(c.command), c.reply) << c.command;
    }

    const std::string refused[] = {
        "-NoSuchCommand 1 2",
        "-GetSamplingFrequency CSC99",
        "-GetWaveformFeature \"SE1\" 1",  // a single electrode has one channel
        "-GetWaveformFeature \"CSC1\" 0",
        "-OpenStream Nobody CscAcqEnt",
        "-OpenStream CSC1 TTScAcqEnt",
        "-CloseStream Nobody CscAcqEnt",
        "-CreateStream 127.0.0.1 1 NoSuchType",
        "-RequestRingBuffer Nobody",
    };
    for (const std::string& command : refused) {
        std::vector<std::string> reply = Words(client.Text(command));
        ASSERT_GE(reply.size(), 2u) << command;  // the code and a reason
        EXPECT_EQ(reply[0], "-1") << command;
    }
}

TEST_F(SimulatorTest, ObjectListsAreParallelAndInIndexOrder) {
    StartSimulator();
    RawClient client(mSimulator->Port());
    std::vector<std::string> names = Words(client.Text("-GetZorlentObjects"));
    std::vector<std::string> types = Words(client.Text("-GetZorlentTypes"));

    std::vector<std::string> expectedNames = {"0", "SE1", "SE2", "ST1", "TT1", "TT2", "TT3", "TT4"};
    std::vector<std::string> expectedTypes = {"0", "SEScAcqEnt", "SEScAcqEnt", "STScAcqEnt"};
    expectedTypes.insert(expectedTypes.end(), 4, "TTScAcqEnt");
    for (int i = 1; i <= 16; ++i) {
        expectedNames.push_back("CSC" + std::to_string(i));
        expectedTypes.push_back("CscAcqEnt");
    }
    expectedNames.insert(expectedNames.end(), {"Events", "VT1"});
    expectedTypes.insert(expectedTypes.end(), {"EventAcqEnt", "VTAcqEnt"});
    EXPECT_EQ(names, expectedNames);
    EXPECT_EQ(types, expectedTypes);
}

TEST_F(SimulatorTest, HandsOutDistinctBindablePortsAboveTheRoutersRange) {
    StartSimulator();
    RawClient first(mSimulator->Port());
    RawClient second(mSimulator->Port());
    // A port some other program holds is skipped.
    platform::Socket squatter = platform::Socket::CreateTcp();
    ASSERT_TRUE(squatter.Bind(0, 26301));
    ASSERT_TRUE(squatter.Listen(1));

    std::vector<int> ports;
    for (int i = 0; i < 4; ++i) {
        RawClient& client = i % 2 == 0 ? first : second;
        std::vector<std::string> reply = Words(client.Text("-GetNextAvailablePortNumber"));
        ASSERT_EQ(reply.size(), 2u);
        ASSERT_EQ(reply[0], "0");
        ports.push_back(std::stoi(reply[1]));
    }
    EXPECT_EQ(ports, (std::vector<int>{26300, 26302, 26303, 26304}));
}

TEST_F(SimulatorTest, StreamsOpenedCscRecordsToTheOpeningClientOnly) {
    StartSimulator(4.0);
    RawClient opener(mSimulator->Port());
    RawClient bystander(mSimulator->Port());
    DataListener openerListener;
    DataListener bystanderListener;
    platform::Socket data = CreateStream(opener, openerListener, "CscAcqEnt");
    platform::Socket otherData = CreateStream(bystander, bystanderListener, "CscAcqEnt");

    ASSERT_EQ(opener.Text("-OpenStream CSC3 CscAcqEnt"), "0");
    std::vector<unsigned char> bytes;
    const int count = 20;
    ASSERT_TRUE(ReadRecords(data, sizeof(Plenvar::CRRec), count, bytes));
    const auto* records = reinterpret_cast<const Plenvar::CRRec*>(bytes.data());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(records[i].channel, 2u);
        EXPECT_EQ(records[i].sampleFrequency, 32000u);
        EXPECT_EQ(records[i].validSamples, 512u);
        if (i > 0) {
            EXPECT_EQ(records[i].timestamp - records[i - 1].timestamp, 16000u) << "record " << i;
        }
    }
    // The counter moves once the send has returned, a moment after the bytes arrive.
    EXPECT_TRUE(Eventually([&] { return mSimulator->RecordsSent(RecordType::CSC) >= count; }));
    EXPECT_EQ(otherData.WaitReadable(0), 0) << "records reached a client that opened nothing";

    ASSERT_EQ(opener.Text("-CloseStream CSC3 CscAcqEnt"), "0");
    EXPECT_TRUE(DrainUntilQuiet(data, 500)) << "records kept coming after -CloseStream";
}

TEST_F(SimulatorTest, RecordsOfEachTypeCarryTheirObjectsIndex) {
    StartSimulator(4.0);
    RawClient client(mSimulator->Port());
    struct Case {
        std::string object;
        std::string type;
        size_t size;
        uint32_t index;  // position in the shared spike numbering, among CSC or among VT
    };
    const Case cases[] = {
        {"SE2", "SEScAcqEnt", 112, 1},
        {"ST1", "STScAcqEnt", 176, 2},
        {"TT2", "TTScAcqEnt", 304, 4},
        {"CSC16", "CscAcqEnt", 1044, 15},
        {"Events", "EventAcqEnt", 184, 0},
        {"VT1", "VTAcqEnt", 1828, 0},
    };
    std::vector<std::unique_ptr<DataListener>> listeners;
    std::vector<platform::Socket> streams;
    for (const Case& c : cases) {
        listeners.push_back(std::make_unique<DataListener>());
        streams.push_back(CreateStream(client, *listeners.back(), c.type));
        ASSERT_EQ(client.Text("-OpenStream " + c.object + " " + c.type), "0");
    }
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        std::vector<unsigned char> record;
        // Events come once per simulated second: a few real seconds at most.
        ASSERT_TRUE(ReadRecords(streams[i], c.size, 1, record)) << c.object;
        const protocol::RecordTypeInfo& info = *protocol::FindByTypeName(std::string_view(c.type));
        EXPECT_EQ(protocol::ReadIndex(info, record.data()), c.index) << c.object;
    }
    EXPECT_GE(mSimulator->DataConnectionCount(), 6);
}

TEST_F(SimulatorTest, RingBufferRequestIsAnsweredWithRawRecords) {
    StartSimulator(4.0);
    RawClient client(mSimulator->Port());
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (mSimulator->RecordsGenerated(RecordType::CSC) < 16 * 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    std::vector<unsigned char> reply;
    ASSERT_TRUE(client.Command("-RequestRingBuffer CSC2", reply));
    ASSERT_EQ(reply.size(), 16 * sizeof(Plenvar::CRRec));  // whole records, no NUL added
    const auto* records = reinterpret_cast<const Plenvar::CRRec*>(reply.data());
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(records[i].channel, 1u);
        if (i > 0) {
            EXPECT_EQ(records[i].timestamp - records[i - 1].timestamp, 16000u);
        }
    }
    // The connection stays in step after a raw reply.
    EXPECT_EQ(Words(client.Text("-GetApplicationName"))[0], "0");
}

TEST_F(SimulatorTest, RefusedFrameDropsOnlyThatClient) {
    StartSimulator();
    RawClient survivor(mSimulator->Port());
    ASSERT_EQ(Words(survivor.Text("-GetApplicationName"))[0], "0");

    struct Case {
        const char* what;
        int32_t version;
        uint32_t validation;
        int32_t size;
    };
    const Case cases[] = {
        {"version 2", 2, protocol::kValidationCode, 4},
        {"version 0", 0, protocol::kValidationCode, 4},
        {"validation code", 1, 0xA4A5A5A5u, 4},
        {"size 0", 1, protocol::kValidationCode, 0},
        {"negative size", 1, protocol::kValidationCode, -5},
        {"size above 16 MiB", 1, protocol::kValidationCode, 16 * 1024 * 1024 + 1},
    };
    for (const Case& c : cases) {
        RawClient bad(mSimulator->Port());
        unsigned char prefix[protocol::kFrameOverhead];
        protocol::WriteLE32(prefix, static_cast<uint32_t>(c.version));
        protocol::WriteLE32(prefix + 4, c.validation);
        protocol::WriteLE32(prefix + 8, static_cast<uint32_t>(c.size));
        ASSERT_TRUE(bad.SendBytes(prefix, sizeof prefix));
        unsigned char byte;
        EXPECT_EQ(bad.Socket().Recv(&byte, 1), 0) << c.what << ": the connection should be closed";
        EXPECT_EQ(Words(survivor.Text("-GetApplicationName"))[0], "0") << c.what;
    }
    // A peer that vanishes in the middle of a message is no harm either.
    {
        RawClient quitter(mSimulator->Port());
        unsigned char partial[5] = {1, 0, 0, 0, 0xA5};
        ASSERT_TRUE(quitter.SendBytes(partial, sizeof partial));
    }
    EXPECT_EQ(Words(survivor.Text("-GetApplicationName"))[0], "0");
}

TEST_F(SimulatorTest, LogsConnectAndDisconnectOfEveryClient) {
    StartSimulator();
    {
        RawClient client(mSimulator->Port());
        ASSERT_EQ(Words(client.Text("-GetApplicationName"))[0], "0");
    }
    EXPECT_TRUE(Eventually([&] { return LogLines().size() >= 2; }));
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("connected"), std::string::npos);
    EXPECT_NE(lines[1].find("disconnected"), std::string::npos);
}

TEST_F(SimulatorTest, StalledClientIsDroppedWhileOthersKeepReceiving) {
    sim::ObjectCatalog catalog;
    catalog.Add("CSC1", "CscAcqEnt");
    catalog.Add("CSC2", "CscAcqEnt");
    StartSimulator(50.0, catalog);  // about 3 MB/s per channel
    RawClient stalled(mSimulator->Port());
    RawClient reader(mSimulator->Port());
    DataListener stalledListener;
    DataListener readerListener;
    platform::Socket neverRead = CreateStream(stalled, stalledListener, "CscAcqEnt");
    platform::Socket data = CreateStream(reader, readerListener, "CscAcqEnt");
    ASSERT_EQ(stalled.Text("-OpenStream CSC1 CscAcqEnt"), "0");
    ASSERT_EQ(stalled.Text("-OpenStream CSC2 CscAcqEnt"), "0");
    ASSERT_EQ(reader.Text("-OpenStream CSC1 CscAcqEnt"), "0");

    // The reader's records keep coming, without a gap, until the stalled
    // client's connection has been given up.
    data.SetRecvTimeout(1500);
    uint64_t previous = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (mSimulator->DataConnectionCount() > 1) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the stalled connection was never closed";
        Plenvar::CRRec record;
        ASSERT_TRUE(simtest::ReadExact(data, &record, sizeof record)) << "the reader was held up";
        ASSERT_EQ(record.channel, 0u);
        if (previous != 0) {
            ASSERT_EQ(record.timestamp - previous, 16000u);
        }
        previous = record.timestamp;
    }
    EXPECT_EQ(mSimulator->DataConnectionCount(), 1);
}

TEST_F(SimulatorTest, KillAndPauseAffectEveryConnectionButKeepListening) {
    StartSimulator();
    RawClient client(mSimulator->Port());
    ASSERT_EQ(Words(client.Text("-GetApplicationName"))[0], "0");

    mSimulator->SetPaused(true);
    std::string command = "-GetApplicationName";
    std::vector<unsigned char> message =
        protocol::BuildMessage(command.c_str(), static_cast<int32_t>(command.size() + 1));
    ASSERT_TRUE(client.SendBytes(message.data(), message.size()));
    EXPECT_EQ(client.Socket().WaitReadable(300), 0) << "a paused server answered";
    mSimulator->SetPaused(false);
    EXPECT_EQ(client.Socket().WaitReadable(2000), 1);
    unsigned char reply[12 + 14];
    ASSERT_TRUE(simtest::ReadExact(client.Socket(), reply, sizeof reply));

    mSimulator->KillConnections();
    unsigned char byte;
    EXPECT_EQ(client.Socket().Recv(&byte, 1), 0);
    RawClient next(mSimulator->Port());
    EXPECT_EQ(Words(next.Text("-GetApplicationName"))[0], "0");
}

}  // namespace

// Receive throughput of one CSC data stream (records handed to the
// application's callback) beside a plain loop that only reads whole 1044-byte
// records, both fed by the same local sender in the same run.
//
//   bench_receive [seconds per measurement, default 3] [rounds, default 2]

#include "ClientLogFile.h"
#include "NodeConnectionClientCSC.h"

#include "platform/Resolve.h"
#include "platform/Socket.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kRecordSize = sizeof(Plenvar::CRRec);
constexpr int kRecordsPerWrite = 16;
constexpr auto kWarmUp = std::chrono::milliseconds(300);

std::atomic<unsigned long long> gRecords{0};

int FreePort() {
    platform::Socket probe = platform::Socket::CreateTcp();
    sockaddr_in address{};
    if (!probe.Bind(0x7f000001, 0) || !probe.LocalAddress(address)) {
        return -1;
    }
    return ntohs(address.sin_port);
}

// Connects to the receiver and writes CSC records (channel 0) back to back
// until told to stop.
void SendRecords(int port, const std::atomic<bool>& stop) {
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(platform::MakeAddress(0x7f000001, static_cast<uint16_t>(port)), 2000)) {
        std::fprintf(stderr, "sender: cannot connect to port %d\n", port);
        return;
    }
    std::vector<unsigned char> block(kRecordSize * kRecordsPerWrite);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = (i % kRecordSize) < 16 ? 0 : static_cast<unsigned char>(i);
    }
    while (!stop.load(std::memory_order_relaxed)) {
        for (size_t sent = 0; sent < block.size();) {
            long n = socket.Send(block.data() + sent, block.size() - sent);
            if (n <= 0) {
                return;
            }
            sent += static_cast<size_t>(n);
        }
    }
}

void CountRecord(void*, Plenvar::CRRec* records, int count, const wchar_t*) {
    (void)records;
    gRecords.fetch_add(static_cast<unsigned long long>(count), std::memory_order_relaxed);
}

// Records per second counted over `seconds`, after a warm-up.
double Measure(double seconds) {
    std::this_thread::sleep_for(kWarmUp);
    const unsigned long long before = gRecords.load();
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const unsigned long long after = gRecords.load();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<double>(after - before) / elapsed;
}

double RunStream(double seconds) {
    Plenvar::ClientLogFile log;  // never opened: entries are dropped
    Plenvar::NodeConnectionClientCSC stream(&log);
    int marker = 0;
    stream.UpdateObjectNames({L"CSC1"}, {L"CscAcqEnt"});
    stream.SetCallbackFunction(&CountRecord, &marker);
    const int port = FreePort();
    if (port < 0 || !stream.InitServerStream(port)) {
        std::fprintf(stderr, "stream: cannot listen\n");
        return 0;
    }
    gRecords = 0;
    std::atomic<bool> stop{false};
    std::thread sender(SendRecords, port, std::cref(stop));
    const double rate = Measure(seconds);
    stop = true;
    stream.CloseServerStream();
    sender.join();
    return rate;
}

// The same work without the stream: accept, then exact reads of one record.
double RunPlainLoop(double seconds) {
    platform::Socket listener = platform::Socket::CreateTcp();
    const int port = FreePort();
    if (port < 0 || !listener.Bind(0, static_cast<uint16_t>(port)) || !listener.Listen(2)) {
        std::fprintf(stderr, "plain loop: cannot listen\n");
        return 0;
    }
    gRecords = 0;
    std::thread reader([&listener] {
        platform::Socket data = listener.Accept();
        std::vector<unsigned char> record(kRecordSize);
        int marker = 0;
        for (;;) {
            size_t have = 0;
            while (have < kRecordSize) {
                long n = data.Recv(record.data() + have, kRecordSize - have);
                if (n <= 0) {
                    return;
                }
                have += static_cast<size_t>(n);
            }
            CountRecord(&marker, reinterpret_cast<Plenvar::CRRec*>(record.data()), 1, L"CSC1");
        }
    });
    std::atomic<bool> stop{false};
    std::thread sender(SendRecords, port, std::cref(stop));
    const double rate = Measure(seconds);
    stop = true;
    sender.join();
    listener.ShutdownBoth();  // in case the sender never connected
    reader.join();
    return rate;
}

void Print(const char* what, double recordsPerSecond) {
    std::printf("  %-12s %12.0f records/s  %9.1f MB/s\n", what, recordsPerSecond,
                recordsPerSecond * kRecordSize / 1e6);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 2;
    if (seconds <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: %s [seconds per measurement] [rounds]\n", argv[0]);
        return 2;
    }
    std::printf("CSC records of %zu bytes, %d per sender write, %.1f s per measurement\n", kRecordSize,
                kRecordsPerWrite, seconds);
    double plainTotal = 0;
    double streamTotal = 0;
    for (int round = 1; round <= rounds; ++round) {
        std::printf("round %d\n", round);
        const double plain = RunPlainLoop(seconds);
        const double stream = RunStream(seconds);
        Print("plain loop", plain);
        Print("stream", stream);
        plainTotal += plain;
        streamTotal += stream;
    }
    std::printf("mean\n");
    Print("plain loop", plainTotal / rounds);
    Print("stream", streamTotal / rounds);
    const double ratio = plainTotal > 0 ? streamTotal / plainTotal : 0;
    std::printf("stream / plain loop: %.1f %% (target >= 80 %%)\n", ratio * 100);
    return 0;
}

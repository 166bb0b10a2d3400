// bench_relay: how the router's relay compares with feeding clients directly
// and with a minimal relay that reads one record and writes it to each
// client in turn.
//
// Every record is a 1044-byte continuous-channel record carrying a sequence
// number (timestamp field) and its send time (first samples), so each
// client counts records, gaps and latency. Usage:
//   bench_relay [seconds per full-speed run, default 1.5] [seconds per paced run, default 2]
// It moves into a private network namespace when it may, so the router's
// fixed ports 26100 and 26200 never clash with a running router.

#include "FakeAcquisitionServer.h"
#include "RouterCore.h"
#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "protocol/Framing.h"
#include "protocol/RecordTypes.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Record = std::vector<unsigned char>;

constexpr size_t kRecordSize = 1044;
constexpr size_t kSendTimeOffset = 20;  // the first samples of the record
// Ten times the simulator's continuous-channel rate: 16 channels x 62.5 records/s.
constexpr double kPacedRate = 10 * 16 * 62.5;

uint64_t NowNs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count());
}

bool SendAll(platform::Socket& socket, const void* data, size_t length) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (length > 0) {
        const long sent = socket.Send(bytes, length);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool RecvAll(platform::Socket& socket, void* data, size_t length) {
    auto* bytes = static_cast<unsigned char*>(data);
    while (length > 0) {
        const long got = socket.Recv(bytes, length);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

platform::Socket Listen(uint16_t port) {
    platform::Socket listener = platform::Socket::CreateTcp();
    // The router hands out the same data ports run after run.
    listener.SetReuseAddress(true);
    if (!listener.Bind(INADDR_LOOPBACK, port) || !listener.Listen(4)) {
        return {};
    }
    return listener;
}

platform::Socket ConnectTo(uint16_t port) {
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(platform::MakeAddress(INADDR_LOOPBACK, port), 3000)) {
        return {};
    }
    socket.SetNoDelay(true);
    return socket;
}

uint16_t LocalPort(const platform::Socket& socket) {
    sockaddr_in address{};
    socket.LocalAddress(address);
    return ntohs(address.sin_port);
}

// One client: listens for its data connection, then counts what arrives.
class Receiver {
public:
    explicit Receiver(uint16_t port = 0) : mListener(Listen(port)) {
        mThread = std::thread([this] { Run(); });
    }
    ~Receiver() { Stop(); }

    uint16_t Port() const { return LocalPort(mListener); }
    uint64_t Records() const { return mRecords.load(); }

    void Stop() {
        mStopping = true;
        mListener.ShutdownBoth();
        mConnection.ShutdownBoth();
        if (mThread.joinable()) {
            mThread.join();
        }
    }

    uint64_t Gaps(uint64_t sent) const {
        const uint64_t missingAtEnd = mRecords > 0 ? sent - 1 - mLastSeq : sent;
        return mSkipped + missingAtEnd;
    }
    double RecordsPerSecond() const {
        const double seconds = std::chrono::duration<double>(mLast - mFirst).count();
        return seconds > 0 ? static_cast<double>(mRecords - 1) / seconds : 0;
    }
    const std::vector<uint32_t>& LatenciesUs() const { return mLatencies; }

private:
    void Run() {
        mConnection = mListener.Accept();
        if (!mConnection.IsValid() || mStopping) {
            return;
        }
        std::vector<unsigned char> buffer(256 * 1024);
        size_t held = 0;
        for (;;) {
            const long got = mConnection.Recv(buffer.data() + held, buffer.size() - held);
            if (got <= 0) {
                return;
            }
            held += static_cast<size_t>(got);
            const uint64_t now = NowNs();
            size_t offset = 0;
            for (; held - offset >= kRecordSize; offset += kRecordSize) {
                Count(buffer.data() + offset, now);
            }
            std::memmove(buffer.data(), buffer.data() + offset, held - offset);
            held -= offset;
        }
    }

    void Count(const unsigned char* record, uint64_t now) {
        uint64_t seq = 0;
        uint64_t sentAt = 0;
        std::memcpy(&seq, record, sizeof seq);
        std::memcpy(&sentAt, record + kSendTimeOffset, sizeof sentAt);
        const uint64_t expected = mRecords > 0 ? mLastSeq + 1 : 0;
        if (seq > expected) {
            mSkipped += seq - expected;
        }
        mLastSeq = seq;
        mLatencies.push_back(static_cast<uint32_t>((now - sentAt) / 1000));
        if (mRecords == 0) {
            mFirst = Clock::now();
        }
        mLast = Clock::now();
        mRecords.fetch_add(1);
    }

    platform::Socket mListener;
    platform::Socket mConnection;
    std::thread mThread;
    std::atomic<bool> mStopping{false};
    std::atomic<uint64_t> mRecords{0};
    uint64_t mLastSeq = 0;
    uint64_t mSkipped = 0;
    Clock::time_point mFirst;
    Clock::time_point mLast;
    std::vector<uint32_t> mLatencies;
};

// Writes stamped records through `write` at full speed for `seconds`, or at
// `rate` records per second. Returns the number written.
uint64_t Produce(const std::function<bool(const Record&)>& write, double seconds, double rate) {
    Record record(kRecordSize, 0);
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    uint64_t seq = 0;
    for (auto now = start; now < end; now = Clock::now()) {
        if (rate > 0) {
            std::this_thread::sleep_until(
                start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seq / rate)));
        }
        std::memcpy(record.data(), &seq, sizeof seq);
        const uint64_t sentAt = NowNs();
        std::memcpy(record.data() + kSendTimeOffset, &sentAt, sizeof sentAt);
        if (!write(record)) {
            break;
        }
        ++seq;
    }
    return seq;
}

struct Result {
    std::string mode;
    int clients = 0;
    double perClient = 0;  // records/s, mean over clients
    uint64_t gaps = 0;
    uint32_t p50 = 0;
    uint32_t p99 = 0;
};

Result Summarise(const std::string& mode, std::vector<std::unique_ptr<Receiver>>& receivers, uint64_t sent) {
    // Let the last records arrive.
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    for (auto& receiver : receivers) {
        while (receiver->Records() < sent && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    Result result{mode, static_cast<int>(receivers.size())};
    std::vector<uint32_t> latencies;
    for (auto& receiver : receivers) {
        receiver->Stop();
        result.perClient += receiver->RecordsPerSecond() / receivers.size();
        result.gaps += receiver->Gaps(sent);
        latencies.insert(latencies.end(), receiver->LatenciesUs().begin(), receiver->LatenciesUs().end());
    }
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        result.p50 = latencies[latencies.size() / 2];
        result.p99 = latencies[latencies.size() * 99 / 100];
    }
    return result;
}

std::vector<std::unique_ptr<Receiver>> MakeReceivers(int count) {
    std::vector<std::unique_ptr<Receiver>> receivers;
    for (int i = 0; i < count; ++i) {
        receivers.push_back(std::make_unique<Receiver>());
    }
    return receivers;
}

// The sender writes every record to every client itself.
Result RunDirect(int clients, double seconds, double rate) {
    auto receivers = MakeReceivers(clients);
    std::vector<platform::Socket> links;
    for (auto& receiver : receivers) {
        links.push_back(ConnectTo(receiver->Port()));
    }
    const uint64_t sent = Produce(
        [&](const Record& record) {
            bool ok = true;
            for (auto& link : links) {
                ok = SendAll(link, record.data(), record.size()) && ok;
            }
            return ok;
        },
        seconds, rate);
    return Summarise("direct", receivers, sent);
}

// One read per record from the sender, one write per record per client.
Result RunReference(int clients, double seconds, double rate) {
    auto receivers = MakeReceivers(clients);
    platform::Socket relayListener = Listen(0);
    platform::Socket upstream = ConnectTo(LocalPort(relayListener));
    std::thread relay([&] {
        platform::Socket in = relayListener.Accept();
        std::vector<platform::Socket> outs;
        for (auto& receiver : receivers) {
            outs.push_back(ConnectTo(receiver->Port()));
        }
        Record record(kRecordSize);
        while (RecvAll(in, record.data(), record.size())) {
            for (auto& out : outs) {
                SendAll(out, record.data(), record.size());
            }
        }
    });
    const uint64_t sent =
        Produce([&](const Record& record) { return SendAll(upstream, record.data(), record.size()); }, seconds, rate);
    upstream.ShutdownBoth();
    relay.join();
    return Summarise("reference", receivers, sent);
}

// A downstream client of the router, speaking the message protocol itself.
class RouterClient {
public:
    bool Connect(Receiver*& receiver, std::unique_ptr<Receiver>& owned) {
        platform::Socket front = ConnectTo(26200);
        std::string reply;
        if (!Command(front, "-GetNextAvailablePortNumber", reply)) {
            return false;
        }
        mMessage = ConnectTo(static_cast<uint16_t>(std::stoi(reply.substr(2))));
        if (!Command(mMessage, "-GetNextAvailablePortNumber", reply)) {
            return false;
        }
        const int dataPort = std::stoi(reply.substr(2));
        owned = std::make_unique<Receiver>(static_cast<uint16_t>(dataPort));
        receiver = owned.get();
        return Command(mMessage, "-CreateStream 127.0.0.1 " + std::to_string(dataPort) + " CscAcqEnt", reply) &&
               Command(mMessage, "-OpenStream CSC1 CscAcqEnt", reply) && reply.rfind("0 ", 0) == 0;
    }

private:
    static bool Command(platform::Socket& socket, const std::string& text, std::string& reply) {
        const auto message = protocol::BuildMessage(text.c_str(), static_cast<int32_t>(text.size() + 1));
        unsigned char header[protocol::kFrameOverhead];
        if (!SendAll(socket, message.data(), message.size()) || !RecvAll(socket, header, sizeof header)) {
            return false;
        }
        std::vector<char> body(protocol::ReadLE32(header + protocol::kPreHeaderSize));
        if (!RecvAll(socket, body.data(), body.size())) {
            return false;
        }
        reply.assign(body.data(), strnlen(body.data(), body.size()));
        return true;
    }

    platform::Socket mMessage;
};

Result RunRouter(int clients, double seconds, double rate) {
    plenvar_test::FakeAcquisitionServer server(26100);
    server.SetObjects({{"CSC1", "CscAcqEnt"}});
    const std::string logDir = std::filesystem::temp_directory_path() / "bench_relay_logs";
    std::filesystem::create_directories(logDir);
    router::RouterCore core(logDir);
    if (!server.Start() || core.Start() != 0 || !core.OnConnectToServer("127.0.0.1")) {
        std::fprintf(stderr, "bench_relay: the router could not be set up\n");
        return {"router", clients};
    }
    std::vector<std::unique_ptr<Receiver>> receivers(clients);
    std::vector<RouterClient> links(clients);
    for (int i = 0; i < clients; ++i) {
        Receiver* receiver = nullptr;
        if (!links[i].Connect(receiver, receivers[i])) {
            std::fprintf(stderr, "bench_relay: a client could not open CSC1 through the router\n");
            return {"router", clients};
        }
    }
    const uint64_t sent = Produce([&](const Record& record) { return server.PushData("CscAcqEnt", record); },
                                  seconds, rate);
    Result result = Summarise("router", receivers, sent);
    core.Shutdown();
    return result;
}

void Print(const Result& r) {
    std::printf("%-10s %2d %14.0f %6llu %9u %9u\n", r.mode.c_str(), r.clients, r.perClient,
                static_cast<unsigned long long>(r.gaps), r.p50, r.p99);
    std::fflush(stdout);
}

// Best effort: a private network namespace with its loopback up.
void EnterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0) {
        return;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFFLAGS, &request) == 0) {
        request.ifr_flags |= IFF_UP;
        ioctl(fd, SIOCSIFFLAGS, &request);
    }
    close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const double fullSeconds = argc > 1 ? std::atof(argv[1]) : 1.5;
    const double pacedSeconds = argc > 2 ? std::atof(argv[2]) : 2.0;
    EnterPrivateNetwork();

    std::printf("Full speed, %.1f s per run: 1044-byte records\n", fullSeconds);
    std::printf("%-10s %2s %14s %6s %9s %9s\n", "mode", "N", "records/s each", "gaps", "p50 us", "p99 us");
    for (const int clients : {1, 4, 8}) {
        Print(RunDirect(clients, fullSeconds, 0));
        const Result reference = RunReference(clients, fullSeconds, 0);
        Print(reference);
        const Result routed = RunRouter(clients, fullSeconds, 0);
        Print(routed);
        std::printf("  router / reference at N=%d: %.2f\n", clients,
                    reference.perClient > 0 ? routed.perClient / reference.perClient : 0.0);
    }

    std::printf("\nPaced at %.0f records/s (ten times the simulator's CSC rate), 4 clients, %.1f s\n", kPacedRate,
                pacedSeconds);
    std::printf("%-10s %2s %14s %6s %9s %9s\n", "mode", "N", "records/s each", "gaps", "p50 us", "p99 us");
    const Result direct = RunDirect(4, pacedSeconds, kPacedRate);
    Print(direct);
    Print(RunReference(4, pacedSeconds, kPacedRate));
    const Result routed = RunRouter(4, pacedSeconds, kPacedRate);
    Print(routed);
    std::printf("  router p99 added over direct: %d us\n", static_cast<int>(routed.p99) - static_cast<int>(direct.p99));
    return 0;
}

// Soak run: zorlent-sim (in this process) at a raised rate, the Router
// program in headless mode, and several client-library clients that open
// every object. Once a second the router's resident memory, open
// descriptors and threads are sampled; every client counts gaps in its
// continuous records (a record whose timestamp is not its predecessor's plus
// one record's duration, 16000 us) and the seconds in which it received
// nothing. At the end it prints the growth after the first minute, the gaps
// per client and the silent seconds; the exit status is 0 only when there were
// no gaps, no silent seconds and no change in descriptors or threads.
//
// The ports are the fixed 26100 and 26200, so run it in a private network
// namespace: tests/netns-run.sh build/bench/soak/bench_soak

#include "Plenvar/PlenvarClient.h"
#include "protocol/RecordTypes.h"
#include "simulator/Simulator.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kCscStepUs = 16000;

struct Sample {
    long rssKiB = 0;
    int fds = 0;
    int threads = 0;
};

int CountEntries(const std::string& path) {
    int count = 0;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            count += entry->d_name[0] != '.' ? 1 : 0;
        }
        closedir(dir);
    }
    return count;
}

Sample SampleOf(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    Sample sample;
    std::ifstream status(base + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            sample.rssKiB = std::atol(line.c_str() + 6);
        }
    }
    sample.fds = CountEntries(base + "/fd");
    sample.threads = CountEntries(base + "/task");
    return sample;
}

// One downstream client; counts records and continuity gaps of every
// continuous object it receives.
class SoakClient {
public:
    SoakClient() { mClient.SetCallbackFunctionCSC(&OnCsc, this); }
    ~SoakClient() { mClient.DisconnectFromServer(); }

    bool Start() {
        if (!mClient.ConnectToServer(L"127.0.0.1", true)) {
            return false;
        }
        std::vector<std::wstring> objects;
        std::vector<std::wstring> types;
        if (!mClient.GetZorlentObjectsAndTypes(objects, types)) {
            return false;
        }
        for (const auto& object : objects) {
            if (!mClient.OpenStream(object.c_str())) {
                return false;
            }
        }
        return true;
    }
    uint64_t Records() const { return mRecords.load(); }
    uint64_t Gaps() const { return mGaps.load(); }

private:
    static void OnCsc(void* context, Plenvar::CRRec* records, int count, const wchar_t* name) {
        auto* self = static_cast<SoakClient*>(context);
        std::lock_guard lock(self->mLock);
        for (int i = 0; i < count; ++i) {
            uint64_t& last = self->mLast[name];
            if (last != 0 && records[i].timestamp != last + kCscStepUs) {
                ++self->mGaps;
            }
            last = records[i].timestamp;
            ++self->mRecords;
        }
    }

    Plenvar::PlenvarClient mClient;
    std::mutex mLock;
    std::map<std::wstring, uint64_t> mLast;
    std::atomic<uint64_t> mRecords{0};
    std::atomic<uint64_t> mGaps{0};
};

class RouterChild {
public:
    RouterChild(const std::string& program, const std::string& logDir) {
        std::vector<std::string> argv{program, "--headless", "--connect", "127.0.0.1", "--log-dir", logDir};
        std::vector<char*> args;
        for (auto& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        if (posix_spawn(&mPid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
            mPid = -1;
        }
    }
    ~RouterChild() {
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
    }
    pid_t Pid() const { return mPid; }

private:
    pid_t mPid = -1;
};

std::atomic<bool> gStop{false};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Soak run: simulator, Router and clients for a long while"};
    double minutes = 10;
    double rateScale = 20;
    int clientCount = 4;
    std::string router = ROUTER_PROGRAM;
    app.add_option("--minutes", minutes, "How long to run");
    app.add_option("--rate-scale", rateScale, "The simulator's rate scale");
    app.add_option("--clients", clientCount, "Downstream clients");
    app.add_option("--router", router, "The Router program");
    CLI11_PARSE(app, argc, argv);
    std::signal(SIGINT, [](int) { gStop = true; });

    sim::SimulatorOptions options;
    options.rateScale = rateScale;
    options.log = [](const std::string&) {};
    sim::Simulator simulator(options);
    if (!simulator.Start()) {
        std::fprintf(stderr, "simulator: %s\n", simulator.LastError().c_str());
        return 2;
    }
    const std::string logDir = std::filesystem::temp_directory_path() / ("soak_" + std::to_string(getpid()));
    std::filesystem::create_directories(logDir);
    RouterChild child(router, logDir);
    if (child.Pid() <= 0) {
        std::fprintf(stderr, "could not start %s\n", router.c_str());
        return 2;
    }
    // The router retries its upstream link every 2 s; give it a moment.
    std::this_thread::sleep_for(std::chrono::seconds(3));

    std::vector<std::unique_ptr<SoakClient>> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.push_back(std::make_unique<SoakClient>());
        if (!clients.back()->Start()) {
            std::fprintf(stderr, "client %d could not connect and open its objects\n", i + 1);
            return 2;
        }
    }

    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(minutes * 60);
    Sample first = SampleOf(child.Pid());
    Sample warm{};
    Sample last = first;
    long maxRss = first.rssKiB;
    bool warmTaken = false;
    int second = 0;
    // Seconds in which some client got no continuous record at all: gaps
    // alone cannot show a stream that stopped for good.
    int silentSeconds = 0;
    int firstSilence = -1;
    std::vector<uint64_t> seen(clients.size(), 0);
    while (Clock::now() < end && !gStop) {
        std::this_thread::sleep_until(start + std::chrono::seconds(++second));
        last = SampleOf(child.Pid());
        if (last.threads == 0) {
            std::fprintf(stderr, "the router has gone\n");
            return 1;
        }
        bool silent = false;
        for (size_t i = 0; i < clients.size(); ++i) {
            const uint64_t now = clients[i]->Records();
            silent = silent || now == seen[i];
            seen[i] = now;
        }
        if (silent) {
            ++silentSeconds;
            firstSilence = firstSilence < 0 ? second : firstSilence;
        }
        if (second == 60) {
            warm = last;
            warmTaken = true;
        }
        if (warmTaken) {
            maxRss = std::max(maxRss, last.rssKiB);
        }
        if (second % 60 == 0) {
            uint64_t records = 0;
            uint64_t gaps = 0;
            for (const auto& client : clients) {
                records += client->Records();
                gaps += client->Gaps();
            }
            std::printf("%3d min: router %ld KiB, %d descriptors, %d threads; %llu records, %llu gaps\n",
                        second / 60, last.rssKiB, last.fds, last.threads,
                        static_cast<unsigned long long>(records), static_cast<unsigned long long>(gaps));
            std::fflush(stdout);
        }
    }
    if (!warmTaken) {
        warm = first;
    }

    uint64_t totalGaps = 0;
    int continuousObjects = 0;
    for (const auto& object : simulator.Catalog().Objects()) {
        continuousObjects += object.type->type == protocol::RecordType::CSC ? 1 : 0;
    }
    const double nominal = continuousObjects * 1e6 / kCscStepUs * rateScale;
    std::printf("after %d s at rate scale %.0f with %d clients (nominal %.0f continuous records/s each):\n", second,
                rateScale, clientCount, nominal);
    for (size_t i = 0; i < clients.size(); ++i) {
        std::printf("  client %zu: %llu continuous records (%.0f/s), %llu gaps\n", i + 1,
                    static_cast<unsigned long long>(clients[i]->Records()),
                    static_cast<double>(clients[i]->Records()) / std::max(second, 1),
                    static_cast<unsigned long long>(clients[i]->Gaps()));
        totalGaps += clients[i]->Gaps();
    }
    std::printf("  router resident memory: %ld KiB at start, %ld KiB after the first minute, %ld KiB at the end, "
                "%ld KiB at most\n",
                first.rssKiB, warm.rssKiB, last.rssKiB, maxRss);
    std::printf("  growth after the first minute: %+ld KiB resident (%+ld KiB at most), %+d descriptors, %+d threads\n",
                last.rssKiB - warm.rssKiB, maxRss - warm.rssKiB, last.fds - warm.fds, last.threads - warm.threads);
    std::printf("  total gaps: %llu\n", static_cast<unsigned long long>(totalGaps));
    std::printf("  seconds in which a client received nothing: %d", silentSeconds);
    if (firstSilence >= 0) {
        std::printf(" (first at %d s)", firstSilence);
    }
    std::printf("\n");
    clients.clear();
    std::filesystem::remove_all(logDir);
    const bool clean = totalGaps == 0 && silentSeconds == 0 && last.fds == warm.fds && last.threads == warm.threads;
    return clean ? 0 : 1;
}

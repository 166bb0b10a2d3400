// plenvar-tap end to end: the real program, started as a child process,
// against the simulator on the fixed message port (each test has its own
// network namespace).

#include "simulator/Simulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// One run of the program with its output collected from pipes.
class TapProcess {
public:
    explicit TapProcess(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), PLENVAR_TAP_PATH);
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<char*> argv;
        for (auto& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            mPid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        mOutFd = out[0];
        mErrFd = err[0];
    }

    ~TapProcess() {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        CloseFd(mOutFd);
        CloseFd(mErrFd);
    }

    bool Started() const { return mPid > 0; }

    // Reads output until `text` has appeared on stdout or the time is up.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        while (mOut.find(text) == std::string::npos) {
            if (Clock::now() >= deadline || !ReadSome(deadline)) {
                return false;
            }
        }
        return true;
    }

    void Signal(int signal) { kill(mPid, signal); }

    // Collects the rest of the output and the exit status; -1 when the
    // program had not ended in time (it is then killed).
    int Finish(std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        while ((mOutFd >= 0 || mErrFd >= 0) && ReadSome(deadline)) {
        }
        if (mOutFd >= 0 || mErrFd >= 0) {
            return -1;
        }
        int status = 0;
        waitpid(mPid, &status, 0);
        mPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    const std::string& Out() const { return mOut; }
    const std::string& Err() const { return mErr; }

private:
    static void CloseFd(int& fd) {
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
    }

    // One poll over both pipes; false at the deadline.
    bool ReadSome(Clock::time_point deadline) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms) {
            return false;
        }
        pollfd fds[2] = {{mOutFd, POLLIN, 0}, {mErrFd, POLLIN, 0}};
        int ready = poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        Drain(fds[0], mOutFd, mOut);
        Drain(fds[1], mErrFd, mErr);
        return true;
    }

    static void Drain(const pollfd& polled, int& fd, std::string& into) {
        if (fd < 0 || (polled.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buffer[4096];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
        } else {
            CloseFd(fd);
        }
    }

    pid_t mPid = -1;
    int mOutFd = -1;
    int mErrFd = -1;
    std::string mOut;
    std::string mErr;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class TapProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorOptions options;
        options.log = [](const std::string&) {};
        simulator = std::make_unique<sim::Simulator>(options);
        ASSERT_TRUE(simulator->Start()) << simulator->LastError();
    }

    // Message and data connections all closed; the simulator notices a
    // client's departure on its own threads.
    bool AllClientsGone() const {
        auto gone = [&] { return simulator->ClientCount() == 0 && simulator->DataConnectionCount() == 0; };
        auto deadline = Clock::now() + 3s;
        while (!gone() && Clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        return gone();
    }

    std::unique_ptr<sim::Simulator> simulator;
};

TEST_F(TapProgramTest, PrintsTheRequestedNumberOfRecordsOfTheOpenedObjects) {
    TapProcess tap({"127.0.0.1", "--open", "SE1", "CSC1", "Events", "--count", "40"});
    ASSERT_TRUE(tap.Started());
    ASSERT_EQ(tap.Finish(20s), 0) << tap.Err();
    std::vector<std::string> lines = Lines(tap.Out());
    ASSERT_EQ(lines.size(), 40u) << tap.Out();
    const std::regex record(R"((SEScAcqEnt SE1|CscAcqEnt CSC1|EventAcqEnt Events) \d+ .+)");
    for (const auto& line : lines) {
        EXPECT_TRUE(std::regex_match(line, record)) << line;
    }
    EXPECT_TRUE(AllClientsGone());
}

TEST_F(TapProgramTest, ListsObjectsAndTypes) {
    TapProcess tap({"--list", "127.0.0.1"});
    ASSERT_EQ(tap.Finish(20s), 0) << tap.Err();
    std::vector<std::string> lines = Lines(tap.Out());
    ASSERT_EQ(lines.size(), 1 + simulator->Catalog().Size()) << tap.Out();
    EXPECT_NE(lines[0].find("25 objects"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "SE1 SEScAcqEnt");
    EXPECT_EQ(lines.back(), "VT1 VTAcqEnt");
}

TEST_F(TapProgramTest, ReportsPerObjectRatesOncePerSecond) {
    TapProcess tap({"127.0.0.1", "--rate", "--seconds", "3.5", "--open", "CSC1,Events"});
    ASSERT_EQ(tap.Finish(20s), 0) << tap.Err();
    std::vector<std::string> lines = Lines(tap.Out());
    ASSERT_EQ(lines.size(), 3u) << tap.Out();
    // The first second may be short of records while the streams connect;
    // the later ones carry the continuous channel's 62.5 records a second.
    const std::regex rate(R"(rate CSC1=([0-9.]+)/s Events=([0-9.]+)/s total=[0-9.]+/s)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[2], m, rate)) << lines[2];
    EXPECT_GT(std::stod(m[1]), 30.0);
    EXPECT_LT(std::stod(m[1]), 100.0);
}

TEST_F(TapProgramTest, StopsCleanlyOnInterruptAndTerminate) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        TapProcess tap({"127.0.0.1", "--open-all"});
        ASSERT_TRUE(tap.WaitForOutput("CscAcqEnt", 10s)) << tap.Err();
        tap.Signal(signal);
        EXPECT_EQ(tap.Finish(5s), 0) << tap.Err();
    }
    // Each run closed its streams and its connection on the way out.
    EXPECT_TRUE(AllClientsGone());
}

TEST_F(TapProgramTest, UnknownObjectFailsWithoutOpeningAnything) {
    TapProcess tap({"127.0.0.1", "--open", "CSC1", "NoSuchThing"});
    EXPECT_EQ(tap.Finish(20s), 1);
    EXPECT_NE(tap.Err().find("no object named NoSuchThing"), std::string::npos) << tap.Err();
    EXPECT_TRUE(tap.Out().empty()) << tap.Out();
}

TEST(TapProgramNoServer, CannotConnectAndUsageErrors) {
    TapProcess direct({"127.0.0.1", "--list"});
    EXPECT_EQ(direct.Finish(20s), 1);
    EXPECT_NE(direct.Err().find("cannot connect to 127.0.0.1"), std::string::npos) << direct.Err();

    TapProcess router({"--router", "127.0.0.1"});
    EXPECT_EQ(router.Finish(20s), 1);

    TapProcess noHost({"--list"});
    EXPECT_EQ(noHost.Finish(20s), 2);
    TapProcess both({"--open-all", "--open", "SE1", "127.0.0.1"});
    EXPECT_EQ(both.Finish(20s), 2);
}

}  // namespace

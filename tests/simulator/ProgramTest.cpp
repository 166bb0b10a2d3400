// The zorlent-sim program: serves on the port it reports, logs its
// clients, and stops cleanly on SIGTERM.

#include "RawClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the program with stderr on a pipe.
class Program {
public:
    explicit Program(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        mPid = fork();
        if (mPid == 0) {
            dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(ZORLENT_SIM_PATH)};
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        mErr = fdopen(fds[0], "r");
    }
    ~Program() {
        if (mPid > 0 && !mWaited) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        if (mErr != nullptr) {
            fclose(mErr);
        }
    }

    // The next stderr line, without its line end ("" at the end).
    std::string Line() {
        char buffer[512];
        if (mErr == nullptr || fgets(buffer, sizeof buffer, mErr) == nullptr) {
            return "";
        }
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        return line;
    }

    // Signals the program and returns its exit status (-1 if it did not exit normally).
    int Stop(int signal) {
        kill(mPid, signal);
        int status = 0;
        waitpid(mPid, &status, 0);
        mWaited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t mPid = -1;
    FILE* mErr = nullptr;
    bool mWaited = false;
};

TEST(ProgramTest, ServesLogsClientsAndStopsCleanlyOnSigterm) {
    Program program({"--port", "0"});
    std::smatch match;
    std::string first = program.Line();
    ASSERT_TRUE(std::regex_search(first, match, std::regex("on port ([0-9]+)"))) << first;
    auto port = static_cast<uint16_t>(std::stoi(match[1]));
    {
        simtest::RawClient client(port);
        ASSERT_EQ(client.Text("-GetApplicationName"), "0 zorlent-sim");
    }
    EXPECT_NE(program.Line().find("connected"), std::string::npos);
    EXPECT_NE(program.Line().find("disconnected"), std::string::npos);
    EXPECT_EQ(program.Stop(SIGTERM), 0);
}

TEST(ProgramTest, RefusesAnUnreadableObjectList) {
    Program program({"--port", "0", "--objects", "/nonexistent/objects.txt"});
    EXPECT_NE(program.Line(), "");
    EXPECT_NE(program.Stop(0), 0);
}

}  // namespace

#pragma once
// A program started by a test, with its standard input and output on pipes.
// The destructor kills it (if still running) and reaps it.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace plenvar_test {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        int toChild[2];
        int fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        std::vector<char*> args;
        for (const auto& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        if (posix_spawn(&mPid, args[0], &actions, nullptr, args.data(), environ) != 0) {
            mPid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        mIn = toChild[1];
        mOut = fromChild[0];
    }

    ~ChildProcess() {
        if (mPid > 0 && !mReaped) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
        if (mIn >= 0) {
            close(mIn);
        }
        if (mOut >= 0) {
            close(mOut);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return mPid > 0; }
    pid_t Pid() const { return mPid; }

    bool WriteLine(const std::string& line) {
        const std::string text = line + "\n";
        return write(mIn, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // One line of the child's output without its line end; false on time-out
    // or end of output.
    bool ReadLine(std::string& line, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto end = mBuffered.find('\n');
            if (end != std::string::npos) {
                line = mBuffered.substr(0, end);
                mBuffered.erase(0, end + 1);
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{mOut, POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char chunk[512];
            const ssize_t got = read(mOut, chunk, sizeof chunk);
            if (got <= 0) {
                return false;
            }
            mBuffered.append(chunk, static_cast<size_t>(got));
        }
    }

    // Waits for the child to end: its exit status, or -1 on time-out (it is
    // then still running) or when it was ended by a signal.
    int WaitForExit(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(mPid, &status, WNOHANG);
            if (done == mPid) {
                mReaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t mPid = -1;
    bool mReaped = false;
    int mIn = -1;
    int mOut = -1;
    std::string mBuffered;
};

}  // namespace plenvar_test

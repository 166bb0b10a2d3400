#include "VirtualDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace gui_test {

namespace {

// Reads the display number Xvfb writes (a line) within the time-out.
bool ReadDisplayNumber(int fd, std::string& number) {
    char buffer[32];
    for (int waited = 0; waited < 10000;) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, 200);
        if (polled == 0) {
            waited += 200;
            continue;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        number.append(buffer, static_cast<size_t>(got));
        if (number.find('\n') != std::string::npos) {
            number.erase(number.find('\n'));
            return !number.empty();
        }
    }
    return false;
}

}  // namespace

VirtualDisplay::~VirtualDisplay() {
    if (mPid <= 0) {
        return;
    }
    // An X server that does not end on request within 2 s is killed, so a
    // test process can never hang on its way out.
    ::kill(mPid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(mPid, nullptr, WNOHANG) == mPid) {
            return;
        }
        ::usleep(10000);
    }
    ::kill(mPid, SIGKILL);
    ::waitpid(mPid, nullptr, 0);
}

bool VirtualDisplay::Start() {
    int fds[2];
    if (::pipe(fds) != 0) {
        mError = "pipe failed";
        return false;
    }
    mPid = ::fork();
    if (mPid == 0) {
        // The server must not outlive the tests, nor hold their output open.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        const int devNull = ::open("/dev/null", O_RDWR);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            ::dup2(devNull, STDOUT_FILENO);
            ::dup2(devNull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (mPid < 0) {
        ::close(fds[0]);
        mError = "fork failed";
        return false;
    }
    std::string number;
    const bool started = ReadDisplayNumber(fds[0], number);
    ::close(fds[0]);
    if (!started) {
        mError = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

}  // namespace gui_test

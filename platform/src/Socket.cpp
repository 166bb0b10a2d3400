#include "platform/Socket.h"

#include "platform/SocketError.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

timeval ToTimeval(int milliseconds) {
    timeval tv{};
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = (milliseconds % 1000) * 1000;
    return tv;
}

int TimeoutAware(int err) {
    // A receive or send time-out shows as EAGAIN on a blocking socket.
    return (err == EAGAIN || err == EWOULDBLOCK) ? kWsaEtimedout : WsaFromErrno(err);
}

bool SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(fd, F_SETFL, flags) == 0;
}

}  // namespace

Socket::~Socket() {
    int fd = mFd.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

Socket::Socket(Socket&& other) noexcept : mFd(other.mFd.exchange(-1)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        int old = mFd.exchange(other.mFd.exchange(-1));
        if (old >= 0) {
            ::close(old);
        }
    }
    return *this;
}

Socket Socket::CreateTcp() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        CaptureErrno();
    }
    return Socket(fd);
}

bool Socket::CreatePair(Socket& first, Socket& second) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        CaptureErrno();
        first = Socket();
        second = Socket();
        return false;
    }
    first = Socket(fds[0]);
    second = Socket(fds[1]);
    return true;
}

bool Socket::Close() {
    int fd = mFd.exchange(-1);
    if (fd < 0) {
        SetLastSocketError(kWsaEnotsock);
        return false;
    }
    if (::close(fd) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

void Socket::ShutdownBoth() {
    int fd = mFd.load();
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
    }
}

bool Socket::Bind(uint32_t address, uint16_t port) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(port);
    if (::bind(mFd.load(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

bool Socket::Listen(int backlog) {
    if (::listen(mFd.load(), backlog) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

Socket Socket::Accept() {
    for (;;) {
        int fd = ::accept4(mFd.load(), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            return Socket(fd);
        }
        if (errno != EINTR && errno != ECONNABORTED) {
            CaptureErrno();
            return Socket();
        }
    }
}

bool Socket::Connect(const sockaddr_in& address, int timeoutMs) {
    int fd = mFd.load();
    const auto* addr = reinterpret_cast<const sockaddr*>(&address);
    if (timeoutMs < 0) {
        if (::connect(fd, addr, sizeof address) != 0) {
            CaptureErrno();
            return false;
        }
        return true;
    }
    if (!SetBlocking(fd, false)) {
        CaptureErrno();
        return false;
    }
    int rc = ::connect(fd, addr, sizeof address);
    if (rc != 0 && errno != EINPROGRESS) {
        CaptureErrno();
        SetBlocking(fd, true);
        return false;
    }
    if (rc != 0) {
        pollfd p{fd, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&p, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            ready == 0 ? SetLastSocketError(kWsaEtimedout) : (void)CaptureErrno();
            SetBlocking(fd, true);
            return false;
        }
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
            SetLastSocketError(WsaFromErrno(err));
            SetBlocking(fd, true);
            return false;
        }
    }
    SetBlocking(fd, true);
    return true;
}

long Socket::Send(const void* data, size_t length) {
    for (;;) {
        ssize_t n = ::send(mFd.load(), data, length, MSG_NOSIGNAL);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EINTR) {
            SetLastSocketError(TimeoutAware(errno));
            return -1;
        }
    }
}

long Socket::Recv(void* data, size_t length) {
    for (;;) {
        ssize_t n = ::recv(mFd.load(), data, length, 0);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EINTR) {
            SetLastSocketError(TimeoutAware(errno));
            return -1;
        }
    }
}

long Socket::RecvExact(void* data, size_t length, int timeoutMs) {
    auto* bytes = static_cast<unsigned char*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t got = 0;
    while (got < length) {
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            int ready = left.count() > 0 ? WaitReadable(static_cast<int>(left.count())) : 0;
            if (ready != 1) {
                if (ready == 0) {
                    SetLastSocketError(kWsaEtimedout);
                }
                return -1;
            }
        }
        long n = Recv(bytes + got, length - got);
        if (n <= 0) {
            return n;
        }
        got += static_cast<size_t>(n);
    }
    return static_cast<long>(got);
}

int Socket::WaitReadable(int timeoutMs) {
    pollfd p{mFd.load(), POLLIN, 0};
    for (;;) {
        int ready = ::poll(&p, 1, timeoutMs);
        if (ready >= 0) {
            return ready > 0 ? 1 : 0;
        }
        if (errno != EINTR) {
            CaptureErrno();
            return -1;
        }
    }
}

bool Socket::SetRecvTimeout(int milliseconds) {
    timeval tv = ToTimeval(milliseconds);
    if (::setsockopt(mFd.load(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

bool Socket::SetSendTimeout(int milliseconds) {
    timeval tv = ToTimeval(milliseconds);
    if (::setsockopt(mFd.load(), SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

bool Socket::SetNoDelay(bool on) {
    int value = on ? 1 : 0;
    if (::setsockopt(mFd.load(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

bool Socket::SetReuseAddress(bool on) {
    int value = on ? 1 : 0;
    if (::setsockopt(mFd.load(), SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) != 0) {
        CaptureErrno();
        return false;
    }
    return true;
}

bool Socket::LocalAddress(sockaddr_in& address) const {
    socklen_t len = sizeof address;
    if (::getsockname(mFd.load(), reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        CaptureErrno();
        return false;
    }
    return address.sin_family == AF_INET;
}

bool Socket::PeerAddress(sockaddr_in& address) const {
    socklen_t len = sizeof address;
    if (::getpeername(mFd.load(), reinterpret_cast<sockaddr*>(&address), &len) != 0) {
        CaptureErrno();
        return false;
    }
    return address.sin_family == AF_INET;
}

}  // namespace platform

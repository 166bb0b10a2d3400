#pragma once
// A stream socket (TCP/IPv4, or one end of a local pair) that closes itself.
// Every failing call records its Windows Sockets code for LastSocketError()
// before it returns.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <netinet/in.h>

namespace platform {

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : mFd(fd) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A new IPv4 stream socket; invalid on failure.
    static Socket CreateTcp();
    // Two local stream sockets connected to each other (no address, no
    // listener); false, with both left invalid, on failure.
    static bool CreatePair(Socket& first, Socket& second);

    bool IsValid() const { return mFd.load() >= 0; }
    int Handle() const { return mFd.load(); }

    // Closes the descriptor. False when close() failed (the descriptor is
    // given up either way) or when there was nothing to close.
    bool Close();
    // Shuts both directions down so that a call blocked in another thread
    // (accept, recv, send) returns. The descriptor stays open.
    void ShutdownBoth();

    // Binds to the IPv4 address (host byte order; 0 = any) and port.
    bool Bind(uint32_t address, uint16_t port);
    bool Listen(int backlog);
    Socket Accept();
    // Connects; with timeoutMs >= 0 gives up after that long (WSAETIMEDOUT).
    bool Connect(const sockaddr_in& address, int timeoutMs = -1);

    // One send() without SIGPIPE: bytes sent, or -1.
    long Send(const void* data, size_t length);
    // One recv(): bytes received, 0 when the peer closed, or -1.
    // A time-out set with SetRecvTimeout fails with WSAETIMEDOUT.
    long Recv(void* data, size_t length);
    // Receives exactly `length` bytes, across as many recv() calls as it
    // takes: `length`, 0 when the peer closed first, or -1 on an error or
    // when timeoutMs (>= 0) passes first (WSAETIMEDOUT).
    long RecvExact(void* data, size_t length, int timeoutMs = -1);
    // Waits until data (or end of stream) can be read: 1 ready, 0 time-out, -1 error.
    int WaitReadable(int timeoutMs);

    bool SetRecvTimeout(int milliseconds);
    bool SetSendTimeout(int milliseconds);
    bool SetNoDelay(bool on);
    // Lets a listening socket bind a port that still has connections of an
    // earlier run in TIME_WAIT.
    bool SetReuseAddress(bool on);
    bool LocalAddress(sockaddr_in& address) const;
    bool PeerAddress(sockaddr_in& address) const;

private:
    std::atomic<int> mFd{-1};
};

}  // namespace platform

#pragma once
// Small helpers the socket-fed fuzz targets share: loopback addresses, whole
// writes and reads with a deadline, and a hard stop when a step that must end
// does not (libFuzzer then keeps the input as a crash).

#include "platform/Resolve.h"
#include "platform/Socket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>

namespace fuzzsupport {

inline sockaddr_in Loopback(int port) { return platform::MakeAddress(0x7F000001u, static_cast<uint16_t>(port)); }

[[noreturn]] inline void Hang(const char* what) {
    std::fprintf(stderr, "fuzz: %s did not end within its deadline\n", what);
    std::abort();
}

// Writes everything unless the peer goes away first.
inline void WriteAll(platform::Socket& socket, const uint8_t* data, size_t size) {
    size_t sent = 0;
    while (sent < size) {
        long n = socket.Send(data + sent, size - sent);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

// Reads and drops bytes until the peer closes; aborts when that takes longer
// than `limitMs`.
inline void DrainUntilClosed(platform::Socket& socket, int limitMs, const char* what) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    char buffer[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            Hang(what);
        }
        int ready = socket.WaitReadable(static_cast<int>(left.count()));
        if (ready < 0) {
            return;
        }
        if (ready == 1 && socket.Recv(buffer, sizeof buffer) <= 0) {
            return;
        }
    }
}

inline void ShutdownWrite(platform::Socket& socket) { ::shutdown(socket.Handle(), SHUT_WR); }

}  // namespace fuzzsupport

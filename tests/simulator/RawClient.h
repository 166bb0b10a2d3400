#pragma once
// The client side of the tests: framed commands over a plain loopback
// socket, and a listening socket for the data connections.

#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "protocol/Framing.h"

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace simtest {

inline bool ReadExact(platform::Socket& socket, void* data, size_t size) {
    return socket.RecvExact(data, size) == static_cast<long>(size);
}

inline platform::Socket ConnectLoopback(uint16_t port) {
    platform::Socket socket = platform::Socket::CreateTcp();
    if (!socket.Connect(platform::MakeAddress(0x7F000001, port), 2000)) {
        return platform::Socket();
    }
    socket.SetRecvTimeout(5000);
    return socket;
}

class RawClient {
public:
    explicit RawClient(uint16_t port) : mSocket(ConnectLoopback(port)) {}

    bool Connected() const { return mSocket.IsValid(); }
    platform::Socket& Socket() { return mSocket; }

    bool SendBytes(const void* data, size_t size) {
        return mSocket.Send(data, size) == static_cast<long>(size);
    }

    // Sends the command as a text body; false when no whole reply came back.
    bool Command(const std::string& text, std::vector<unsigned char>& reply) {
        std::vector<unsigned char> message =
            protocol::BuildMessage(text.c_str(), static_cast<int32_t>(text.size() + 1));
        if (!SendBytes(message.data(), message.size())) {
            return false;
        }
        unsigned char prefix[protocol::kFrameOverhead];
        int32_t version = 0;
        if (!ReadExact(mSocket, prefix, sizeof prefix) ||
            protocol::CheckPreHeader(prefix, version) != protocol::PreHeaderCheck::Accepted) {
            return false;
        }
        int32_t size = static_cast<int32_t>(protocol::ReadLE32(prefix + protocol::kPreHeaderSize));
        if (size <= 0) {
            return false;
        }
        reply.assign(static_cast<size_t>(size), 0);
        return ReadExact(mSocket, reply.data(), reply.size());
    }

    // A text reply without its NUL; "<no reply>" when none came, and
    // "<not one NUL at the end>" when the body is not text plus one NUL.
    std::string Text(const std::string& command) {
        std::vector<unsigned char> reply;
        if (!Command(command, reply)) {
            return "<no reply>";
        }
        if (reply.back() != 0 || std::memchr(reply.data(), 0, reply.size() - 1) != nullptr) {
            return "<not one NUL at the end>";
        }
        return std::string(reply.begin(), reply.end() - 1);
    }

private:
    platform::Socket mSocket;
};

// A listening loopback socket on an ephemeral port, for "-CreateStream".
class DataListener {
public:
    DataListener() : mSocket(platform::Socket::CreateTcp()) {
        mSocket.Bind(0x7F000001, 0);
        mSocket.Listen(4);
        sockaddr_in local{};
        mSocket.LocalAddress(local);
        mPort = ntohs(local.sin_port);
    }

    uint16_t Port() const { return mPort; }

    platform::Socket Accept(int timeoutMs = 5000) {
        if (mSocket.WaitReadable(timeoutMs) != 1) {
            return platform::Socket();
        }
        return mSocket.Accept();
    }

private:
    platform::Socket mSocket;
    uint16_t mPort = 0;
};

}  // namespace simtest

#pragma once
// Test helpers: a downstream client that speaks the framing by hand, a data
// port that accepts the router's stream connection, a scripted upstream and
// a server list fixture.

#include "NetworkServerContainer.h"
#include "PlenvarServerLogFile.h"
#include "Upstream.h"
#include "platform/Resolve.h"
#include "platform/Socket.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace routertest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

inline sockaddr_in Loopback(int port) { return platform::MakeAddress(0x7F000001u, static_cast<uint16_t>(port)); }

// Polls `done` until it holds or `limit` passes.
template <typename F>
bool WaitUntil(F done, std::chrono::milliseconds limit = 3000ms) {
    auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class RawClient {
public:
    bool Connect(int port) {
        return WaitUntil([&] {
            mSocket = platform::Socket::CreateTcp();
            return mSocket.Connect(Loopback(port), 1000);
        });
    }
    bool SendBytes(const void* data, size_t length) {
        return mSocket.Send(data, length) == static_cast<long>(length);
    }
    bool Send(const std::string& command) {
        auto message = protocol::BuildMessage(command.c_str(), static_cast<int32_t>(command.size() + 1));
        return SendBytes(message.data(), message.size());
    }
    // One framed message's body; false on time-out, close or bad framing.
    bool ReadMessage(std::string& body, int timeoutMs = 5000) {
        unsigned char prefix[protocol::kFrameOverhead];
        if (!ReadExact(prefix, sizeof prefix, timeoutMs)) {
            return false;
        }
        int32_t version = 0;
        if (protocol::CheckPreHeader(prefix, version) != protocol::PreHeaderCheck::Accepted) {
            return false;
        }
        int32_t size = static_cast<int32_t>(protocol::ReadLE32(prefix + protocol::kPreHeaderSize));
        body.assign(static_cast<size_t>(size), '\0');
        return ReadExact(body.data(), body.size(), timeoutMs);
    }
    // The reply text up to its zero byte; "<no reply>" when none came.
    std::string ReadText(int timeoutMs = 5000) {
        std::string body;
        if (!ReadMessage(body, timeoutMs)) {
            return "<no reply>";
        }
        return std::string(body.c_str());
    }
    std::string Command(const std::string& command) {
        if (!Send(command)) {
            return "<not sent>";
        }
        return ReadText();
    }
    bool ReadExact(void* data, size_t length, int timeoutMs) {
        return mSocket.RecvExact(data, length, timeoutMs) == static_cast<long>(length);
    }
    // True when the router ends the connection within the time (any bytes
    // still in flight are read and dropped).
    bool WaitClosed(int timeoutMs = 3000) {
        auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        char buffer[4096];
        while (Clock::now() < end) {
            if (mSocket.WaitReadable(50) == 1 && mSocket.Recv(buffer, sizeof buffer) <= 0) {
                return true;
            }
        }
        return false;
    }
    void Close() { mSocket.Close(); }
    platform::Socket& Socket() { return mSocket; }

private:
    platform::Socket mSocket;
};

// A client's listening data port; accepts the router's stream connection.
class DataPort {
public:
    explicit DataPort(int port = 0, int receiveBuffer = 0) {
        mListener = platform::Socket::CreateTcp();
        if (receiveBuffer > 0) {
            ::setsockopt(mListener.Handle(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        mListener.SetReuseAddress(true);
        mListener.Bind(0x7F000001u, static_cast<uint16_t>(port));
        mListener.Listen(4);
        sockaddr_in local{};
        mListener.LocalAddress(local);
        mPort = ntohs(local.sin_port);
    }
    int Port() const { return mPort; }
    bool Accept(int timeoutMs = 3000) {
        if (mListener.WaitReadable(timeoutMs) != 1) {
            return false;
        }
        mConnection = mListener.Accept();
        return mConnection.IsValid();
    }
    // Everything that arrives within `quietMs` of the last byte.
    std::string ReadAvailable(int quietMs = 200) {
        std::string data;
        char buffer[65536];
        while (mConnection.WaitReadable(quietMs) == 1) {
            long n = mConnection.Recv(buffer, sizeof buffer);
            if (n <= 0) {
                mClosed = true;
                break;
            }
            data.append(buffer, static_cast<size_t>(n));
        }
        return data;
    }
    bool ReadExact(std::string& data, size_t length, int timeoutMs = 3000) {
        data.assign(length, '\0');
        return mConnection.RecvExact(data.data(), length, timeoutMs) == static_cast<long>(length);
    }
    bool Closed() const { return mClosed; }
    platform::Socket& Connection() { return mConnection; }

private:
    platform::Socket mListener;
    platform::Socket mConnection;
    int mPort = 0;
    bool mClosed = false;
};

class FakeUpstream : public router::Upstream {
public:
    bool SendCommandText(const std::wstring& command, std::wstring& reply) override {
        std::lock_guard<std::mutex> lock(mLock);
        mCalls.push_back(L"text " + command);
        if (!mConnected) {
            return false;
        }
        reply = L"0 upstream answer to " + command;
        return true;
    }
    bool SendCommandRaw(const std::wstring& command, std::vector<char>& reply) override {
        std::lock_guard<std::mutex> lock(mLock);
        mCalls.push_back(L"raw " + command);
        reply = mRawReply;
        return mConnected;
    }
    bool OpenStream(const std::wstring& name) override { return Record(L"open " + name); }
    bool CloseStream(const std::wstring& name) override { return Record(L"close " + name); }
    bool RefreshObjectLists() override { return Record(L"refresh"); }

    std::vector<std::wstring> Calls() {
        std::lock_guard<std::mutex> lock(mLock);
        return mCalls;
    }
    void SetConnected(bool connected) {
        std::lock_guard<std::mutex> lock(mLock);
        mConnected = connected;
    }
    void SetRawReply(std::vector<char> reply) {
        std::lock_guard<std::mutex> lock(mLock);
        mRawReply = std::move(reply);
    }

private:
    bool Record(const std::wstring& call) {
        std::lock_guard<std::mutex> lock(mLock);
        mCalls.push_back(call);
        return mConnected;
    }
    std::mutex mLock;
    std::vector<std::wstring> mCalls;
    std::vector<char> mRawReply;
    bool mConnected = true;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline size_t CountOccurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// A started server list around a fake upstream, its log in a file of its own.
class ServerListTest : public ::testing::Test {
protected:
    virtual router::ServerOptions Options() {
        router::ServerOptions options;
        options.monitorIntervalMs = 50;
        return options;
    }
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        mLogPath = ::testing::TempDir() + "router-" + info->test_suite_name() + "-" + info->name() + ".log";
        mList = std::make_unique<router::NetworkServerContainer>(&mUpstream, Options());
        mList->SetMessageNotifier([this](const std::string& text) {
            std::lock_guard<std::mutex> lock(mNoticeLock);
            mNotices.push_back(text);
        });
        mList->SetLogFileName(mLogPath);
        ASSERT_EQ(0, mList->StartServer());
    }
    void TearDown() override {
        mList.reset();
        router::ServerLog().Close();
    }
    std::string Log() const { return ReadFile(mLogPath); }
    std::vector<std::string> Notices() {
        std::lock_guard<std::mutex> lock(mNoticeLock);
        return mNotices;
    }
    // Asks the front for a port and reconnects there, as a client does.
    int ConnectClient(RawClient& client) {
        RawClient front;
        if (!front.Connect(router::NetworkServerContainer::kFrontPort)) {
            return -1;
        }
        std::string reply = front.Command("-GetNextAvailablePortNumber");
        front.Close();
        if (reply.rfind("0 ", 0) != 0) {
            return -1;
        }
        int port = std::stoi(reply.substr(2));
        return client.Connect(port) ? port : -1;
    }
    // Sets up a data stream of the type on the client's server.
    bool CreateStream(RawClient& client, DataPort& port, const std::string& type) {
        std::string reply = client.Command("-CreateStream 127.0.0.1 " + std::to_string(port.Port()) + " " + type);
        return reply == "0 Attempt to process CreateStream command was successful" && port.Accept();
    }

    FakeUpstream mUpstream;
    std::unique_ptr<router::NetworkServerContainer> mList;
    std::string mLogPath;
    std::mutex mNoticeLock;
    std::vector<std::string> mNotices;
};

}  // namespace routertest

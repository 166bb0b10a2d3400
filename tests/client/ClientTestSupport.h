#pragma once
// A NetworkNodeClient with its log in a temporary file, a fake server to talk
// to, and the log read back as (tag, message) pairs.

#include "FakeAcquisitionServer.h"
#include "NetworkNodeClient.h"

#include "platform/Latin1.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

namespace plenvar_test {

struct LogLine {
    std::string tag;  // "NOTICE", "ERROR", ...
    std::string message;
};

inline std::vector<LogLine> ReadLog(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::regex entry(
        R"(-\* (\w+) \*- \(mm/dd/yyyy\): \d\d/\d\d/\d{4} At Time: \d\d:\d\d:\d\d - (.*))");
    std::vector<LogLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        std::smatch m;
        if (std::regex_match(line, m, entry)) {
            lines.push_back({m[1], m[2]});
        }
        start = end + 2;
    }
    return lines;
}

inline Bytes PreHeader(int32_t version, uint32_t validation) {
    Bytes bytes(8);
    protocol::WriteLE32(bytes.data(), static_cast<uint32_t>(version));
    protocol::WriteLE32(bytes.data() + 4, validation);
    return bytes;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes SizeHeader(int32_t size) {
    Bytes bytes(4);
    protocol::WriteLE32(bytes.data(), static_cast<uint32_t>(size));
    return bytes;
}

class ClientFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        mLogPath = ::testing::TempDir() + "/netclient_" + std::to_string(::getpid()) + "_" +
                   std::to_string(++counter) + ".txt";
        ASSERT_EQ(mClient.LogFile().OpenLog(platform::Latin1ToWide(mLogPath)), 0);
        ASSERT_TRUE(mServer.Start());
    }

    bool Connect() { return mClient.InitializeClient(L"127.0.0.1", mServer.Port()); }

    std::vector<LogLine> Log() const { return ReadLog(mLogPath); }

    bool Logged(const std::string& tag, const std::string& message) const {
        std::vector<LogLine> lines = Log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const LogLine& l) { return l.tag == tag && l.message == message; });
    }

    size_t LogSize() const { return Log().size(); }

    // Sends a command and receives the reply text.
    bool Exchange(const std::wstring& command, std::wstring& reply) {
        return mClient.SendMessage(command) && mClient.RecieveMessage(reply);
    }

    std::string mLogPath;
    FakeAcquisitionServer mServer;
    Plenvar::NetworkNodeClient mClient;
};

}  // namespace plenvar_test

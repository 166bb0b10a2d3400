// The built Router program, headless, against the simulator in this process
// and client-library clients.

#include "ChildProcess.h"
#include "RouterE2eSupport.h"
#include "platform/Socket.h"
#include "platform/Resolve.h"
#include "simulator/Simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <thread>

namespace plenvar_test {
namespace {

using namespace std::chrono_literals;

std::unique_ptr<sim::Simulator> StartSimulator() {
    sim::SimulatorOptions options;
    options.log = [](const std::string&) {};
    auto simulator = std::make_unique<sim::Simulator>(options);
    EXPECT_TRUE(simulator->Start()) << simulator->LastError();
    return simulator;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool FrontPortListens() {
    platform::Socket probe = platform::Socket::CreateTcp();
    return probe.Connect(platform::MakeAddress(INADDR_LOOPBACK, 26200), 500);
}

std::unique_ptr<ChildProcess> StartRouter(const std::string& logDir) {
    auto router = std::make_unique<ChildProcess>(
        std::vector<std::string>{ROUTER_PROGRAM, "--headless", "--connect", "127.0.0.1", "--log-dir", logDir});
    EXPECT_TRUE(router->Started());
    EXPECT_TRUE(WaitUntil(FrontPortListens, 5s));
    return router;
}

TEST(RouterProgramTest, WithoutHeadlessSaysThereIsNoWindowAndExits2) {
    ChildProcess router({ROUTER_PROGRAM});
    EXPECT_EQ(router.WaitForExit(5s), 2);
    ChildProcess help({ROUTER_PROGRAM, "--help"});
    std::string line;
    ASSERT_TRUE(help.ReadLine(line, 5s));
    EXPECT_NE(line.find("Router"), std::string::npos);
    EXPECT_EQ(help.WaitForExit(5s), 0);
}

TEST(RouterProgramTest, StopSignalsShutDownInOrderWithBothLogsClosed) {
    for (const int stopSignal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(stopSignal);
        auto simulator = StartSimulator();
        const std::string logDir = MakeLogDirectory("signal");
        auto router = StartRouter(logDir);
        Downstream client;
        ASSERT_TRUE(client.Connect());
        ASSERT_TRUE(client.Client().OpenStream(L"CSC1"));
        ASSERT_TRUE(client.WaitForRecords(3, 5s));

        const auto sent = std::chrono::steady_clock::now();
        ASSERT_EQ(kill(router->Pid(), stopSignal), 0);
        EXPECT_EQ(router->WaitForExit(3s), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 3s);

        const std::string serverLog = ReadFile(logDir + "/Router Plenvar Server Log File.txt");
        const std::string clientLog = ReadFile(logDir + "/Router Plenvar Client Log File.txt");
        EXPECT_TRUE(EndsWith(serverLog, "Log File Closed - End of File\n")) << serverLog.substr(0, 200);
        EXPECT_NE(clientLog.find("Plenvar Log File Opened"), std::string::npos);
        EXPECT_NE(clientLog.rfind("Log File Closed - End of File"), std::string::npos);
        EXPECT_EQ(clientLog.find_first_not_of("\r\n", clientLog.rfind("Log File Closed - End of File") + 29),
                  std::string::npos);
    }
}

TEST(RouterProgramTest, LostUpstreamIsNoticedAndRetriedWhileDownstreamClientsStay) {
    auto simulator = StartSimulator();
    auto router = StartRouter(MakeLogDirectory("killed"));
    Downstream client;
    ASSERT_TRUE(client.Connect());
    ASSERT_TRUE(client.Client().OpenStream(L"CSC1"));
    ASSERT_TRUE(client.WaitForRecords(3, 5s));

    const auto killed = std::chrono::steady_clock::now();
    simulator->KillConnections();
    std::this_thread::sleep_for(100ms);
    const size_t afterKill = client.RecordCount();
    // The watch ticks once a second and the first retry follows at once.
    ASSERT_TRUE(client.WaitForRecords(afterKill + 5, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 3s);
    EXPECT_TRUE(client.Client().AreWeConnected());
}

TEST(RouterProgramTest, RetriesUntilTheServerAppears) {
    auto router = StartRouter(MakeLogDirectory("late"));
    Downstream client;
    ASSERT_TRUE(client.Connect());
    std::this_thread::sleep_for(2500ms);
    auto simulator = StartSimulator();
    ASSERT_TRUE(WaitUntil([&] { return simulator->ClientCount() >= 1; }, 5s));
    ASSERT_TRUE(client.Client().OpenStream(L"CSC2"));
    EXPECT_TRUE(client.WaitForRecords(3, 5s));
}

}  // namespace
}  // namespace plenvar_test

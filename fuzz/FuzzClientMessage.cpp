// The client's message reception: a loopback server accepts the client's
// message connection and answers with the fuzz input, then closes. The client
// connects (its first receive takes the application-name reply), then
// receives replies alternately as raw messages and as split command replies
// until the stream runs dry or fails. Every step must end within its
// deadline, and the client must end up disconnected and reusable.

#include "FuzzSupport.h"
#include "NetworkNodeClient.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Harness {
    platform::Socket listener = platform::Socket::CreateTcp();
    int port = 0;
    Plenvar::NetworkNodeClient client;

    Harness() {
        sockaddr_in local{};
        if (!listener.Bind(0x7F000001u, 0) || !listener.Listen(4) || !listener.LocalAddress(local)) {
            std::abort();
        }
        port = ntohs(local.sin_port);
        client.SetReplyTimeout(std::chrono::milliseconds(2000));
        client.SetConnectTimeout(std::chrono::milliseconds(2000));
    }
};

void Serve(platform::Socket& listener, const uint8_t* data, size_t size) {
    platform::Socket peer = listener.Accept();
    if (!peer.IsValid()) {
        return;
    }
    fuzzsupport::WriteAll(peer, data, size);
    fuzzsupport::ShutdownWrite(peer);
    fuzzsupport::DrainUntilClosed(peer, 10000, "client disconnect");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Harness harness;
    std::thread server(Serve, std::ref(harness.listener), data, size);

    if (harness.client.InitializeClient(L"127.0.0.1", harness.port)) {
        for (int turn = 0; harness.client.IsConnected(); ++turn) {
            if (turn % 2 == 0) {
                std::unique_ptr<char[]> buffer;
                int bodySize = -1;
                if (!harness.client.RecieveMessage(buffer, bodySize)) {
                    break;
                }
                if (bodySize <= 0 || !buffer) {
                    std::abort();
                }
            } else {
                int code = 0;
                std::vector<std::wstring> words;
                if (!harness.client.ReceiveCommandReply(code, words)) {
                    break;
                }
            }
        }
    }
    if (harness.client.IsConnected()) {
        harness.client.ShutdownClient();
    }
    server.join();
    if (harness.client.IsConnected()) {
        std::abort();
    }
    return 0;
}

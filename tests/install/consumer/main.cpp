// Uses the installed library the way an application does, without a server:
// the calls must link, and the unconnected client must behave as documented.
#include <Plenvar/PlenvarClient.h>

#include <cstdio>
#include <memory>

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

void OnSpike(void*, Plenvar::SERec*, int, const wchar_t*) {}

}  // namespace

int main() {
    Plenvar::PlenvarClient* client = Plenvar::GetNewPlenvarClient();
    Expect(client != nullptr, "GetNewPlenvarClient");
    if (client == nullptr) {
        return 1;
    }
    client->SetCallbackFunctionSE(&OnSpike, nullptr);
    Expect(client->GetClientVersionString() == L"2.1.0 ", "version text");
    Expect(client->GetServerPCName() == L"Not Connected", "server name while unconnected");
    Expect(!client->ConnectToServer(L"127.0.0.1", false), "connect with no server listening");
    Expect(!client->AreWeConnected(), "AreWeConnected while unconnected");
    Plenvar::DeletePlenvarClient(client);

    Plenvar::PlenvarClient onStack;
    Expect(onStack.GetServerApplicationName() == L"Not Connected", "application name while unconnected");

    std::puts(failures == 0 ? "consumer ok" : "consumer failed");
    return failures == 0 ? 0 : 1;
}

#pragma once
// One run of plenvar-tap: connect, list, open, receive until told to stop,
// close the streams and disconnect.

#include "RecordSink.h"
#include "TapOptions.h"

#include <Plenvar/PlenvarClient.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tap {

class TapSession {
public:
    TapSession(TapOptions options, std::FILE* out, std::FILE* err);
    ~TapSession();
    TapSession(const TapSession&) = delete;
    TapSession& operator=(const TapSession&) = delete;

    // The program's exit status. stopSignals must be blocked in every thread
    // (block them before the first client exists); they end the streaming.
    int Run(const sigset_t& stopSignals);

private:
    struct ClientDeleter {
        void operator()(Plenvar::PlenvarClient* client) const { Plenvar::DeletePlenvarClient(client); }
    };

    bool Connect();
    bool FetchObjects();
    void PrintObjects();
    bool OpenRequested();
    void Receive(const sigset_t& stopSignals);
    void CloseAndDisconnect();

    const TapOptions mOptions;
    std::FILE* const mOut;
    std::FILE* const mErr;
    // Declared before the client: the client's stream threads call into it
    // until the client is gone.
    RecordSink mSink;
    std::unique_ptr<Plenvar::PlenvarClient, ClientDeleter> mClient;
    std::vector<std::wstring> mObjects;
    std::vector<std::wstring> mTypes;
    std::vector<std::wstring> mOpened;
};

}  // namespace tap

#include "RouterCore.h"

#include "NetworkServerContainer.h"
#include "ParseObjectList.h"
#include "PlenvarServerLogFile.h"
#include "RelayCallbacks.h"
#include "Plenvar/PlenvarClient.h"
#include "platform/Latin1.h"
#include "platform/System.h"

#include <iostream>
#include <mutex>

namespace router {

RouterCore::RouterCore(std::string logDirectory, const ServerOptions& options)
    : mClient(std::make_unique<Plenvar::PlenvarClient>()),
      mUpstream(*mClient),
      mLogDirectory(std::move(logDirectory)),
      mOptions(options) {}

RouterCore::~RouterCore() {
    Shutdown();
}

int RouterCore::Start() {
    {
        std::unique_lock guard(mServerListGuard);
        mServerList = std::make_unique<NetworkServerContainer>(&mUpstream, mOptions);
    }
    mUpstreamConnected = false;
    RegisterRelayCallbacks();
    mClient->SetLogFileName(platform::Latin1ToWide(ClientLogPath()).c_str());
    mServerList->SetLogFileName(ServerLogPath());
    const int started = mServerList->StartServer();
    if (!platform::ComputerName(mServerName)) {
        mServerName.clear();
    }
    return started;
}

void RouterCore::RegisterRelayCallbacks() {
    mClient->SetCallbackFunctionSE(RelaySE, this);
    mClient->SetCallbackFunctionST(RelayST, this);
    mClient->SetCallbackFunctionTT(RelayTT, this);
    mClient->SetCallbackFunctionCSC(RelayCSC, this);
    mClient->SetCallbackFunctionEV(RelayEV, this);
    mClient->SetCallbackFunctionVT(RelayVT, this);
}

bool RouterCore::OnConnectToServer(const std::string& serverName) {
    mServerName = serverName;
    const std::wstring wideName = platform::Latin1ToWide(serverName);
    if (!mClient->ConnectToServer(wideName.c_str(), false)) {
        // A connect that failed after the message connection was made leaves
        // the client connected; without a link to keep, close it so that the
        // next attempt can succeed.
        if (!mUpstreamConnected) {
            mClient->DisconnectFromServer();
        }
        Notify("Error Connecting to Zorlent");
        return false;
    }
    mUpstreamConnected = true;
    mUpstream.RefreshObjectLists();
    mClient->SetApplicationName(L"Router");
    ReopenDownstreamObjects();
    return true;
}

void RouterCore::ReopenDownstreamObjects() {
    if (mServerList == nullptr) {
        return;
    }
    // The count is read again after each client: clients that connect during
    // the walk are included.
    for (int32_t i = 0; i < mServerList->GetNumberOfClients(); ++i) {
        if (ParseObjectList(mServerList->GetDataObjectList(i), mWorkList) != 0) {
            continue;
        }
        for (const auto& name : mWorkList) {
            if (const auto upstreamName = mUpstream.MatchObject(platform::Latin1ToWide(name))) {
                mClient->OpenStream(upstreamName->c_str());
            }
        }
    }
}

void RouterCore::OnDisconnectFromServer() {
    CloseUpstreamLink();
}

bool RouterCore::OnLinkWatchTick() {
    if (!mUpstreamConnected || mClient->AreWeConnected()) {
        return false;
    }
    CloseUpstreamLink();
    return true;
}

void RouterCore::CloseUpstreamLink() {
    mClient->DisconnectFromServer();
    mUpstreamConnected = false;
    if (mServerList != nullptr) {
        mServerList->ResetServerListLock();
    }
}

void RouterCore::Shutdown() {
    if (mShutDown) {
        return;
    }
    mShutDown = true;
    mClient->DisconnectFromServer();
    mUpstreamConnected = false;
    if (mServerList != nullptr) {
        mServerList->ShutdownServers();
        std::unique_lock guard(mServerListGuard);
        mServerList.reset();
        ServerLog().Close();
    }
}

void RouterCore::SetErrorNotifier(ErrorNotifier notifier) {
    mErrorNotifier = std::move(notifier);
}

void RouterCore::Notify(const std::string& text) {
    if (mErrorNotifier) {
        mErrorNotifier(text);
        return;
    }
    ServerLog().WriteMessage(PlenvarServerLogFile::ERROR, text);
    std::cerr << text << std::endl;
}

std::string RouterCore::ClientLogPath() const {
    return mLogDirectory + "/" + kClientLogName;
}

std::string RouterCore::ServerLogPath() const {
    return mLogDirectory + "/" + kServerLogName;
}

void RouterCore::Distribute(const void* records, int32_t byteCount, const std::string& objectName,
                            const std::string& typeName) {
    std::shared_lock guard(mServerListGuard);
    if (mServerList != nullptr) {
        mServerList->DistributeData(records, byteCount, objectName, typeName);
    }
}

}  // namespace router

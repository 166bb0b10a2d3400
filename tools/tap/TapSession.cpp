#include "TapSession.h"

#include "TapText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>

namespace tap {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr auto kRateInterval = std::chrono::seconds(1);
constexpr auto kLinkCheckInterval = std::chrono::seconds(2);

// Waits up to `interval` for one of the signals; true when one arrived.
bool WaitForSignal(const sigset_t& signals, std::chrono::milliseconds interval) {
    timespec timeout{0, static_cast<long>(interval.count()) * 1000000L};
    return sigtimedwait(&signals, nullptr, &timeout) > 0;
}

}  // namespace

TapSession::TapSession(TapOptions options, std::FILE* out, std::FILE* err)
    : mOptions(std::move(options)),
      mOut(out),
      mErr(err),
      mSink(mOptions.rate ? RecordSink::Mode::Rate : RecordSink::Mode::Print, mOptions.count, out) {}

TapSession::~TapSession() = default;

int TapSession::Run(const sigset_t& stopSignals) {
    mClient.reset(Plenvar::GetNewPlenvarClient());
    if (!mClient) {
        std::fprintf(mErr, "plenvar-tap: cannot create a client\n");
        return 1;
    }
    if (!mOptions.logFile.empty() && !mClient->SetLogFileName(Widen(mOptions.logFile).c_str())) {
        std::fprintf(mErr, "plenvar-tap: cannot write the log file %s (going on without it)\n",
                     mOptions.logFile.c_str());
    }
    mSink.Register(*mClient);
    if (!Connect()) {
        return 1;
    }
    int status = 0;
    if (!FetchObjects()) {
        status = 1;
    } else {
        if (mOptions.list) {
            PrintObjects();
        }
        if (mOptions.OpensAnything()) {
            if (OpenRequested()) {
                Receive(stopSignals);
            } else {
                status = 1;
            }
        }
    }
    CloseAndDisconnect();
    return status;
}

bool TapSession::Connect() {
    if (mClient->ConnectToServer(Widen(mOptions.host).c_str(), mOptions.router)) {
        return true;
    }
    std::fprintf(mErr, "plenvar-tap: cannot connect to %s %s\n", mOptions.host.c_str(),
                 mOptions.router ? "(through a router on port 26200, nor directly on port 26100)"
                                 : "(acquisition server on port 26100)");
    return false;
}

bool TapSession::FetchObjects() {
    if (mClient->GetZorlentObjectsAndTypes(mObjects, mTypes)) {
        return true;
    }
    std::fprintf(mErr, "plenvar-tap: %s did not give its object list\n", mOptions.host.c_str());
    return false;
}

void TapSession::PrintObjects() {
    std::wstring application = mClient->GetServerApplicationName();
    application.erase(0, application.find_first_not_of(L' '));
    std::fprintf(mOut, "%s (%s): %zu objects\n", Narrow(application).c_str(),
                 Narrow(mClient->GetServerIPAddress()).c_str(), mObjects.size());
    for (size_t i = 0; i < mObjects.size(); ++i) {
        std::fprintf(mOut, "%s %s\n", Narrow(mObjects[i]).c_str(), Narrow(mTypes[i]).c_str());
    }
    std::fflush(mOut);
}

bool TapSession::OpenRequested() {
    std::vector<std::wstring> wanted;
    if (mOptions.openAll) {
        wanted = mObjects;
    } else {
        for (const auto& name : mOptions.open) {
            wanted.push_back(Widen(name));
        }
    }
    // Check every name first, so a typo opens nothing.
    for (const auto& name : wanted) {
        if (std::find(mObjects.begin(), mObjects.end(), name) == mObjects.end()) {
            std::fprintf(mErr, "plenvar-tap: %s has no object named %s (--list shows them)\n",
                         mOptions.host.c_str(), Narrow(name).c_str());
            return false;
        }
    }
    for (const auto& name : wanted) {
        if (std::find(mOpened.begin(), mOpened.end(), name) != mOpened.end()) {
            continue;
        }
        if (!mClient->OpenStream(name.c_str())) {
            std::fprintf(mErr, "plenvar-tap: %s refused to open %s\n", mOptions.host.c_str(),
                         Narrow(name).c_str());
            return false;
        }
        mOpened.push_back(name);
    }
    return true;
}

void TapSession::Receive(const sigset_t& stopSignals) {
    const auto start = Clock::now();
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(mOptions.seconds));
    auto lastRate = start;
    auto lastLinkCheck = start;
    while (!mSink.LimitReached()) {
        if (WaitForSignal(stopSignals, kPollInterval)) {
            break;
        }
        auto now = Clock::now();
        if (mOptions.seconds > 0 && now >= deadline) {
            break;
        }
        if (mOptions.rate && now - lastRate >= kRateInterval) {
            mSink.PrintRates(std::chrono::duration<double>(now - lastRate).count(), mOpened);
            lastRate = now;
        }
        if (now - lastLinkCheck >= kLinkCheckInterval) {
            lastLinkCheck = now;
            if (!mClient->AreWeConnected()) {
                std::fprintf(mErr, "plenvar-tap: lost the connection to %s\n", mOptions.host.c_str());
                break;
            }
        }
    }
    mSink.Stop();
}

void TapSession::CloseAndDisconnect() {
    mSink.Stop();
    for (const auto& name : mOpened) {
        mClient->CloseStream(name.c_str());
    }
    mOpened.clear();
    mClient->DisconnectFromServer();
    mClient.reset();
}

}  // namespace tap

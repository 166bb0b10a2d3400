#pragma once
// The status view's data, read from the router core: the upstream client's
// server texts and the server list's per-client accessors. Without a server
// list (before start, after shutdown) there are no clients.

#include "StatusSource.h"

namespace router {

class RouterCore;

class CoreStatusSource : public StatusSource {
public:
    explicit CoreStatusSource(RouterCore& core) : mCore(core) {}

    std::wstring GetServerPCName() override;
    std::wstring GetServerIPAddress() override;
    std::wstring GetServerApplicationName() override;

    int32_t GetNumberOfClients() override;
    std::string GetClientPCName(int32_t index) override;
    std::string GetClientIPAddress(int32_t index) override;
    std::string GetClientApplicationName(int32_t index) override;
    int32_t GetDataStreamCount(int32_t index) override;
    std::string GetDataObjectList(int32_t index) override;

private:
    RouterCore& mCore;
};

}  // namespace router

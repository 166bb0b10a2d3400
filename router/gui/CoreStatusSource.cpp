#include "CoreStatusSource.h"

#include "NetworkServerContainer.h"
#include "Plenvar/PlenvarClient.h"
#include "RouterCore.h"

namespace router {

namespace {

const char* const kInvalidIndex = "Error, invalid index";

}  // namespace

std::wstring CoreStatusSource::GetServerPCName() { return mCore.UpstreamClient().GetServerPCName(); }

std::wstring CoreStatusSource::GetServerIPAddress() { return mCore.UpstreamClient().GetServerIPAddress(); }

std::wstring CoreStatusSource::GetServerApplicationName() {
    return mCore.UpstreamClient().GetServerApplicationName();
}

int32_t CoreStatusSource::GetNumberOfClients() {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetNumberOfClients() : 0;
}

std::string CoreStatusSource::GetClientPCName(int32_t index) {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetClientPCName(index) : kInvalidIndex;
}

std::string CoreStatusSource::GetClientIPAddress(int32_t index) {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetClientIPAddress(index) : kInvalidIndex;
}

std::string CoreStatusSource::GetClientApplicationName(int32_t index) {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetClientApplicationName(index) : kInvalidIndex;
}

int32_t CoreStatusSource::GetDataStreamCount(int32_t index) {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetDataStreamCount(index) : -1;
}

std::string CoreStatusSource::GetDataObjectList(int32_t index) {
    NetworkServerContainer* servers = mCore.ServerList();
    return servers != nullptr ? servers->GetDataObjectList(index) : std::string();
}

}  // namespace router

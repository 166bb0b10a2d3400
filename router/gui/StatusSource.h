#pragma once
// What the status view shows, read fresh on every frame: the upstream link
// and the downstream clients by index. An index that has become invalid
// yields the server list's invalid-index values.

#include <cstdint>
#include <string>

namespace router {

class StatusSource {
public:
    virtual ~StatusSource() = default;

    virtual std::wstring GetServerPCName() = 0;
    virtual std::wstring GetServerIPAddress() = 0;
    virtual std::wstring GetServerApplicationName() = 0;

    virtual int32_t GetNumberOfClients() = 0;
    virtual std::string GetClientPCName(int32_t index) = 0;
    virtual std::string GetClientIPAddress(int32_t index) = 0;
    virtual std::string GetClientApplicationName(int32_t index) = 0;
    virtual int32_t GetDataStreamCount(int32_t index) = 0;
    virtual std::string GetDataObjectList(int32_t index) = 0;
};

}  // namespace router

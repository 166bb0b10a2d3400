#pragma once
// The router's link to the acquisition server, as the server side sees it.
// The owner of the server list implements it over its upstream client; the
// server list works without one (null: upstream not connected).

#include <string>
#include <vector>

namespace router {

class Upstream {
public:
    virtual ~Upstream() = default;
    virtual bool SendCommandText(const std::wstring& command, std::wstring& reply) = 0;
    virtual bool SendCommandRaw(const std::wstring& command, std::vector<char>& reply) = 0;
    virtual bool OpenStream(const std::wstring& objectName) = 0;
    virtual bool CloseStream(const std::wstring& objectName) = 0;
    // Refills the owner's upstream object and type lists.
    virtual bool RefreshObjectLists() = 0;
};

}  // namespace router

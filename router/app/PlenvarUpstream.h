#pragma once
// The server list's link to the acquisition server, carried by the router's
// one upstream client. Also keeps the router's upstream object and type
// lists, which message threads refresh while the owner reads them.

#include "Upstream.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Plenvar {
class PlenvarClient;
}

namespace router {

class PlenvarUpstream : public Upstream {
public:
    explicit PlenvarUpstream(Plenvar::PlenvarClient& client);

    bool SendCommandText(const std::wstring& command, std::wstring& reply) override;
    bool SendCommandRaw(const std::wstring& command, std::vector<char>& reply) override;
    bool OpenStream(const std::wstring& objectName) override;
    bool CloseStream(const std::wstring& objectName) override;
    // Both lists are emptied first and stay empty when the fetch fails.
    bool RefreshObjectLists() override;

    std::vector<std::wstring> ObjectList() const;
    std::vector<std::wstring> TypeList() const;
    // The first upstream object whose name equals `name` ignoring letter
    // case, spelt as the upstream list writes it.
    std::optional<std::wstring> MatchObject(const std::wstring& name) const;

private:
    Plenvar::PlenvarClient& mClient;
    mutable std::mutex mListLock;
    std::vector<std::wstring> mObjects;
    std::vector<std::wstring> mTypes;
};

// Equal ignoring letter case (Latin-1 letters folded as well as ASCII).
bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);

}  // namespace router

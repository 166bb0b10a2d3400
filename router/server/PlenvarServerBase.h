#pragma once
// Fixed texts for failed socket calls of the router's server classes. Each
// text operation reads the calling thread's last socket error code, so it
// must be called right after the failed call.

#include <string>

namespace router {

class PlenvarServerBase {
public:
    enum class SocketCall { Send, CloseSocket, CreateSocket, Bind, Listen, Accept, GetHostByName, Connect };

    PlenvarServerBase() = default;
    virtual ~PlenvarServerBase() = default;

    std::string SendErrorText() const;
    std::string CloseSocketErrorText() const;
    std::string CreateSocketErrorText() const;
    std::string BindErrorText() const;
    std::string ListenErrorText() const;
    // Also the text of every failed receive on a message connection.
    std::string AcceptErrorText() const;
    std::string GetHostByNameErrorText() const;
    std::string ConnectErrorText() const;

    // The text for one call kind and code: prefix and table text, or the
    // call's not-found text alone.
    static std::string ErrorText(SocketCall call, int code);
    // The text for a failed socket start-up; "" for a code with no text.
    static std::string StartupErrorText(int code);
};

}  // namespace router

#include "platform/Resolve.h"

#include "platform/SocketError.h"

#include <arpa/inet.h>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

namespace platform {

int ResolveIPv4(const std::string& host, std::vector<sockaddr_in>& addresses) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* result = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0) {
        int code = WsaFromGaiError(rc);
        SetLastSocketError(code);
        return code;
    }
    for (addrinfo* p = result; p != nullptr; p = p->ai_next) {
        if (p->ai_family == AF_INET && p->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in a{};
            std::memcpy(&a, p->ai_addr, sizeof a);
            addresses.push_back(a);
        }
    }
    ::freeaddrinfo(result);
    if (addresses.empty()) {
        SetLastSocketError(kWsaNoData);
    }
    return 0;
}

bool ReverseLookup(const sockaddr_in& address, std::string& name) {
    char buffer[1025] = {};
    int rc = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, buffer,
                           sizeof buffer, nullptr, 0, NI_NOFQDN | NI_NAMEREQD);
    if (rc != 0) {
        SetLastSocketError(WsaFromGaiError(rc));
        return false;
    }
    name = buffer;
    return true;
}

std::string DottedQuad(const sockaddr_in& address) {
    const auto* b = reinterpret_cast<const unsigned char*>(&address.sin_addr.s_addr);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
           std::to_string(b[3]);
}

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

}  // namespace platform

#pragma once
// IPv4 name resolution and reverse lookup.

#include <netinet/in.h>
#include <string>
#include <vector>

namespace platform {

// Resolves a computer name or dotted address to IPv4 TCP addresses, in the
// resolver's order. Returns 0, or the resolver's failure as a Windows
// Sockets code (11001 host not found, ...). A success with no address
// returns 0 and leaves the list empty.
int ResolveIPv4(const std::string& host, std::vector<sockaddr_in>& addresses);

// The host name of an address (short name, no domain), or false when the
// address has no name.
bool ReverseLookup(const sockaddr_in& address, std::string& name);

// "a.b.c.d"
std::string DottedQuad(const sockaddr_in& address);

// An address for host byte order value and port.
sockaddr_in MakeAddress(uint32_t address, uint16_t port);

}  // namespace platform

#include "ClientSocketErrors.h"

#include <cwchar>

namespace Plenvar {

namespace {

struct ErrorRow {
    int code;
    const wchar_t* name;
    const wchar_t* ops;  // the keys of the operations that log this text
    const wchar_t* description;
};

// Rows with the same code differ in wording between operations; a key
// appears at most once per code.
constexpr ErrorRow kRows[] = {
    {10004, L"WSAEINTR", L"H", L"A blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10004, L"WSAEINTR", L"WRX", L"The (blocking) Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10004, L"WSAEINTR", L"N", L"The blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10013, L"WSAEACCES", L"N", L"Attempt to connect datagram socket to broadcast address failed because setsockopt option SO_BROADCAST is not enabled."},
    {10013, L"WSAEACCES", L"W", L"The requested address is a broadcast address, but the appropriate flag was not set. Call setsockopt with the SO_BROADCAST parameter to allow the use of the broadcast address."},
    {10014, L"WSAEFAULT", L"WR", L"The buf parameter is not completely contained in a valid part of the user address space."},
    {10014, L"WSAEFAULT", L"S", L"The lpWSAData is not a valid pointer."},
    {10014, L"WSAEFAULT", L"N", L"The name or the namelen parameter is not a valid part of the user address space."},
    {10014, L"WSAEFAULT", L"H", L"The name parameter is not a valid part of the user address space."},
    {10022, L"WSAEINVAL", L"N", L"The parameter s is a listening socket."},
    {10022, L"WSAEINVAL", L"W", L"The socket has not been bound with bind, or an unknown flag was specified, or MSG_OOB was specified for a socket with SO_OOBINLINE enabled."},
    {10024, L"WSAEMFILE", L"C", L"No more socket descriptors are available."},
    {10035, L"WSAEWOULDBLOCK", L"WRX", L"The socket is marked as nonblocking and SO_LINGER is set to a nonzero time-out value."},
    {10035, L"WSAEWOULDBLOCK", L"N", L"The socket is marked as nonblocking and the connection cannot be completed immediately."},
    {10036, L"WSAEINPROGRESS", L"CNHWRX", L"A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10036, L"WSAEINPROGRESS", L"S", L"A blocking Windows Sockets 1.1 operation is in progress."},
    {10037, L"WSAEALREADY", L"N", L"A nonblocking connect call is in progress on the specified socket. "},
    {10038, L"WSAENOTSOCK", L"NWRX", L"The descriptor is not a socket."},
    {10040, L"WSAEMSGSIZE", L"WR", L"The socket is message oriented, and the message is larger than the maximum supported by the underlying transport."},
    {10041, L"WSAEPROTOTYPE", L"C", L"The specified protocol is the wrong type for this socket."},
    {10043, L"WSAEPROTONOSUPPORT", L"C", L"The specified protocol is not supported."},
    {10044, L"WSAESOCKTNOSUPPORT", L"C", L"The specified socket type is not supported in this address family."},
    {10045, L"WSAEOPNOTSUPP", L"WR", L"MSG_OOB was specified, but the socket is not stream-style such as type SOCK_STREAM, OOB data is not supported in the communication domain associated with this socket, or the socket is unidirectional and supports only receive operations."},
    {10047, L"WSAEAFNOSUPPORT", L"N", L"Addresses in the specified family cannot be used with this socket."},
    {10047, L"WSAEAFNOSUPPORT", L"C", L"The specified address family is not supported."},
    {10048, L"WSAEADDRINUSE", L"N", L"The socket's local address is already in use and the socket was not marked to allow address reuse with SO_REUSEADDR."},
    {10049, L"WSAEADDRNOTAVAIL", L"N", L"The remote address is not a valid address (such as ADDR_ANY)."},
    {10050, L"WSAENETDOWN", L"NHWRX", L"The network subsystem has failed."},
    {10050, L"WSAENETDOWN", L"C", L"The network subsystem or the associated service provider has failed."},
    {10051, L"WSAENETUNREACH", L"N", L"The network cannot be reached from this host at this time."},
    {10052, L"WSAENETRESET", L"WR", L"The connection has been broken due to the keep-alive activity detecting a failure while the operation was in progress."},
    {10053, L"WSAECONNABORTED", L"WR", L"The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable."},
    {10055, L"WSAENOBUFS", L"W", L"No buffer space is available."},
    {10055, L"WSAENOBUFS", L"N", L"No buffer space is available. The socket cannot be connected."},
    {10055, L"WSAENOBUFS", L"C", L"No buffer space is available. The socket cannot be created."},
    {10056, L"WSAEISCONN", L"N", L"The socket is already connected (connection-oriented sockets only)."},
    {10057, L"WSAENOTCONN", L"WR", L"The socket is not connected."},
    {10058, L"WSAESHUTDOWN", L"WR", L"The socket has been shut down; it is not possible to send on a socket after shutdown has been invoked with how set to SD_SEND or SD_BOTH."},
    {10060, L"WSAETIMEDOUT", L"N", L"Attempt to connect timed out without establishing a connection."},
    {10060, L"WSAETIMEDOUT", L"WR", L"The connection has been dropped, because of a network failure or because the system on the other end went down without notice."},
    {10061, L"WSAECONNREFUSED", L"N", L"The attempt to connect was forcefully rejected."},
    {10065, L"WSAEHOSTUNREACH", L"W", L"The remote host cannot be reached from this host at this time."},
    {10067, L"WSAEPROCLIM", L"S", L"Limit on the number of tasks supported by the Windows Sockets implementation has been reached."},
    {10091, L"WSASYSNOTREADY", L"S", L"The underlying network subsystem is not ready for network communication."},
    {10092, L"WSAVERNOTSUPPORTED", L"S", L"The version of Windows Sockets support requested is not provided by this particular Windows Sockets implementation."},
    {10093, L"WSANOTINITIALISED", L"CNHWRX", L"A successful WSAStartup call must occur before using this function."},
    {11001, L"WSAHOST_NOT_FOUND", L"H", L"Authoritative answer host not found."},
    {11002, L"WSATRY_AGAIN", L"H", L"Nonauthoritative host not found, or server failure."},
    {11003, L"WSANO_RECOVERY", L"H", L"A nonrecoverable error occurred."},
    {11004, L"WSANO_DATA", L"H", L"Valid name, no data record of requested type."},
};

struct OpInfo {
    wchar_t key;
    const wchar_t* prefix;
};

OpInfo Describe(ClientSocketOp op) {
    switch (op) {
    case ClientSocketOp::Startup:
        return {L'S', L"NetworkNodeClient::SocketStartup() - Error requesting Socket Startup, return code:"};
    case ClientSocketOp::Create:
        return {L'C', L"NetworkNodeClient::CreateSocket() - Error Creating Socket, error code:"};
    case ClientSocketOp::Connect:
        return {L'N', L"NetworkNodeClient::ConnectToServer() - Error Connecting To Server, error code:"};
    case ClientSocketOp::Host:
        return {L'H', L"NetworkNodeClient::GetHostInfo() - Error getting host name, error code:"};
    case ClientSocketOp::Send:
        return {L'W', L"NetworkNodeClient::ProcessSendError() - Error sending data, error code:"};
    case ClientSocketOp::Receive:
        return {L'R', L"NetworkNodeClient::ProcessRecieveError() - Error receiving data, error code:"};
    case ClientSocketOp::Close:
        break;
    }
    return {L'X', L"NetworkNodeClient::ProcessCloseError() - Error closing socket, error code:"};
}

}  // namespace

std::wstring ClientSocketErrorLine(ClientSocketOp op, int code) {
    const OpInfo info = Describe(op);
    for (const ErrorRow& row : kRows) {
        if (row.code == code && std::wcschr(row.ops, info.key) != nullptr) {
            return std::wstring(info.prefix) + L" " + row.name + L" - " + row.description;
        }
    }
    return {};
}

}  // namespace Plenvar

#include "PlenvarServerBase.h"

#include "platform/SocketError.h"

#include <iterator>

namespace router {

namespace {

struct CodeText {
    int code;
    const char* text;
};

struct CallTable {
    const char* prefix;
    const char* notFound;
    const CodeText* rows;
    size_t count;
};

constexpr CodeText kStartupTable[] = {
    {10014, "WSAEFAULT - The lpWSAData is not a valid pointer."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 operation is in progress."},
    {10067, "WSAEPROCLIM - Limit on the number of tasks supported by the Windows Sockets implementation has been reached."},
    {10091, "WSASYSNOTREADY - The underlying network subsystem is not ready for network communication."},
    {10092, "WSAVERNOTSUPPORTED - The version of Windows Sockets support requested is not provided by this particular Windows Sockets implementation."},
};

constexpr CodeText kSendTable[] = {
    {10004, "WSAEINTR - The (blocking) Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10013, "WSAEACCES - The requested address is a broadcast address, but the appropriate flag was not set. Call setsockopt with the SO_BROADCAST parameter to allow the use of the broadcast address."},
    {10014, "WSAEFAULT - The buf parameter is not completely contained in a valid part of the user address space."},
    {10022, "WSAEINVAL - The socket has not been bound with bind, or an unknown flag was specified, or MSG_OOB was specified for a socket with SO_OOBINLINE enabled."},
    {10035, "WSAEWOULDBLOCK - The socket is marked as nonblocking and SO_LINGER is set to a nonzero time-out value."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10040, "WSAEMSGSIZE - The socket is message oriented, and the message is larger than the maximum supported by the underlying transport."},
    {10045, "WSAEOPNOTSUPP - MSG_OOB was specified, but the socket is not stream-style such as type SOCK_STREAM, OOB data is not supported in the communication domain associated with this socket, or the socket is unidirectional and supports only receive operations."},
    {10050, "WSAENETDOWN - The network subsystem has failed."},
    {10052, "WSAENETRESET - The connection has been broken due to the keep-alive activity detecting a failure while the operation was in progress."},
    {10053, "WSAECONNABORTED - The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable."},
    {10055, "WSAENOBUFS - No buffer space is available."},
    {10057, "WSAENOTCONN - The socket is not connected."},
    {10058, "WSAESHUTDOWN - The socket has been shut down; it is not possible to send on a socket after shutdown has been invoked with how set to SD_SEND or SD_BOTH."},
    {10060, "WSAETIMEDOUT - The connection has been dropped, because of a network failure or because the system on the other end went down without notice."},
    {10065, "WSAEHOSTUNREACH - The remote host cannot be reached from this host at this time."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kCloseTable[] = {
    {10004, "WSAEINTR - The (blocking) Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10035, "WSAEWOULDBLOCK - The socket is marked as nonblocking and SO_LINGER is set to a nonzero time-out value."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10050, "WSAENETDOWN - The network subsystem has failed."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kCreateTable[] = {
    {10024, "WSAEMFILE - No more socket descriptors are available."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10041, "WSAEPROTOTYPE - The specified protocol is the wrong type for this socket."},
    {10043, "WSAEPROTONOSUPPORT - The specified protocol is not supported."},
    {10044, "WSAESOCKTNOSUPPORT - The specified socket type is not supported in this address family."},
    {10047, "WSAEAFNOSUPPORT - The specified address family is not supported."},
    {10050, "WSAENETDOWN - The network subsystem or the associated service provider has failed."},
    {10055, "WSAENOBUFS - No buffer space is available. The socket cannot be created."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kBindTable[] = {
    {10013, "WSAEACCES - Attempt to connect datagram socket to broadcast address failed because setsockopt option SO_BROADCAST is not enabled."},
    {10014, "WSAEFAULT - The name or namelen parameter is not a valid part of the user address space"},
    {10022, "WSAEINVAL - The socket is already bound to an address."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10048, "WSAEADDRINUSE - A process on the computer is already bound to the same fully-qualified address and the socket has not been marked to allow address reuse with SO_REUSEADDR."},
    {10049, "WSAEADDRNOTAVAIL - The specified address is not a valid address for this computer."},
    {10050, "WSAENETDOWN - The network subsystem or the associated service provider has failed."},
    {10055, "WSAENOBUFS - No buffer space is available. The socket cannot be created."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kListenTable[] = {
    {10022, "WSAEINVAL - The socket has not been bound with bind."},
    {10024, "WSAEMFILE - No more socket descriptors are available."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10045, "WSAEOPNOTSUPP - The referenced socket is not of a type that supports the listen operation."},
    {10048, "WSAEADDRINUSE - The socket's local address is already in use and the socket was not marked to allow address reuse with SO_REUSEADDR."},
    {10050, "WSAENETDOWN - The network subsystem or the associated service provider has failed."},
    {10055, "WSAENOBUFS - No buffer space is available."},
    {10056, "WSAEISCONN - The socket is already connected."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kAcceptTable[] = {
    {10004, "WSAEINTR - A blocking Windows Sockets 1.1 call was canceled through WSACancelBlockingCall."},
    {10014, "WSAEFAULT - The addrlen parameter is too small or addr is not a valid part of the user address space."},
    {10022, "WSAEINVAL - The listen function was not invoked prior to accept."},
    {10024, "WSAEMFILE - The queue is nonempty upon entry to accept and there are no descriptors available."},
    {10035, "WSAEWOULDBLOCK - The socket is marked as nonblocking and no connections are present to be accepted."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10045, "WSAEOPNOTSUPP - The referenced socket is not of a type that supports connection-oriented service."},
    {10050, "WSAENETDOWN - The network subsystem or the associated service provider has failed."},
    {10055, "WSAENOBUFS - No buffer space is available."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

constexpr CodeText kHostTable[] = {
    {10004, "WSAEINTR - A blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10014, "WSAEFAULT - The name parameter is not a valid part of the user address space."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10050, "WSAENETDOWN - The network subsystem has failed."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
    {11001, "WSAHOST_NOT_FOUND - Authoritative answer host not found."},
    {11002, "WSATRY_AGAIN - Nonauthoritative host not found, or server failure."},
    {11003, "WSANO_RECOVERY - A nonrecoverable error occurred."},
    {11004, "WSANO_DATA - Valid name, no data record of requested type."},
};

constexpr CodeText kConnectTable[] = {
    {10004, "WSAEINTR - The blocking Windows Socket 1.1 call was canceled through WSACancelBlockingCall."},
    {10013, "WSAEACCES - Attempt to connect datagram socket to broadcast address failed because setsockopt option SO_BROADCAST is not enabled."},
    {10014, "WSAEFAULT - The name or the namelen parameter is not a valid part of the user address space."},
    {10022, "WSAEINVAL - The parameter s is a listening socket."},
    {10035, "WSAEWOULDBLOCK - The socket is marked as nonblocking and the connection cannot be completed immediately."},
    {10036, "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function."},
    {10037, "WSAEALREADY - A nonblocking connect call is in progress on the specified socket. "},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10047, "WSAEAFNOSUPPORT - Addresses in the specified family cannot be used with this socket."},
    {10048, "WSAEADDRINUSE - The socket's local address is already in use and the socket was not marked to allow address reuse with SO_REUSEADDR."},
    {10049, "WSAEADDRNOTAVAIL - The remote address is not a valid address (such as ADDR_ANY)."},
    {10050, "WSAENETDOWN - The network subsystem has failed."},
    {10051, "WSAENETUNREACH - The network cannot be reached from this host at this time."},
    {10055, "WSAENOBUFS - No buffer space is available. The socket cannot be connected."},
    {10056, "WSAEISCONN - The socket is already connected (connection-oriented sockets only)."},
    {10060, "WSAETIMEDOUT - Attempt to connect timed out without establishing a connection."},
    {10061, "WSAECONNREFUSED - The attempt to connect was forcefully rejected."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup call must occur before using this function."},
};

template <size_t N>
constexpr CallTable MakeTable(const char* prefix, const char* notFound, const CodeText (&rows)[N]) {
    return CallTable{prefix, notFound, rows, N};
}

CallTable TableFor(PlenvarServerBase::SocketCall call) {
    using Call = PlenvarServerBase::SocketCall;
    switch (call) {
    case Call::Send:
        return MakeTable("Error sending data, error code: ", "Send Error Code Not Found", kSendTable);
    case Call::CloseSocket:
        return MakeTable("Error closing socket, error code: ", "Close Socket Error Code Not Found", kCloseTable);
    case Call::CreateSocket:
        return MakeTable("Error Creating Socket, error code: ", "Create Socket Error Code Not Found", kCreateTable);
    case Call::Bind:
        return MakeTable("Error Binding Socket, error code: ", "Bind Socket Error Code Not Found", kBindTable);
    case Call::Listen:
        return MakeTable("Error Listening To Socket, error code: ", "Listen Socket Error Code Not Found",
                         kListenTable);
    case Call::Accept:
        return MakeTable("Error Accepting Socket, error code: ", "Accept Socket Error Code Not Found",
                         kAcceptTable);
    case Call::GetHostByName:
        return MakeTable("Error Getting Server Name, error code: ", "Get Host By Name Error Code Not Found",
                         kHostTable);
    case Call::Connect:
        break;
    }
    return MakeTable("Error Connecting To Server, error code: ", "Connect To Server Error Code Not Found",
                     kConnectTable);
}

const char* Find(const CodeText* rows, size_t count, int code) {
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].code == code) {
            return rows[i].text;
        }
    }
    return nullptr;
}

}  // namespace

std::string PlenvarServerBase::ErrorText(SocketCall call, int code) {
    CallTable table = TableFor(call);
    const char* text = Find(table.rows, table.count, code);
    return text == nullptr ? std::string(table.notFound) : std::string(table.prefix) + text;
}

std::string PlenvarServerBase::StartupErrorText(int code) {
    const char* text = Find(kStartupTable, std::size(kStartupTable), code);
    return text == nullptr ? std::string() : std::string("Error requesting Socket Startup, return code: ") + text;
}

std::string PlenvarServerBase::SendErrorText() const { return ErrorText(SocketCall::Send, platform::LastSocketError()); }
std::string PlenvarServerBase::CloseSocketErrorText() const {
    return ErrorText(SocketCall::CloseSocket, platform::LastSocketError());
}
std::string PlenvarServerBase::CreateSocketErrorText() const {
    return ErrorText(SocketCall::CreateSocket, platform::LastSocketError());
}
std::string PlenvarServerBase::BindErrorText() const { return ErrorText(SocketCall::Bind, platform::LastSocketError()); }
std::string PlenvarServerBase::ListenErrorText() const {
    return ErrorText(SocketCall::Listen, platform::LastSocketError());
}
std::string PlenvarServerBase::AcceptErrorText() const {
    return ErrorText(SocketCall::Accept, platform::LastSocketError());
}
std::string PlenvarServerBase::GetHostByNameErrorText() const {
    return ErrorText(SocketCall::GetHostByName, platform::LastSocketError());
}
std::string PlenvarServerBase::ConnectErrorText() const {
    return ErrorText(SocketCall::Connect, platform::LastSocketError());
}

}  // namespace router

#include "StreamSocketErrors.h"

#include <span>

namespace Plenvar {

namespace {

struct ErrorText {
    int code;
    const wchar_t* text;
};

const ErrorText kCreateSocket[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem or the associated service provider has failed.  mStreamType: "},
    {10047, L"WSAEAFNOSUPPORT - The specified address family is not supported.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10024, L"WSAEMFILE - No more socket descriptors are available.  mStreamType: "},
    {10055, L"WSAENOBUFS - No buffer space is available. The socket cannot be created.  mStreamType: "},
    {10043, L"WSAEPROTONOSUPPORT - The specified protocol is not supported.  mStreamType: "},
    {10041, L"WSAEPROTOTYPE - The specified protocol is the wrong type for this socket.  mStreamType: "},
    {10044, L"WSAESOCKTNOSUPPORT - The specified socket type is not supported in this address family.  mStreamType: "},
};

const ErrorText kBindSocket[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem or the associated service provider has failed.  mStreamType: "},
    {10013, L"WSAEACCES - Attempt to connect datagram socket to broadcast address failed because setsockopt option SO_BROADCAST is not enabled.  mStreamType: "},
    {10048, L"WSAEADDRINUSE - A process on the computer is already bound to the same fully-qualified address and the socket has not been marked to allow address reuse with SO_REUSEADDR.  mStreamType: "},
    {10049, L"WSAEADDRNOTAVAIL - The specified address is not a valid address for this computer.  mStreamType: "},
    {10014, L"WSAEFAULT - The name or namelen parameter is not a valid part of the user address space.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10022, L"WSAEINVAL - The socket is already bound to an address.  mStreamType: "},
    {10055, L"WSAENOBUFS - No buffer space is available. The socket cannot be created.  mStreamType: "},
    {10038, L"WSAENOTSOCK - The descriptor is not a socket.  mStreamType: "},
};

const ErrorText kListenToSocket[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem or the associated service provider has failed.  mStreamType: "},
    {10048, L"WSAEADDRINUSE - The socket's local address is already in use and the socket was not marked to allow address reuse with SO_REUSEADDR.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10022, L"WSAEINVAL - The socket has not been bound with bind.  mStreamType: "},
    {10056, L"WSAEISCONN - The socket is already connected.  mStreamType: "},
    {10024, L"WSAEMFILE - No more socket descriptors are available.  mStreamType: "},
    {10055, L"WSAENOBUFS - No buffer space is available.  mStreamType: "},
    {10038, L"WSAENOTSOCK - The descriptor is not a socket.  mStreamType: "},
    {10045, L"WSAEOPNOTSUPP - The referenced socket is not of a type that supports the listen operation.  mStreamType: "},
};

const ErrorText kAcceptClientSocket[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem or the associated service provider has failed.  mStreamType: "},
    {10014, L"WSAEFAULT - The addrlen parameter is too small or addr is not a valid part of the user address space.  mStreamType: "},
    {10004, L"WSAEINTR - A blocking Windows Sockets 1.1 call was canceled through WSACancelBlockingCall.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10022, L"WSAEINVAL - The listen function was not invoked prior to accept.  mStreamType: "},
    {10024, L"WSAEMFILE - The queue is nonempty upon entry to accept and there are no descriptors available.  mStreamType: "},
    {10055, L"WSAENOBUFS - No buffer space is available.  mStreamType: "},
    {10038, L"WSAENOTSOCK - The descriptor is not a socket.  mStreamType: "},
    {10045, L"WSAEOPNOTSUPP - The referenced socket is not of a type that supports connection-oriented service.  mStreamType: "},
    {10035, L"WSAEWOULDBLOCK - The socket is marked as nonblocking and no connections are present to be accepted.  mStreamType: "},
};

const ErrorText kProcessRecieveError[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem has failed.  mStreamType: "},
    {10014, L"WSAEFAULT - The buf parameter is not completely contained in a valid part of the user address space.  mStreamType: "},
    {10057, L"WSAENOTCONN - The socket is not connected.  mStreamType: "},
    {10004, L"WSAEINTR - The (blocking) Windows Socket 1.1 call was canceled through WSACancelBlockingCall.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10052, L"WSAENETRESET - The connection has been broken due to the keep-alive activity detecting a failure while the operation was in progress.  mStreamType: "},
    {10038, L"WSAENOTSOCK - The descriptor is not a socket.  mStreamType: "},
    {10045, L"WSAEOPNOTSUPP - MSG_OOB was specified, but the socket is not stream-style such as type SOCK_STREAM, OOB data is not supported in the communication domain associated with this socket, or the socket is unidirectional and supports only receive operations.  mStreamType: "},
    {10058, L"WSAESHUTDOWN - The socket has been shut down; it is not possible to send on a socket after shutdown has been invoked with how set to SD_SEND or SD_BOTH.  mStreamType: "},
    {10035, L"WSAEWOULDBLOCK - The socket is marked as nonblocking and SO_LINGER is set to a nonzero time-out value.  mStreamType: "},
    {10040, L"WSAEMSGSIZE - The socket is message oriented, and the message is larger than the maximum supported by the underlying transport.  mStreamType: "},
    {10053, L"WSAECONNABORTED - The virtual circuit was terminated due to a time-out or other failure. The application should close the socket as it is no longer usable.  mStreamType: "},
    {10060, L"WSAETIMEDOUT - The connection has been dropped, because of a network failure or because the system on the other end went down without notice.  mStreamType: "},
};

const ErrorText kProcessCloseError[] = {
    {10093, L"WSANOTINITIALISED - A successful WSAStartup call must occur before using this function.  mStreamType: "},
    {10050, L"WSAENETDOWN - The network subsystem has failed.  mStreamType: "},
    {10038, L"WSAENOTSOCK - The descriptor is not a socket.  mStreamType: "},
    {10036, L"WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still processing a callback function.  mStreamType: "},
    {10004, L"WSAEINTR - The (blocking) Windows Socket 1.1 call was canceled through WSACancelBlockingCall.  mStreamType: "},
    {10035, L"WSAEWOULDBLOCK - The socket is marked as nonblocking and SO_LINGER is set to a nonzero time-out value.  mStreamType: "},
};
struct CallTable {
    const wchar_t* prefix;
    std::span<const ErrorText> texts;
};

CallTable TableOf(StreamSocketCall call) {
    switch (call) {
    case StreamSocketCall::CreateSocket:
        return {L"NodeConnectionClient::CreateSocket() - Error Creating Socket, error code: ", kCreateSocket};
    case StreamSocketCall::BindSocket:
        return {L"NodeConnectionClient::BindSocket() - Error Binding Socket, error code: ", kBindSocket};
    case StreamSocketCall::ListenToSocket:
        return {L"NodeConnectionClient::ListenToSocket() - Error Listening To Socket, error code: ",
                kListenToSocket};
    case StreamSocketCall::AcceptClientSocket:
        return {L"NodeConnectionClient::AcceptClientSocket() - Error Accepting Socket, error code: ",
                kAcceptClientSocket};
    case StreamSocketCall::ProcessRecieveError:
        return {L"NodeConnectionClient::ProcessRecieveError() - Error receiving data, error code: ",
                kProcessRecieveError};
    case StreamSocketCall::ProcessCloseError:
        break;
    }
    return {L"NodeConnectionClient::ProcessCloseError() - Error closing socket, error code: ", kProcessCloseError};
}

}  // namespace

std::wstring StreamSocketErrorLine(StreamSocketCall call, int errorCode, const std::wstring& streamType) {
    CallTable table = TableOf(call);
    std::wstring line = table.prefix;
    for (const ErrorText& entry : table.texts) {
        if (entry.code == errorCode) {
            return line + entry.text + streamType;
        }
    }
    if (call == StreamSocketCall::ProcessCloseError) {
        return line + L"UNKNOWN.  mStreamType: " + streamType;
    }
    // Codes the call's table does not list still name themselves.
    return line + std::to_wstring(errorCode) + L" - UNKNOWN.  mStreamType: " + streamType;
}

}  // namespace Plenvar

#include "platform/SocketError.h"

#include <cerrno>
#include <netdb.h>

namespace platform {

namespace {
thread_local int tLastSocketError = 0;

struct ErrnoRow {
    int err;
    int wsa;
};

constexpr ErrnoRow kErrnoTable[] = {
    {EINTR, kWsaEintr},
    {EACCES, kWsaEacces},
    {EPERM, kWsaEacces},
    {EFAULT, kWsaEfault},
    {EINVAL, kWsaEinval},
    {EMFILE, kWsaEmfile},
    {ENFILE, kWsaEmfile},
    {EAGAIN, kWsaEwouldblock},
    {EINPROGRESS, kWsaEinprogress},
    {EALREADY, kWsaEalready},
    {ENOTSOCK, kWsaEnotsock},
    {EBADF, kWsaEnotsock},
    {EMSGSIZE, kWsaEmsgsize},
    {EPROTOTYPE, kWsaEprototype},
    {EPROTONOSUPPORT, kWsaEprotonosupport},
    {ESOCKTNOSUPPORT, kWsaEsocktnosupport},
    {EOPNOTSUPP, kWsaEopnotsupp},
    {EAFNOSUPPORT, kWsaEafnosupport},
    {EADDRINUSE, kWsaEaddrinuse},
    {EADDRNOTAVAIL, kWsaEaddrnotavail},
    {ENETDOWN, kWsaEnetdown},
    {ENETUNREACH, kWsaEnetunreach},
    {ENETRESET, kWsaEnetreset},
    {ECONNABORTED, kWsaEconnaborted},
    {ECONNRESET, kWsaEconnreset},
    {EPIPE, kWsaEconnreset},
    {ENOBUFS, kWsaEnobufs},
    {ENOMEM, kWsaEnobufs},
    {EISCONN, kWsaEisconn},
    {ENOTCONN, kWsaEnotconn},
    {ESHUTDOWN, kWsaEshutdown},
    {ETIMEDOUT, kWsaEtimedout},
    {ECONNREFUSED, kWsaEconnrefused},
    {EHOSTUNREACH, kWsaEhostunreach},
    {EHOSTDOWN, kWsaEhostunreach},
};
}  // namespace

int WsaFromErrno(int err) {
    if (err == EWOULDBLOCK) {
        return kWsaEwouldblock;
    }
    for (const ErrnoRow& row : kErrnoTable) {
        if (row.err == err) {
            return row.wsa;
        }
    }
    return kWsaUnmapped;
}

int WsaFromGaiError(int gaiError) {
    switch (gaiError) {
    case 0:
        return 0;
    case EAI_NONAME:
        return kWsaHostNotFound;
    case EAI_AGAIN:
        return kWsaTryAgain;
    case EAI_FAIL:
        return kWsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return kWsaNoData;
#endif
    case EAI_FAMILY:
        return kWsaEafnosupport;
    case EAI_SOCKTYPE:
        return kWsaEsocktnosupport;
    case EAI_MEMORY:
        return kWsaEnobufs;
    case EAI_BADFLAGS:
        return kWsaEinval;
    case EAI_SYSTEM:
        return WsaFromErrno(errno);
    default:
        return kWsaUnmapped;
    }
}

int LastSocketError() { return tLastSocketError; }

void SetLastSocketError(int wsaCode) { tLastSocketError = wsaCode; }

int CaptureErrno() {
    tLastSocketError = WsaFromErrno(errno);
    return tLastSocketError;
}

}  // namespace platform

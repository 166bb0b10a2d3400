#pragma once
// Socket failures in this code base are always reported as Windows Sockets
// error codes, so one set of error-text tables serves every platform. This is
// the one place where platform error values are turned into those codes.

namespace platform {

enum WsaCode : int {
    kWsaEintr = 10004,
    kWsaEacces = 10013,
    kWsaEfault = 10014,
    kWsaEinval = 10022,
    kWsaEmfile = 10024,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEalready = 10037,
    kWsaEnotsock = 10038,
    kWsaEmsgsize = 10040,
    kWsaEprototype = 10041,
    kWsaEprotonosupport = 10043,
    kWsaEsocktnosupport = 10044,
    kWsaEopnotsupp = 10045,
    kWsaEafnosupport = 10047,
    kWsaEaddrinuse = 10048,
    kWsaEaddrnotavail = 10049,
    kWsaEnetdown = 10050,
    kWsaEnetunreach = 10051,
    kWsaEnetreset = 10052,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnobufs = 10055,
    kWsaEisconn = 10056,
    kWsaEnotconn = 10057,
    kWsaEshutdown = 10058,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEhostunreach = 10065,
    kWsaNotInitialised = 10093,
    kWsaHostNotFound = 11001,
    kWsaTryAgain = 11002,
    kWsaNoRecovery = 11003,
    kWsaNoData = 11004,
    // What an error without a Windows Sockets counterpart becomes: no
    // error-text table lists it, so the "not found" texts apply.
    kWsaUnmapped = 10999,
};

// Maps an errno value to its Windows Sockets code.
int WsaFromErrno(int err);

// Maps a getaddrinfo/getnameinfo result (EAI_*) to its Windows Sockets code.
// EAI_SYSTEM takes errno into account.
int WsaFromGaiError(int gaiError);

// The Windows Sockets code of the last failed socket call made through this
// layer on the calling thread (0 when none has failed yet).
int LastSocketError();

// Records a failure for LastSocketError(); used by the socket layer itself.
void SetLastSocketError(int wsaCode);

// Records the current errno, mapped, and returns the mapped code.
int CaptureErrno();

}  // namespace platform

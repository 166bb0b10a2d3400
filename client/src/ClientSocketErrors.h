#pragma once
// Error texts the message client writes for failed socket calls. Each of its
// seven socket operations has its own table of Windows Sockets codes; a code
// the operation's table does not list has no text and is not logged.

#include <string>

namespace Plenvar {

enum class ClientSocketOp {
    Startup,  // S: SocketStartup
    Create,   // C: CreateSocket
    Connect,  // N: ConnectToServer
    Host,     // H: GetHostInfo
    Send,     // W: ProcessSendError
    Receive,  // R: ProcessRecieveError
    Close,    // X: ProcessCloseError
};

// The whole log line for a failure of `op` with `code`: prefix, blank, error
// name, " - ", description. Empty when the operation's table lacks the code.
std::wstring ClientSocketErrorLine(ClientSocketOp op, int code);

}  // namespace Plenvar

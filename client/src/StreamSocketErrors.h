#pragma once
// The ERROR lines a data stream writes for a failed socket call: the call's
// prefix, the text for the Windows Sockets code, then the stream name.

#include <string>

namespace Plenvar {

enum class StreamSocketCall {
    CreateSocket,
    BindSocket,
    ListenToSocket,
    AcceptClientSocket,
    ProcessRecieveError,
    ProcessCloseError,
};

std::wstring StreamSocketErrorLine(StreamSocketCall call, int errorCode, const std::wstring& streamType);

}  // namespace Plenvar

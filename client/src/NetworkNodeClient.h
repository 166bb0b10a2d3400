#pragma once
// The client library's side of the message connection to an acquisition
// server (or a router): socket start-up, name lookup, one TCP connection,
// framed commands and replies, and the texts that describe the server.
//
// Usage by the facade (which holds the library lock around every call, so
// this class needs no lock of its own):
//   InitializeClient(name, port)            open the message connection
//   SendMessage(L"-Command ...") + RecieveMessage(reply)   one exchange
//   ReceiveCommandReply(code, args)         receive a reply and split it
//   InitializeConnectionNodes()             after connecting: six data streams
//   RefreshObjectList / OpenStream / CloseStream   the object list and streams
//   ShutdownClient()                        close streams and connection
// The stream objects are reached through StreamSE() ... StreamVT(), e.g. to
// set their callbacks.
//
// Failures are reported by results (bool, or 0 / -1) and one log line each in
// LogFile(); nothing throws.
//
// Beyond the letter of the protocol this client:
//   - refuses a reply body above protocol::kMaxReplyBodySize before
//     allocating it and then shuts the connection down (the stream cannot be
//     resynchronised);
//   - gives up on a reply (or any part of one) after ReplyTimeout() without
//     data, logs the receive time-out and shuts the connection down, so a late
//     reply can never be taken for the next command's;
//   - gives up a connect attempt after ConnectTimeout();
//   - takes mLocalIPAddress from the connected message socket's own address,
//     with GetMyIPAddress() only as the fallback.

#include "ClientLogFile.h"
#include "ClientSocketErrors.h"
#include "NodeConnectionClientCSC.h"
#include "NodeConnectionClientEV.h"
#include "NodeConnectionClientSE.h"
#include "NodeConnectionClientST.h"
#include "NodeConnectionClientTT.h"
#include "NodeConnectionClientVT.h"

#include "platform/Socket.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace Plenvar {

class NetworkNodeClient {
public:
    static constexpr std::chrono::milliseconds kDefaultReplyTimeout{10000};
    static constexpr std::chrono::milliseconds kDefaultConnectTimeout{5000};

    NetworkNodeClient();
    // Shuts the connection down (as ShutdownClient) and closes the log.
    virtual ~NetworkNodeClient();
    NetworkNodeClient(const NetworkNodeClient&) = delete;
    NetworkNodeClient& operator=(const NetworkNodeClient&) = delete;

    // --- Time-outs (0: wait without limit) ---
    // Applies at once, also to a connection that is up.
    void SetReplyTimeout(std::chrono::milliseconds timeout);
    // Applies from the next connect attempt.
    void SetConnectTimeout(std::chrono::milliseconds timeout) { mConnectTimeout = timeout; }
    std::chrono::milliseconds ReplyTimeout() const { return mReplyTimeout; }
    std::chrono::milliseconds ConnectTimeout() const { return mConnectTimeout; }

    // --- Socket steps (0 on success, -1 / non-zero on failure, logged) ---
    int SocketStartup();  // nothing to start on POSIX: always 0
    int CreateSocket(platform::Socket& socket);
    // `addresses` must be empty on entry. 1 when the resolver fails (the
    // "GetAddrInfo failed" line), -1 when it finds no address.
    int GetHostInfo(std::vector<sockaddr_in>& addresses, const std::wstring& serverName);
    int ConnectToServer(platform::Socket& socket, sockaddr_in address, int portNumber);

    // Opens the message connection and asks the server for its application
    // name. Refused (WARNING) while connected.
    bool InitializeClient(const std::wstring& serverName, int portNumber);
    // Takes `connected`, a socket already connected to a server (for example
    // one end of a local socket pair), as the message connection, just as a
    // successful InitializeClient would, and asks for the application name.
    // `serverName` stands for the server in the texts. Refused (WARNING)
    // while connected.
    bool AdoptConnection(platform::Socket connected, const std::wstring& serverName);
    // This computer's first IPv4 address by host-name lookup, or empty.
    std::wstring GetMyIPAddress();

    // --- Messages ---
    // Frames `length` bytes and sends them in one socket send. A send error
    // shuts the connection down; a short send only fails the call.
    bool SendMessage(const char* bytes, int length);
    // The text as one byte per character plus a NUL; refused (logged) when a
    // character has no one-byte form. Fails silently while not connected.
    bool SendMessage(const std::wstring& text);
    // Receives exactly `bufferSize` bytes. The peer closing the connection
    // shuts the client down.
    bool GetBuffer(char* buffer, int bufferSize);
    // Receives one message. `buffer` is replaced (its old contents released)
    // once a valid pre-header and size have arrived; `size` is the body size.
    // Refused pre-headers are logged at ERROR with their fixed texts.
    bool RecieveMessage(std::unique_ptr<char[]>& buffer, int& size);
    // Receives one text message: the body up to its first NUL. On a failed
    // receive `text` becomes "-1".
    bool RecieveMessage(std::wstring& text);
    // Receives a reply and splits it into words: the first word read as the
    // reply code (-1 when it is not a number), the rest handed back.
    bool ReceiveCommandReply(int& replyCode, std::vector<std::wstring>& arguments);

    // Closes every cached object's stream on the server, stops the six data
    // streams, then closes the message connection. Refused (WARNING) while
    // not connected. A "-CloseStream" exchange that loses the connection
    // shuts the client down from inside; the outer call then finds the
    // socket already closed and does not close it again.
    bool ShutdownClient();

    // --- Data streams and the object list ---
    // For each type (SE, ST, TT, CSC, VT, EV): asks for a port, listens on it,
    // announces it with "-CreateStream <mLocalIPAddress> <port> <type>".
    // 0, or -1 when a port request is refused (earlier streams stay set up).
    int InitializeConnectionNodes();
    // Fetches "-GetZorlentObjects" and "-GetZorlentTypes" into the given
    // lists and the caches, and hands the caches to the six streams. The
    // caches may themselves be passed as the lists.
    bool RefreshObjectList(std::vector<std::wstring>& names, std::vector<std::wstring>& types);
    // Counts the object open on its stream and sends "-OpenStream name type"
    // (every time). Looks the name up once more after one refresh when the
    // cache lacks it. False while not connected, for unknown names and types,
    // and when the server refuses.
    bool OpenStream(const std::wstring& objectName);
    // Lowers the object's open count; only when it reaches 0 is
    // "-CloseStream name type" sent. True only when this call closed the
    // object's stream on the server.
    bool CloseStream(const std::wstring& objectName);

    // --- State ---
    bool IsConnected() const { return mIsConnected; }
    // "Not Connected" while not connected. Safe to call from any thread:
    // these are read without the library lock while a command changes them.
    std::wstring GetServerPCName() const;
    std::wstring GetServerIPAddress() const;
    std::wstring GetServerApplicationName() const;
    // The address sent to the server for its data connections.
    std::wstring GetLocalIPAddress() const { return mLocalIPAddress; }
    bool StreamsInitialized() const { return mStreamsInitialized; }
    // True when the streams are set up and one of them has lost its data
    // connection: that record type no longer arrives.
    bool DataStreamEnded() const;
    const std::vector<std::wstring>& ObjectNames() const { return mObjectNames; }
    const std::vector<std::wstring>& ObjectTypes() const { return mObjectTypes; }
    ClientLogFile& LogFile() { return mLogFile; }
    NodeConnectionClientSE& StreamSE() { return mStreamSE; }
    NodeConnectionClientST& StreamST() { return mStreamST; }
    NodeConnectionClientTT& StreamTT() { return mStreamTT; }
    NodeConnectionClientCSC& StreamCSC() { return mStreamCSC; }
    NodeConnectionClientVT& StreamVT() { return mStreamVT; }
    NodeConnectionClientEV& StreamEV() { return mStreamEV; }

private:
    void LogSocketError(ClientSocketOp op, int code);
    void ProcessSendError(int code) { LogSocketError(ClientSocketOp::Send, code); }
    void ProcessRecieveError(int code) { LogSocketError(ClientSocketOp::Receive, code); }
    void ProcessCloseError(int code) { LogSocketError(ClientSocketOp::Close, code); }
    bool ConnectToAny(const std::vector<sockaddr_in>& addresses, const std::wstring& serverName,
                      int portNumber);
    void TakeLocalAddress();
    void AskApplicationName();
    bool SetUpStream(NodeConnectionClient& stream, const wchar_t* typeName);
    bool FetchList(const wchar_t* command, std::vector<std::wstring>& list, std::vector<std::wstring>& cache);
    NodeConnectionClient* StreamForType(const std::wstring& typeName);
    int FindObject(const std::wstring& objectName) const;
    void CloseAllStreams();
    // GetBuffer that also tells how many bytes arrived.
    bool ReceiveInto(char* buffer, int bufferSize, int& received);
    static void KeepReceived(std::unique_ptr<char[]>& buffer, int received);
    bool ReceivePreHeader();
    bool ReceiveSize(int& size);

    ClientLogFile mLogFile;
    NodeConnectionClientSE mStreamSE{&mLogFile};
    NodeConnectionClientST mStreamST{&mLogFile};
    NodeConnectionClientTT mStreamTT{&mLogFile};
    NodeConnectionClientCSC mStreamCSC{&mLogFile};
    NodeConnectionClientVT mStreamVT{&mLogFile};
    NodeConnectionClientEV mStreamEV{&mLogFile};
    bool mIsConnected = false;
    platform::Socket mSocket;
    std::wstring mServerPCName;
    std::wstring mServerIPAddress;
    std::wstring mServerApplicationName;
    mutable std::mutex mServerTextLock;  // over the three server texts
    std::wstring mLocalIPAddress;
    std::vector<std::wstring> mObjectNames;
    std::vector<std::wstring> mObjectTypes;
    bool mStreamsInitialized = false;

    std::chrono::milliseconds mReplyTimeout = kDefaultReplyTimeout;
    std::chrono::milliseconds mConnectTimeout = kDefaultConnectTimeout;
};

}  // namespace Plenvar

// The commands a message server answers itself, and the forwarding of all
// others to the acquisition server.

#include "CommandText.h"
#include "NetworkNodeServer.h"
#include "PlenvarServerLogFile.h"
#include "platform/Latin1.h"

#include <climits>

namespace router {

using LogFile = PlenvarServerLogFile;

namespace {
const char kRingBufferRefused[] = "Error receiving message from zorlent, unable to grant request";
}  // namespace

bool NetworkNodeServer::ProcessStreamCommand(const std::string& message, std::string& reply) {
    const std::string command = TokenAt(message, 0);
    if (command == "-CreateStream") {
        ProcessCreateStream(message, reply);
    } else if (command == "-OpenStream") {
        ProcessOpenStream(message, reply);
    } else if (command == "-CloseStream") {
        ProcessCloseStream(message, reply);
    } else {
        return false;
    }
    return true;
}

void NetworkNodeServer::ProcessCreateStream(const std::string& message, std::string& reply) {
    Log(LogFile::NOTICE, " - Processing CreateStream Command, Message: " + message);
    const std::string host = TokenAt(message, 1);
    const int32_t port = LeadingInteger(TokenAt(message, 2));
    const std::string typeName = TokenAt(message, 3);
    {
        // Batches for this client wait while the connection is attempted
        // (bounded by the connect time-out).
        std::lock_guard<std::mutex> lock(mStreamListLock);
        if (FindStreamLocked(typeName) != nullptr) {
            Log(LogFile::ERROR, " - Unable to Create Stream, A Stream already exists for Data Type " + typeName);
            reply = "-1 Unable to process CreateStream command, a stream already exists with the requested data type";
            return;
        }
        {
            std::lock_guard<std::mutex> textLock(mTextLock);
            mClientHost = host;
        }
        auto stream = std::make_unique<NodeConnectionServer>(mOptions);
        stream->SetLogPrefix(GetLogPrefix());
        stream->InitializeClientStream(port, host, typeName);
        mStreams.push_back(std::move(stream));
    }
    Log(LogFile::NOTICE, " - Attempt to process CreateStream command was successful");
    reply = "0 Attempt to process CreateStream command was successful";
}

void NetworkNodeServer::ProcessOpenStream(const std::string& message, std::string& reply) {
    ChangeObject(message, reply, true);
}

void NetworkNodeServer::ProcessCloseStream(const std::string& message, std::string& reply) {
    ChangeObject(message, reply, false);
}

void NetworkNodeServer::ChangeObject(const std::string& message, std::string& reply, bool open) {
    const std::string verb = open ? "OpenStream" : "CloseStream";
    Log(LogFile::NOTICE, " - Processing " + verb + " Command, Message: " + message);
    const std::string objectName = StripOuterQuotes(TokenAt(message, 1));
    const std::string typeName = TokenAt(message, 2);
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(mStreamListLock);
        NodeConnectionServer* stream = FindStreamLocked(typeName);
        if (stream != nullptr) {
            found = true;
            open ? stream->AddObject(objectName) : stream->RemoveObject(objectName);
        }
    }
    if (!found) {
        Log(LogFile::ERROR, std::string(open ? " - Unable to Open Stream" : " - Unable to Close Stream") +
                                ", A Stream does not exist for requested data type " + typeName);
        reply = "-1 Attempt to process " + verb +
                " command failed, a connection does not exist for the requested data type";
        return;
    }
    Log(LogFile::NOTICE, open ? " - Attempt to process OpenStream command was successful"
                              : " - Stream has been Closed Successfully");
    reply = "0 Attempt to process " + verb + " command was successful";
    if (mUpstream != nullptr) {
        const std::wstring wideName = platform::Latin1ToWide(objectName);
        open ? mUpstream->OpenStream(wideName) : mUpstream->CloseStream(wideName);
    }
}

void NetworkNodeServer::ProcessInternalMessage(const std::string& message) {
    const std::string command = TokenAt(message, 0);
    if (EqualsIgnoreCase(command, "-GetZorlentObjects")) {
        if (mUpstream != nullptr) {
            mUpstream->RefreshObjectLists();
        }
        ForwardToUpstream(message);
    } else if (EqualsIgnoreCase(command, "-SetApplicationName")) {
        SetApplicationNameFrom(message);
    } else if (EqualsIgnoreCase(command, "-SetComputerName")) {
        {
            std::lock_guard<std::mutex> lock(mTextLock);
            mComputerName = TokenAt(message, 1);
        }
        SendReply("0");
    } else if (EqualsIgnoreCase(command, "-RequestRingBuffer")) {
        SendRingBufferReply(message);
    } else {
        ForwardToUpstream(message);
    }
}

void NetworkNodeServer::SetApplicationNameFrom(const std::string& message) {
    const size_t blank = message.find(' ');
    if (blank == std::string::npos) {
        SendReply("Application Name Received, Thank you");
        SendReply("0");
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mTextLock);
        mApplicationName = message.substr(blank + 1);
    }
    SendReply("0");
}

void NetworkNodeServer::ForwardToUpstream(const std::string& message) {
    std::wstring reply;
    if (mUpstream == nullptr || !mUpstream->SendCommandText(platform::Latin1ToWide(message), reply)) {
        reply.clear();
    }
    SendReply(platform::WideToLatin1Lossy(reply));
}

void NetworkNodeServer::SendRingBufferReply(const std::string& message) {
    std::vector<char> bytes;
    if (mUpstream != nullptr && mUpstream->SendCommandRaw(platform::Latin1ToWide(message), bytes) &&
        !bytes.empty() && bytes.size() <= static_cast<size_t>(INT32_MAX)) {
        SendMessageBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
        return;
    }
    SendReply(kRingBufferRefused);
}

}  // namespace router

// The exported facade: every call forwards to the client's NetworkNodeClient
// under the one library lock of the process, so a command and its reply
// always travel together, also between different clients.

#include "Plenvar/PlenvarClient.h"

#include "NetworkNodeClient.h"

#include "platform/Latin1.h"
#include "platform/System.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwctype>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace Plenvar {

namespace {

constexpr int kServerPort = 26100;
constexpr int kRouterFrontPort = 26200;
constexpr size_t kComputerNameBuffer = 128;
constexpr const wchar_t* kClientVersion = L"2.1.0 ";

// Created on first use, which is in the first client's constructor, so it
// is destroyed only after every client that a static object may still hold.
std::recursive_mutex& LibraryLock() {
    static std::recursive_mutex lock;
    return lock;
}

using LibraryGuard = std::lock_guard<std::recursive_mutex>;

// Every array handed across the boundary is raw storage from operator new[],
// so FreeArray can release any of them the same way whatever its element type.
template <class T>
T* NewArray(size_t count) {
    return static_cast<T*>(::operator new[](std::max<size_t>(count, 1) * sizeof(T)));
}

wchar_t* NewText(const std::wstring& text) {
    wchar_t* array = NewArray<wchar_t>(text.size() + 1);
    std::copy(text.begin(), text.end(), array);
    array[text.size()] = L'\0';
    return array;
}

wchar_t** NewTextList(const std::vector<std::wstring>& texts) {
    wchar_t** list = NewArray<wchar_t*>(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        list[i] = NewText(texts[i]);
    }
    return list;
}

void ReleaseArray(void* array) { ::operator delete[](array); }

// Reads one integer as a wide stream would: white space skipped, an optional
// sign, at least one digit. False (value untouched) when no integer is there.
bool ReadInt(const std::wstring& text, size_t& position, int& value) {
    size_t i = position;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    size_t digits = i;
    long long magnitude = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        magnitude = std::min<long long>(magnitude * 10 + (text[i] - L'0'), 1LL << 32);
        ++i;
    }
    if (i == digits) {
        return false;
    }
    long long signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(std::clamp<long long>(signedValue, INT_MIN, INT_MAX));
    position = i;
    return true;
}

// The reply code and then each output in order; reading stops at the first
// text that is not an integer. The code starts at 0.
int ReadReply(const std::wstring& reply, std::initializer_list<int*> outputs) {
    size_t position = 0;
    int code = 0;
    if (!ReadInt(reply, position, code)) {
        return code;
    }
    for (int* output : outputs) {
        if (!ReadInt(reply, position, *output)) {
            break;
        }
    }
    return code;
}

std::wstring Text(const wchar_t* text) { return text != nullptr ? std::wstring(text) : std::wstring(); }

std::wstring Quoted(const wchar_t* text) { return L"\"" + Text(text) + L"\""; }

// Sends the command and receives its reply text; false when either fails.
bool Exchange(NetworkNodeClient& node, const std::wstring& command, std::wstring& reply) {
    return node.SendMessage(command) && node.RecieveMessage(reply);
}

}  // namespace

PlenvarClient::PlenvarClient() : mNetworkNodeClient(nullptr) {
    LibraryLock();
    mNetworkNodeClient = new NetworkNodeClient();
}

PlenvarClient::~PlenvarClient() { delete mNetworkNodeClient; }

PlenvarClient* GetNewPlenvarClient() {
    try {
        return new PlenvarClient();
    } catch (...) {
        return nullptr;
    }
}

void DeletePlenvarClient(PlenvarClient* client) { delete client; }

// --- Connection -------------------------------------------------------------

bool PlenvarClient::ConnectToServer(const wchar_t* serverName, bool throughRouter) {
    {
        LibraryGuard guard(LibraryLock());
        NetworkNodeClient& node = *mNetworkNodeClient;
        const std::wstring name = Text(serverName);
        if (throughRouter && node.InitializeClient(name, kRouterFrontPort)) {
            // The router's front port only hands out the port to use.
            std::wstring reply;
            node.SendMessage(std::wstring(L"-GetNextAvailablePortNumber"));
            node.RecieveMessage(reply);
            int code = 0;
            int port = 0;
            size_t position = 0;
            if (ReadInt(reply, position, code)) {
                ReadInt(reply, position, port);
            }
            if (code != 0) {
                node.ShutdownClient();
                return false;
            }
            if (!node.ShutdownClient() || !node.InitializeClient(name, port)) {
                return false;
            }
        } else if (!node.InitializeClient(name, kServerPort)) {
            return false;
        }
        if (node.InitializeConnectionNodes() != 0) {
            return false;
        }
    }
    AreWeConnected();
    return true;
}

bool PlenvarClient::DisconnectFromServer() {
    LibraryGuard guard(LibraryLock());
    return mNetworkNodeClient->ShutdownClient();
}

bool PlenvarClient::AreWeConnected() {
    LibraryGuard guard(LibraryLock());
    std::string computerName;
    platform::ComputerName(computerName);
    if (computerName.size() >= kComputerNameBuffer) {
        computerName.resize(kComputerNameBuffer - 1);
    }
    if (!mNetworkNodeClient->SendMessage(L"-SetComputerName " + platform::Latin1ToWide(computerName))) {
        return false;
    }
    std::wstring reply;
    if (!mNetworkNodeClient->RecieveMessage(reply)) {
        return false;
    }
    // A data connection the server dropped is never made again on its own:
    // records of that type have stopped, so the link is not whole.
    if (mNetworkNodeClient->DataStreamEnded()) {
        mNetworkNodeClient->LogFile().WriteEntry(
            ClientLogFile::ERROR,
            L"PlenvarClient::AreWeConnected() - A data stream connection has been closed by the server, "
            L"records of its type no longer arrive; reconnect to restore it");
        return false;
    }
    return true;
}

bool PlenvarClient::OpenStream(const wchar_t* objectName) {
    LibraryGuard guard(LibraryLock());
    return objectName != nullptr && mNetworkNodeClient->OpenStream(objectName);
}

bool PlenvarClient::CloseStream(const wchar_t* objectName) {
    LibraryGuard guard(LibraryLock());
    return objectName != nullptr && mNetworkNodeClient->CloseStream(objectName);
}

// --- Callbacks ----------------------------------------------------------------

void PlenvarClient::SetCallbackFunctionSE(SECallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamSE().SetCallbackFunction(callback, context);
}

void PlenvarClient::SetCallbackFunctionST(STCallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamST().SetCallbackFunction(callback, context);
}

void PlenvarClient::SetCallbackFunctionTT(TTCallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamTT().SetCallbackFunction(callback, context);
}

void PlenvarClient::SetCallbackFunctionCSC(CSCCallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamCSC().SetCallbackFunction(callback, context);
}

void PlenvarClient::SetCallbackFunctionEV(EVCallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamEV().SetCallbackFunction(callback, context);
}

void PlenvarClient::SetCallbackFunctionVT(VTCallbackPtr callback, void* context) {
    LibraryGuard guard(LibraryLock());
    mNetworkNodeClient->StreamVT().SetCallbackFunction(callback, context);
}

bool PlenvarClient::SetLogFileName(const wchar_t* fileName) {
    return fileName != nullptr && mNetworkNodeClient->LogFile().OpenLog(fileName) == 0;
}

// --- Texts and lists ------------------------------------------------------------

void PlenvarClient::FreeArray(void* array) { ReleaseArray(array); }

void PlenvarClient::GetServerPCNameInternal(wchar_t*& text) {
    ReleaseArray(text);
    text = NewText(mNetworkNodeClient->GetServerPCName());
}

void PlenvarClient::GetServerIPAddressInternal(wchar_t*& text) {
    ReleaseArray(text);
    text = NewText(mNetworkNodeClient->GetServerIPAddress());
}

void PlenvarClient::GetServerApplicationNameInternal(wchar_t*& text) {
    ReleaseArray(text);
    text = NewText(mNetworkNodeClient->GetServerApplicationName());
}

void PlenvarClient::GetClientVersionStringInternal(wchar_t*& text) {
    ReleaseArray(text);
    text = NewText(kClientVersion);
}

bool PlenvarClient::GetZorlentObjectsAndTypesInternal(wchar_t**& objects, wchar_t**& types, int& count) {
    if (objects != nullptr || types != nullptr) {
        return false;
    }
    LibraryGuard guard(LibraryLock());
    std::vector<std::wstring> names;
    std::vector<std::wstring> typeNames;
    if (!mNetworkNodeClient->RefreshObjectList(names, typeNames) || names.size() != typeNames.size()) {
        return false;
    }
    count = static_cast<int>(names.size());
    objects = NewTextList(names);
    types = NewTextList(typeNames);
    return true;
}

// --- Server queries -----------------------------------------------------------------

bool PlenvarClient::SetApplicationName(const wchar_t* name) {
    LibraryGuard guard(LibraryLock());
    std::wstring reply;
    return Exchange(*mNetworkNodeClient, L"-SetApplicationName " + Quoted(name), reply);
}

bool PlenvarClient::LogMessageZorlent(const wchar_t* message, int value) {
    LibraryGuard guard(LibraryLock());
    std::wstring reply;
    return Exchange(*mNetworkNodeClient, L"-LogMessage " + Quoted(message) + L" " + std::to_wstring(value),
                    reply);
}

bool PlenvarClient::GetRingBufferSize(const wchar_t* objectName, int& first, int& second) {
    LibraryGuard guard(LibraryLock());
    first = 0;
    second = 0;
    std::wstring reply;
    // The name follows the keyword directly, without a blank.
    if (!Exchange(*mNetworkNodeClient, L"-GetPlenvarDataBufferSize" + Text(objectName), reply)) {
        return false;
    }
    return ReadReply(reply, {&first, &second}) >= 0;
}

bool PlenvarClient::GetSamplingFrequency(const wchar_t* objectName, int& frequency) {
    LibraryGuard guard(LibraryLock());
    frequency = 0;
    std::wstring reply;
    if (!Exchange(*mNetworkNodeClient, L"-GetSamplingFrequency " + Text(objectName), reply)) {
        return false;
    }
    return ReadReply(reply, {&frequency}) >= 0;
}

bool PlenvarClient::GetADRange(const wchar_t* objectName, int& first, int& second) {
    LibraryGuard guard(LibraryLock());
    first = 0;
    second = 0;
    std::wstring reply;
    if (!Exchange(*mNetworkNodeClient, L"-GetADRange " + Text(objectName), reply)) {
        return false;
    }
    return ReadReply(reply, {&first, &second}) >= 0;
}

bool PlenvarClient::GetFeatureInternal(const wchar_t* objectName, int featureIndex, wchar_t*& featureText) {
    ReleaseArray(featureText);
    featureText = nullptr;
    LibraryGuard guard(LibraryLock());
    std::wstring reply;
    const std::wstring command =
        L"-GetWaveformFeature " + Quoted(objectName) + L" " + std::to_wstring(featureIndex);
    if (!Exchange(*mNetworkNodeClient, command, reply)) {
        return false;
    }
    size_t position = 0;
    int code = 0;
    std::wstring feature;
    if (ReadInt(reply, position, code) && position < reply.size()) {
        size_t start = position + 1;  // the blank after the code
        feature = reply.substr(start, reply.find(L'\n', start) - start);
    }
    if (code < 0) {
        return false;
    }
    featureText = NewText(feature);
    return true;
}

bool PlenvarClient::GetRingBufferData(const wchar_t* objectName, char* buffer, int bufferSize,
                                      int& bytesCopied) {
    LibraryGuard guard(LibraryLock());
    bytesCopied = 0;
    const size_t capacity = buffer != nullptr && bufferSize > 0 ? static_cast<size_t>(bufferSize) : 0;
    if (capacity > 0) {
        std::memset(buffer, 0, capacity);
    }
    if (!mNetworkNodeClient->SendMessage(L"-RequestRingBuffer " + Text(objectName))) {
        return false;
    }
    std::unique_ptr<char[]> body;
    int size = 0;
    if (!mNetworkNodeClient->RecieveMessage(body, size) || body == nullptr || size <= 0) {
        return false;
    }
    // Binary data, passed on byte for byte; what does not fit is cut off.
    const size_t copied = std::min(capacity, static_cast<size_t>(size));
    if (copied > 0) {
        std::memcpy(buffer, body.get(), copied);
    }
    bytesCopied = static_cast<int>(copied);
    return true;
}

bool PlenvarClient::SendCommand(const wchar_t* command, char*& reply, int& replySize) {
    LibraryGuard guard(LibraryLock());
    if (!mNetworkNodeClient->SendMessage(Text(command))) {
        return false;
    }
    std::unique_ptr<char[]> body;
    int size = 0;
    bool received = mNetworkNodeClient->RecieveMessage(body, size);
    if (body != nullptr) {
        // A valid header arrived: the caller's old array gives way to the body.
        ReleaseArray(reply);
        reply = NewArray<char>(static_cast<size_t>(size));
        std::memcpy(reply, body.get(), static_cast<size_t>(size));
    }
    if (received) {
        replySize = size;
    }
    return received;
}

bool PlenvarClient::SendCommandInternal(const wchar_t* command, wchar_t*& reply) {
    ReleaseArray(reply);
    reply = nullptr;
    LibraryGuard guard(LibraryLock());
    if (!mNetworkNodeClient->SendMessage(Text(command))) {
        return false;
    }
    std::wstring text;
    bool received = mNetworkNodeClient->RecieveMessage(text);
    reply = NewText(text);
    return received;
}

bool PlenvarClient::SendCommandInternal(const wchar_t* command, int& replyCode, wchar_t**& arguments,
                                        int& argumentCount) {
    argumentCount = 0;
    replyCode = -1;
    if (arguments != nullptr) {
        return false;
    }
    LibraryGuard guard(LibraryLock());
    if (!mNetworkNodeClient->SendMessage(Text(command))) {
        return false;
    }
    int code = -1;
    std::vector<std::wstring> words;
    if (mNetworkNodeClient->ReceiveCommandReply(code, words)) {
        replyCode = code;
        argumentCount = static_cast<int>(words.size());
        arguments = NewTextList(words);
    }
    return true;
}

}  // namespace Plenvar

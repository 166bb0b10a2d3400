#pragma once
// PlenvarClient2: connect to an acquisition server (or a router), list its
// objects, open the ones you want, and receive their records through
// callbacks; send text commands and typed queries.
//
// Texts and lists leave the library as arrays that it allocates; the inline
// wrappers below copy them into standard strings and hand them back with
// FreeArray, so no standard-library object crosses the library boundary
// (GetClientVersionString's wrapper included).

#include "Plenvar/PlenvarRecords.h"

#include <string>
#include <vector>

#define PLENVAR_API __attribute__((visibility("default")))

namespace Plenvar {

class NetworkNodeClient;

class PLENVAR_API PlenvarClient {
public:
    PlenvarClient();
    virtual ~PlenvarClient();

    // serverName: computer name or dotted address. throughRouter: connect to
    // a router's front port (falling back to the server's port when nothing
    // answers there); false connects to the acquisition server directly.
    bool ConnectToServer(const wchar_t* serverName, bool throughRouter);
    bool DisconnectFromServer();
    bool AreWeConnected();
    bool OpenStream(const wchar_t* objectName);
    bool CloseStream(const wchar_t* objectName);

    void SetCallbackFunctionSE(SECallbackPtr callback, void* context);
    void SetCallbackFunctionST(STCallbackPtr callback, void* context);
    void SetCallbackFunctionTT(TTCallbackPtr callback, void* context);
    void SetCallbackFunctionCSC(CSCCallbackPtr callback, void* context);
    void SetCallbackFunctionEV(EVCallbackPtr callback, void* context);
    void SetCallbackFunctionVT(VTCallbackPtr callback, void* context);

    bool SetLogFileName(const wchar_t* fileName);

    // Server queries.
    bool SetApplicationName(const wchar_t* name);
    bool SendCommand(const wchar_t* command, char*& reply, int& replySize);
    bool GetRingBufferSize(const wchar_t* objectName, int& first, int& second);
    bool GetRingBufferData(const wchar_t* objectName, char* buffer, int bufferSize, int& bytesCopied);
    bool GetSamplingFrequency(const wchar_t* objectName, int& frequency);
    bool GetADRange(const wchar_t* objectName, int& first, int& second);
    bool LogMessageZorlent(const wchar_t* message, int value);

    // Releases an array the library handed out (texts, lists, raw replies).
    void FreeArray(void* array);

    // Header-side wrappers, compiled into the caller.
    std::wstring GetServerPCName() { return TakeText(&PlenvarClient::GetServerPCNameInternal); }
    std::wstring GetServerIPAddress() { return TakeText(&PlenvarClient::GetServerIPAddressInternal); }
    std::wstring GetServerApplicationName() {
        return TakeText(&PlenvarClient::GetServerApplicationNameInternal);
    }
    std::wstring GetClientVersionString() {
        return TakeText(&PlenvarClient::GetClientVersionStringInternal);
    }

    bool SendCommand(const wchar_t* command, std::wstring& reply) {
        reply.clear();
        wchar_t* text = nullptr;
        if (!SendCommandInternal(command, text)) {
            FreeArray(text);  // a failed receive still hands back "-1"
            return false;
        }
        if (text != nullptr) {
            reply = text;
        }
        FreeArray(text);
        return true;
    }

    bool GetZorlentObjectsAndTypes(std::vector<std::wstring>& objects, std::vector<std::wstring>& types) {
        objects.clear();
        types.clear();
        wchar_t** objectArray = nullptr;
        wchar_t** typeArray = nullptr;
        int count = -1;
        if (!GetZorlentObjectsAndTypesInternal(objectArray, typeArray, count)) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            objects.emplace_back(objectArray[i]);
            types.emplace_back(typeArray[i]);
            FreeArray(objectArray[i]);
            FreeArray(typeArray[i]);
        }
        FreeArray(objectArray);
        FreeArray(typeArray);
        return true;
    }

    bool GetFeature(const wchar_t* objectName, int featureIndex, std::wstring& feature) {
        feature.clear();
        wchar_t* text = nullptr;
        if (!GetFeatureInternal(objectName, featureIndex, text)) {
            return false;
        }
        if (text != nullptr) {
            feature = text;
        }
        FreeArray(text);
        return true;
    }

    bool SendCommand(const wchar_t* command, int& replyCode, std::vector<std::wstring>& arguments) {
        arguments.clear();
        wchar_t** array = nullptr;
        int count = 0;
        bool sent = SendCommandInternal(command, replyCode, array, count);
        for (int i = 0; i < count; ++i) {
            arguments.emplace_back(array[i]);
            FreeArray(array[i]);
        }
        FreeArray(array);
        return sent;
    }

private:
    void GetServerPCNameInternal(wchar_t*& text);
    void GetServerIPAddressInternal(wchar_t*& text);
    void GetServerApplicationNameInternal(wchar_t*& text);
    void GetClientVersionStringInternal(wchar_t*& text);
    bool GetZorlentObjectsAndTypesInternal(wchar_t**& objects, wchar_t**& types, int& count);
    bool SendCommandInternal(const wchar_t* command, wchar_t*& reply);
    bool SendCommandInternal(const wchar_t* command, int& replyCode, wchar_t**& arguments,
                             int& argumentCount);
    bool GetFeatureInternal(const wchar_t* objectName, int featureIndex, wchar_t*& featureText);

    std::wstring TakeText(void (PlenvarClient::*getter)(wchar_t*&)) {
        wchar_t* text = nullptr;
        (this->*getter)(text);
        std::wstring result = text != nullptr ? std::wstring(text) : std::wstring();
        FreeArray(text);
        return result;
    }

    NetworkNodeClient* mNetworkNodeClient;
};

PLENVAR_API PlenvarClient* GetNewPlenvarClient();
PLENVAR_API void DeletePlenvarClient(PlenvarClient* client);

}  // namespace Plenvar

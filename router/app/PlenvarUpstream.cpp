#include "PlenvarUpstream.h"

#include "Plenvar/PlenvarClient.h"

#include <algorithm>
#include <cwctype>

namespace router {

namespace {

wchar_t FoldCase(wchar_t c) {
    // Latin-1 capitals (except the multiplication sign) sit 0x20 below their
    // small letters, like ASCII; towlower alone depends on the locale.
    if ((c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return static_cast<wchar_t>(c + 0x20);
    }
    if (c < 0x100) {
        return c;
    }
    return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
}

}  // namespace

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return FoldCase(x) == FoldCase(y); });
}

PlenvarUpstream::PlenvarUpstream(Plenvar::PlenvarClient& client) : mClient(client) {}

bool PlenvarUpstream::SendCommandText(const std::wstring& command, std::wstring& reply) {
    return mClient.SendCommand(command.c_str(), reply);
}

bool PlenvarUpstream::SendCommandRaw(const std::wstring& command, std::vector<char>& reply) {
    reply.clear();
    char* bytes = nullptr;
    int size = 0;
    const bool received = mClient.SendCommand(command.c_str(), bytes, size);
    if (received && bytes != nullptr && size > 0) {
        reply.assign(bytes, bytes + size);
    }
    mClient.FreeArray(bytes);
    return received;
}

bool PlenvarUpstream::OpenStream(const std::wstring& objectName) {
    return mClient.OpenStream(objectName.c_str());
}

bool PlenvarUpstream::CloseStream(const std::wstring& objectName) {
    return mClient.CloseStream(objectName.c_str());
}

bool PlenvarUpstream::RefreshObjectLists() {
    {
        std::lock_guard lock(mListLock);
        mObjects.clear();
        mTypes.clear();
    }
    std::vector<std::wstring> objects;
    std::vector<std::wstring> types;
    if (!mClient.GetZorlentObjectsAndTypes(objects, types)) {
        return false;
    }
    std::lock_guard lock(mListLock);
    mObjects = std::move(objects);
    mTypes = std::move(types);
    return true;
}

std::vector<std::wstring> PlenvarUpstream::ObjectList() const {
    std::lock_guard lock(mListLock);
    return mObjects;
}

std::vector<std::wstring> PlenvarUpstream::TypeList() const {
    std::lock_guard lock(mListLock);
    return mTypes;
}

std::optional<std::wstring> PlenvarUpstream::MatchObject(const std::wstring& name) const {
    std::lock_guard lock(mListLock);
    for (const auto& object : mObjects) {
        if (EqualsIgnoringCase(object, name)) {
            return object;
        }
    }
    return std::nullopt;
}

}  // namespace router

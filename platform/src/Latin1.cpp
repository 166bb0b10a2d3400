#include "platform/Latin1.h"

namespace platform {

bool WideToLatin1(std::wstring_view text, std::string& out) {
    std::string result;
    result.reserve(text.size());
    for (wchar_t c : text) {
        if (static_cast<unsigned long>(c) > 0xFF) {
            return false;
        }
        result.push_back(static_cast<char>(static_cast<unsigned char>(c)));
    }
    out = std::move(result);
    return true;
}

std::wstring Latin1ToWide(std::string_view bytes) {
    std::wstring result;
    result.reserve(bytes.size());
    for (char c : bytes) {
        if (c == '\0') {
            break;
        }
        result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return result;
}

std::string WideToLatin1Lossy(std::wstring_view text) {
    std::string result;
    result.reserve(text.size());
    for (wchar_t c : text) {
        result.push_back(static_cast<unsigned long>(c) > 0xFF
                             ? '?'
                             : static_cast<char>(static_cast<unsigned char>(c)));
    }
    return result;
}

}  // namespace platform

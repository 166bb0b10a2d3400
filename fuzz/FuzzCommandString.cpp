// ParseCommandString over any text: it must not crash and, when it accepts
// the text, every word it hands back must be non-empty, free of the line
// controls it folds into blanks, and present in the cleaned text in order.

#include "CommandProcessor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Latin-1 bytes widened one to one, as the client widens replies.
    std::wstring command(data, data + size);
    std::wstring cleaned = command;
    for (wchar_t& c : cleaned) {
        if (c == L'\t' || c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }

    Plenvar::CommandProcessor processor(nullptr);
    std::vector<std::wstring> words{L"stale"};
    bool ok = processor.ParseCommandString(command, words);
    if (!ok) {
        if (!words.empty()) {
            std::abort();
        }
        return 0;
    }
    size_t from = 0;
    for (const std::wstring& word : words) {
        if (word.empty() || word.find_first_of(L"\t\r\n") != std::wstring::npos) {
            std::abort();
        }
        size_t at = cleaned.find(word, from);
        if (at == std::wstring::npos) {
            std::abort();
        }
        from = at + word.size();
    }
    return 0;
}

// The router's object-list parsing over any text: no crash, a result of 0 or
// -1, and every token taken in order from the text with its line controls
// read as blanks.

#include "ParseObjectList.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> tokens{"stale"};
    int result = router::ParseObjectList(text, tokens);
    if (result != 0 && result != -1) {
        std::abort();
    }
    if (text.empty() && result == 0 && !tokens.empty()) {
        std::abort();
    }
    std::string cleaned = text;
    for (char& c : cleaned) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    size_t from = 0;
    for (const std::string& token : tokens) {
        if (token.empty()) {
            continue;  // white space alone yields one empty token
        }
        size_t at = cleaned.find(token, from);
        if (at == std::string::npos) {
            std::abort();
        }
        from = at + token.size();
    }
    return 0;
}

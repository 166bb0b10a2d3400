#include "CommandText.h"

namespace sim {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        std::string word;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            size_t end = close == std::string_view::npos ? text.size() : close;
            word.assign(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? end : close + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !IsBlank(text[end])) {
                ++end;
            }
            word.assign(text.substr(i, end - i));
            i = end;
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string QuoteIfBlank(const std::string& word) {
    if (word.find(' ') == std::string::npos) {
        return word;
    }
    return "\"" + word + "\"";
}

std::string JoinWords(const std::vector<std::string>& words, size_t first, size_t last) {
    std::string joined;
    for (size_t i = first; i < last && i < words.size(); ++i) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += words[i];
    }
    return joined;
}

}  // namespace sim

#include "CommandText.h"

#include <cctype>
#include <climits>

namespace router {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

unsigned char FoldCase(char c) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 'A' && u <= 'Z') {
        return static_cast<unsigned char>(u + 32);
    }
    // Latin-1 capitals U+00C0..U+00DE except the multiplication sign.
    if (u >= 0xC0 && u <= 0xDE && u != 0xD7) {
        return static_cast<unsigned char>(u + 32);
    }
    return u;
}

}  // namespace

std::vector<std::string> ReadTokens(std::string_view text, size_t count) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (tokens.size() < count) {
        while (i < text.size() && IsSpace(text[i])) {
            ++i;
        }
        if (i == text.size()) {
            break;
        }
        size_t start = i;
        while (i < text.size() && !IsSpace(text[i])) {
            ++i;
        }
        tokens.emplace_back(text.substr(start, i - start));
    }
    return tokens;
}

std::string TokenAt(std::string_view text, size_t index) {
    std::vector<std::string> tokens = ReadTokens(text, index + 1);
    return tokens.size() > index ? tokens[index] : std::string();
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

int32_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            return negative ? INT_MIN : INT_MAX;
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

std::string StripOuterQuotes(std::string_view word) {
    size_t start = word.find_first_not_of('"');
    if (start == std::string_view::npos) {
        return {};
    }
    size_t end = word.find_last_not_of('"');
    return std::string(word.substr(start, end - start + 1));
}

}  // namespace router

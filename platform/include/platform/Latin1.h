#pragma once
// Text conversion between wide text and the one-byte-per-character form used
// on the wire: U+0001..U+00FF <-> the byte of the same value. Independent of
// the process locale.

#include <string>
#include <string_view>

namespace platform {

// False (and out unchanged) when the text holds a character above U+00FF.
bool WideToLatin1(std::wstring_view text, std::string& out);

// Converts bytes up to the first NUL (or the end).
std::wstring Latin1ToWide(std::string_view bytes);

// Lossy narrowing for log lines and names: characters above U+00FF become '?'.
std::string WideToLatin1Lossy(std::wstring_view text);

}  // namespace platform

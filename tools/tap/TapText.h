#pragma once
// Text between the terminal (UTF-8) and the library (wide text).

#include <string>

namespace tap {

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

}  // namespace tap

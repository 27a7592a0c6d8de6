// UTF-8 <-> UTF-16 for the texts that cross between the logic and the wide Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace vimo::win32 {

std::wstring Widen(std::string_view utf8);
// Converts into `wide`, reusing its storage: no allocation once it is large enough.
void WidenInto(std::string_view utf8, std::wstring& wide);
std::string Narrow(std::wstring_view wide);

}  // namespace vimo::win32

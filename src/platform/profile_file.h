// Settings files read and written as the Windows profile functions do (in Wine's
// form), for backends that have no such functions of their own and for the simulated
// desktop: sections and keys match case-insensitively and the first match counts;
// numbers are read as RtlUnicodeStringToInteger reads them (29 characters at most,
// leading blanks, a sign, 0x/0o/0b prefixes, digits until the first other character,
// wrapping modulo 2^32); a write that changes something rewrites the whole file with
// lines ending in `eol` (CRLF as on Windows, LF on Linux), "key=value" without blanks,
// blank lines dropped. Both line ends are read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vimo {

// The number stored under the key, or `fallback` where the file, the section, the key
// or a value is missing.
std::uint32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::int32_t fallback);

// Sets the key's value, adding the section, the key or the file as needed; a value that
// is already there leaves the file untouched. False when the file cannot be read or
// written.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value,
                        std::string_view eol = "\r\n");

}  // namespace vimo

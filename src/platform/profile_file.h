// Settings files read and written as the Windows profile functions do (in Wine's
// form), for backends that have no such functions of their own and for the simulated
// desktop: sections and keys match case-insensitively and the first match counts;
// numbers are read as RtlUnicodeStringToInteger reads them (29 characters at most,
// leading blanks, a sign, 0x/0o/0b prefixes, digits until the first other character,
// wrapping modulo 2^32); a write that changes something rewrites the whole file with
// lines ending in `eol` (CRLF as on Windows, LF on Linux), "key=value" without blanks,
// blank lines dropped. Both line ends are read.
//
// Nothing a user keeps in the file can be lost: a write replaces the file atomically (the
// whole new text into a temporary file in the same folder, fsync, rename over the file,
// fsync of the folder), so a write that fails leaves the old bytes and no temporary file.
// A link is written through: its target is replaced, the link stays. Only a regular file
// of at most kLargestProfile bytes is read; any other path (a folder, a FIFO, a socket,
// a dangling link, a file that cannot be read, a larger file) reads as a missing file,
// without blocking, and cannot be written, since its other sections would be lost. The
// last parse is kept while the file is the one last read or written (same device, inode,
// size and modification time), so the sixteen reads of a start and the sixteen writes of
// a save read the file once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vimo {

inline constexpr std::uintmax_t kLargestProfile = 16U << 20U;  // 16 MiB

// The number stored under the key, or `fallback` where the file, the section, the key
// or a value is missing. Never fails.
std::uint32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::int32_t fallback);

// Sets the key's value, adding the section, the key or the file as needed; a value that
// is already there leaves the file untouched. False when the file cannot be read or
// written.
bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value,
                        std::string_view eol = "\r\n");

// Any small file of Vimo's own, read and replaced in the same safe ways: the text of a
// regular file (none for anything else or a file larger than kLargestProfile), and a
// whole new text put in place atomically (false, the old file kept, where that fails).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);
bool ReplaceWholeFile(const std::filesystem::path& file, std::string_view text);

// The steps of replacing the file. Tests make one of them fail, as a full disk or a
// failing device does; kNone for none.
enum class ReplaceStep { kNone, kCreate, kWrite, kSync, kRename };
void FailReplaceStep(ReplaceStep step);

}  // namespace vimo

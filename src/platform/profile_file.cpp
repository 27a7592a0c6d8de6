#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace vimo {
namespace {

// GetPrivateProfileInt reads the value into a buffer of 30 characters.
constexpr std::size_t kIntChars = 29;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

struct Entry {
  std::string key;
  std::optional<std::string> value;  // none for a line without '='
};

struct Section {
  std::string name;  // empty for the lines before the first section header
  std::vector<Entry> entries;
};

struct Profile {
  bool bom = false;
  std::vector<Section> sections;
};

// The first section of that name (Profile or const Profile), or null.
template <class P>
auto FindSection(P& p, std::string_view name) -> decltype(&p.sections.front()) {
  name = Trim(name);
  for (auto& s : p.sections) {
    if (!s.name.empty() && SameText(s.name, name)) return &s;
  }
  return nullptr;
}

template <class S>
auto FindEntry(S& section, std::string_view key) -> decltype(&section.entries.front()) {
  key = Trim(key);
  for (auto& e : section.entries) {
    if (SameText(e.key, key)) return &e;
  }
  return nullptr;
}

// Lines end at CR or LF; blank lines are dropped; "[name]" runs to the last ']'.
Profile Parse(std::string_view text) {
  Profile p;
  if (text.starts_with(kUtf8Bom)) {
    p.bom = true;
    text.remove_prefix(kUtf8Bom.size());
  }
  p.sections.emplace_back();
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end);
    while (!text.empty() && (text.front() == '\r' || text.front() == '\n')) text.remove_prefix(1);
    if (line.empty()) continue;
    const std::size_t close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos) {
      p.sections.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    Entry e{std::string(Trim(line.substr(0, equals))), std::nullopt};
    if (equals != std::string_view::npos) e.value = std::string(Trim(line.substr(equals + 1)));
    p.sections.back().entries.push_back(std::move(e));
  }
  return p;
}

std::string Serialize(const Profile& p, std::string_view eol) {
  std::string out = p.bom ? std::string(kUtf8Bom) : std::string();
  for (const Section& s : p.sections) {
    if (!s.name.empty()) (out += "[" + s.name + "]") += eol;
    for (const Entry& e : s.entries) {
      out += e.key;
      if (e.value) out += "=" + *e.value;
      out += eol;
    }
  }
  return out;
}

// RtlUnicodeStringToInteger with base 0, as the profile functions use it.
std::uint32_t ToInteger(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  bool minus = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    minus = s.front() == '-';
    s.remove_prefix(1);
  }
  std::uint32_t base = 10;
  if (s.size() >= 2 && s[0] == '0') {
    const std::string_view prefixes = "box";
    const std::uint32_t bases[] = {2, 8, 16};
    const std::size_t which = prefixes.find(s[1]);
    if (which != std::string_view::npos) {
      base = bases[which];
      s.remove_prefix(2);
    }
  }
  std::uint32_t total = 0;
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    std::uint32_t digit = 99;
    if (std::isdigit(u)) digit = u - '0';
    if (u >= 'a' && u <= 'z') digit = u - 'a' + 10;
    if (u >= 'A' && u <= 'Z') digit = u - 'A' + 10;
    if (digit >= base) break;
    total = total * base + digit;
  }
  return minus ? 0U - total : total;
}

// The text GetPrivateProfileString hands to the integer conversion: one pair of
// enclosing quotes taken off, cut to the buffer.
std::string IntText(std::string_view value) {
  char quote = 0;
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    quote = value[0];
    value.remove_prefix(1);
  }
  std::string text(value.substr(0, kIntChars));
  if (quote != 0 && value.size() <= kIntChars + 1 && !text.empty()) text.pop_back();
  return text;
}

// ---- the file itself

ReplaceStep failingStep = ReplaceStep::kNone;

bool Fails(ReplaceStep step) {
  if (failingStep != step) return false;
  errno = EIO;
  return true;
}

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes it now, with the answer of close (where a delayed write error shows).
  bool Close() { return close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// What tells one version of a file from another: another program that writes the file
// changes its size or its modification time, or replaces it by another inode.
struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t mtimeSec = 0;
  std::int64_t mtimeNsec = 0;
  bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

// Where a settings path leads: the file at the end of its links.
struct Target {
  enum Kind { kMissing, kRegular, kOther } kind = kOther;
  std::filesystem::path path;
  struct stat info {};  // of the regular file
};

Target Resolve(std::filesystem::path path) {
  constexpr int kMostLinks = 40;  // as the kernel follows them
  for (int links = 0; links <= kMostLinks; ++links) {
    Target t{Target::kOther, path, {}};
    if (lstat(path.c_str(), &t.info) != 0) {
      // Nothing there is a missing file; a link to nothing is not.
      if (errno == ENOENT && links == 0) t.kind = Target::kMissing;
      return t;
    }
    if (!S_ISLNK(t.info.st_mode)) {
      if (S_ISREG(t.info.st_mode)) t.kind = Target::kRegular;
      return t;
    }
    std::error_code error;
    const std::filesystem::path to = std::filesystem::read_symlink(path, error);
    if (error) return {};
    path = path.parent_path() / to;  // the same as `to` where that is absolute
  }
  return {};
}

// The text of the regular file, no larger than kLargestProfile. The file is opened
// without following a link and without blocking, and must still be the file that was
// looked at: one swapped for a FIFO or a link in between is not read.
std::optional<std::string> ReadRegular(const Target& t, Identity& identity) {
  const Descriptor fd(
      open(t.path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_dev != t.info.st_dev || info.st_ino != t.info.st_ino ||
      static_cast<std::uintmax_t>(info.st_size) > kLargestProfile) {
    return std::nullopt;
  }
  std::string text;
  text.reserve(static_cast<std::size_t>(info.st_size));
  std::array<char, 16384> chunk{};
  for (;;) {  // to the end, whatever the size said: the file may be growing
    const ssize_t n = read(fd.get(), chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    text.append(chunk.data(), static_cast<std::size_t>(n));
    if (text.size() > kLargestProfile) return std::nullopt;
  }
  identity = IdentityOf(info);
  return text;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Replaces the target (a regular file, or none) by `bytes`: written in full to a
// temporary file beside it, with the old file's permission bits (a new file's follow the
// umask) and owner, synced, renamed over it, the folder synced. Where a step fails before
// the rename, the temporary file goes and the old file is as it was. The new file's
// identity, or none.
std::optional<Identity> Replace(const Target& t, std::string_view bytes) {
  const std::filesystem::path folder = t.path.has_parent_path() ? t.path.parent_path() : ".";
  const std::string name = t.path.filename().string();
  const Descriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return std::nullopt;
  const bool existing = t.kind == Target::kRegular;
  if (existing) {
    // A file Vimo may not write is not replaced either (a read-only file in a folder
    // Vimo may write to). Opening it for writing changes nothing.
    const Descriptor writable(open(t.path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (writable.get() < 0) return std::nullopt;
  }
  static unsigned serial = 0;
  std::string temp;
  int made = -1;
  for (int attempt = 0; made < 0 && attempt < 100; ++attempt) {
    temp = "." + name + "." + std::to_string(getpid()) + "." + std::to_string(++serial);
    made = Fails(ReplaceStep::kCreate)
               ? -1
               : openat(dir.get(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        existing ? 0600 : 0666);
    if (made < 0 && errno != EEXIST) return std::nullopt;
  }
  Descriptor fd(made);
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  bool done = (!existing || fchmod(fd.get(), t.info.st_mode & 07777) == 0) &&
              WriteAll(fd.get(), bytes) && !Fails(ReplaceStep::kWrite) && fsync(fd.get()) == 0 &&
              !Fails(ReplaceStep::kSync) && fstat(fd.get(), &info) == 0;
  if (done && existing && (info.st_uid != t.info.st_uid || info.st_gid != t.info.st_gid)) {
    if (fchown(fd.get(), t.info.st_uid, t.info.st_gid) != 0) {
      // Only root may give a file away: then another user's file (Vimo run by root)
      // stays theirs; otherwise the new file is the writer's.
    }
  }
  done = fd.Close() && done && !Fails(ReplaceStep::kRename) &&
         renameat(dir.get(), temp.c_str(), dir.get(), name.c_str()) == 0;
  if (!done) {
    unlinkat(dir.get(), temp.c_str(), 0);
    return std::nullopt;
  }
  // The new text is in place; without this it might not survive a crash.
  if (fsync(dir.get()) != 0) return std::nullopt;
  return IdentityOf(info);
}

// The last parse, and the file it is of.
struct Kept {
  std::filesystem::path path;
  Identity identity;
  Profile profile;
};
std::optional<Kept> kept;

// The parse of the regular file `t`: the kept one while the file is unchanged.
Profile* Load(const Target& t) {
  if (kept && kept->path == t.path && kept->identity == IdentityOf(t.info)) return &kept->profile;
  kept.reset();
  Identity identity;
  const std::optional<std::string> text = ReadRegular(t, identity);
  if (!text) return nullptr;
  kept = Kept{t.path, identity, Parse(*text)};
  return &kept->profile;
}

}  // namespace

void FailReplaceStep(ReplaceStep step) { failingStep = step; }

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  const Target t = Resolve(file);
  Identity identity;
  return t.kind == Target::kRegular ? ReadRegular(t, identity) : std::nullopt;
}

bool ReplaceWholeFile(const std::filesystem::path& file, std::string_view text) {
  const Target t = Resolve(file);
  return t.kind != Target::kOther && Replace(t, text).has_value();
}

std::uint32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::int32_t fallback) {
  const auto fallbackValue = static_cast<std::uint32_t>(fallback);
  try {
    const Target t = Resolve(file);
    const Profile* p = t.kind == Target::kRegular ? Load(t) : nullptr;
    const Section* s = p != nullptr ? FindSection(*p, section) : nullptr;
    const Entry* e = s != nullptr ? FindEntry(*s, key) : nullptr;
    if (e == nullptr || !e->value) return fallbackValue;
    const std::string value = IntText(*e->value);
    return value.empty() ? fallbackValue : ToInteger(value);
  } catch (const std::exception&) {
    return fallbackValue;  // out of memory: read as a missing file
  }
}

bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value, std::string_view eol) {
  try {
    const Target t = Resolve(file);
    if (t.kind == Target::kOther) return false;
    if (t.kind == Target::kMissing) kept = Kept{t.path, {}, Parse({})};
    Profile* p = t.kind == Target::kMissing ? &kept->profile : Load(t);
    if (p == nullptr) return false;
    Section* s = FindSection(*p, section);
    if (s == nullptr) {
      p->sections.push_back({std::string(Trim(section)), {}});
      s = &p->sections.back();
    }
    const std::string newValue(Trim(value));
    if (Entry* e = FindEntry(*s, key)) {
      if (e->value == newValue) return true;  // nothing changes: the file is not touched
      e->value = newValue;
    } else {
      s->entries.push_back({std::string(Trim(key)), newValue});
    }
    const std::optional<Identity> written = Replace(t, Serialize(*p, eol));
    if (!written) {
      kept.reset();  // the parse is no longer the file's
      return false;
    }
    kept->identity = *written;
    return true;
  } catch (const std::exception&) {
    kept.reset();
    return false;
  }
}

}  // namespace vimo

#include "platform/profile_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
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

// Parsing is the slow part of a read, and start-up reads one file sixteen times: the
// parse of the last bytes read is kept.
const Profile& ParseCached(const std::string& text) {
  static std::string lastText;
  static Profile last = Parse(lastText);
  if (text != lastText) {
    last = Parse(text);
    lastText = text;
  }
  return last;
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

std::optional<std::string> ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  std::string text(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (!in) return std::nullopt;
  return text;
}

}  // namespace

std::uint32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::int32_t fallback) {
  const auto fallbackValue = static_cast<std::uint32_t>(fallback);
  const std::optional<std::string> text = ReadWhole(file);
  if (!text) return fallbackValue;
  const Profile& p = ParseCached(*text);
  const Section* s = FindSection(p, section);
  const Entry* e = s != nullptr ? FindEntry(*s, key) : nullptr;
  if (e == nullptr || !e->value) return fallbackValue;
  const std::string value = IntText(*e->value);
  return value.empty() ? fallbackValue : ToInteger(value);
}

bool WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value, std::string_view eol) {
  std::error_code error;
  const bool exists = std::filesystem::exists(file, error);
  if (exists && !std::filesystem::is_regular_file(file, error)) return false;
  std::optional<std::string> text = exists ? ReadWhole(file) : std::string();
  if (!text) return false;
  Profile p = Parse(*text);
  Section* s = FindSection(p, section);
  if (s == nullptr) {
    p.sections.push_back({std::string(Trim(section)), {}});
    s = &p.sections.back();
  }
  const std::string newValue(Trim(value));
  if (Entry* e = FindEntry(*s, key)) {
    if (e->value == newValue) return true;  // nothing changes: the file is not touched
    e->value = newValue;
  } else {
    s->entries.push_back({std::string(Trim(key)), newValue});
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  const std::string bytes = Serialize(p, eol);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace vimo

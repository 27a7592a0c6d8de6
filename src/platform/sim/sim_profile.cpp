// The simulated shell folders, folder creation and profile files. The files are real
// files in a temporary host folder, so tests can put any bytes in them and read back
// exactly what was written; they are read and written as platform/profile_file.h does.
#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <system_error>

#include "platform/profile_file.h"
#include "platform/sim/sim_desktop.h"

namespace vimo::sim {

struct SimDesktop::FileRoot {
  std::filesystem::path dir;
  FileRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vimo-sim-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temp folder");
    dir = pattern;
  }
  ~FileRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  FileRoot(const FileRoot&) = delete;
  FileRoot& operator=(const FileRoot&) = delete;
};

namespace {

constexpr int kCsidlAppData = 26;
constexpr auto kInvalidArgument = static_cast<std::int32_t>(0x80070057U);  // E_INVALIDARG
}  // namespace

std::filesystem::path SimDesktop::HostPath(std::string_view windowsPath) {
  if (!files_) files_ = std::make_shared<FileRoot>();
  if (windowsPath == lastWindowsPath_ && lastRoot_ == files_.get()) return lastHostPath_;
  std::string drive = "C";
  std::string_view rest = windowsPath;
  std::vector<std::string> parts;
  if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    drive = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
    rest.remove_prefix(2);
  } else if (rest.empty() || (rest[0] != '\\' && rest[0] != '/')) {
    parts.emplace_back("Windows");
  }
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find_first_of("\\/"), rest.size());
    const std::string_view part = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.emplace_back(part);
  }
  std::filesystem::path host = files_->dir / drive;
  for (const std::string& part : parts) host /= part;
  lastWindowsPath_ = windowsPath;
  lastRoot_ = files_.get();
  lastHostPath_ = host;
  return host;
}

void SimDesktop::UseFilesOf(SimDesktop& other) {
  other.HostPath("");
  files_ = other.files_;
}

std::int32_t SimDesktop::SHGetSpecialFolderLocation(Handle /*owner*/, int folder, Handle* idList) {
  if (idList == nullptr || folder != kCsidlAppData || specialFolderFails_) return kInvalidArgument;
  *idList = ++nextItemList_;
  itemLists_.emplace(*idList, kAppDataFolder);
  return 0;
}

bool SimDesktop::SHGetPathFromIDList(Handle idList, std::string* path) {
  const auto it = itemLists_.find(idList);
  if (it == itemLists_.end() || path == nullptr) return false;
  *path = it->second;
  return true;
}

void SimDesktop::CoTaskMemFree(Handle memory) { itemLists_.erase(memory); }

bool SimDesktop::MakeSureDirectoryPathExists(std::string_view path) {
  const std::size_t last = path.find_last_of('\\');
  if (last == std::string_view::npos) return true;
  std::error_code error;
  std::filesystem::create_directories(HostPath(path.substr(0, last + 1)), error);
  return !error;
}

std::uint32_t SimDesktop::GetPrivateProfileInt(std::string_view section, std::string_view key,
                                               std::int32_t fallback, std::string_view file) {
  if (readsFail_) throw std::runtime_error("cannot read the profile");
  return ReadProfileInt(HostPath(file), section, key, fallback);
}

bool SimDesktop::WritePrivateProfileString(std::string_view section, std::string_view key,
                                           std::string_view value, std::string_view file) {
  if (!failingKey_.empty() && failingKey_ == key) return false;
  return WriteProfileString(HostPath(file), section, key, value);
}

}  // namespace vimo::sim

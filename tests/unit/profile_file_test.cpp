// The profile engine's files: what a failed write, a path that is no regular file, a link
// and another program's edits do to the settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/profile_file.h"

namespace vimo::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// A folder of the test's own, gone at its end.
struct Folder {
  Folder() {
    std::string pattern = (fs::temp_directory_path() / "vimo-profile-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~Folder() { fs::remove_all(path); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  static Names In(const fs::path& folder) {
    Names names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path path;
};

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const fs::path& file, std::string_view text) {
  std::ofstream(file, std::ios::binary) << text;
}

// A user's file of about 4 KB: a section of their own with one long value, and Vimo's.
const std::string kUsers =
    "[Mine]\nNote=" + std::string(3900, 'n') + "\nOther=1\n[Settings]\nTop=1\n";

TEST(ProfileFile, AFailedWriteLeavesTheOldBytesAndNoTemporaryFile) {
  const struct {
    ReplaceStep step;
    rlim_t sizeLimit;  // a limit the new text goes past, as a full disk stops it
  } cases[] = {{ReplaceStep::kCreate, RLIM_INFINITY},
               {ReplaceStep::kNone, 2048},
               {ReplaceStep::kWrite, RLIM_INFINITY},
               {ReplaceStep::kSync, RLIM_INFINITY},
               {ReplaceStep::kRename, RLIM_INFINITY}};
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    const Folder f;
    const fs::path file = f.path / "Vimo.ini";
    Put(file, kUsers);
    EXPECT_EQ(ReadProfileInt(file, "Settings", "Top", 0), 1U);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit before = limit;
    limit.rlim_cur = std::min(c.sizeLimit, limit.rlim_max);
    setrlimit(RLIMIT_FSIZE, &limit);
    FailReplaceStep(c.step);
    EXPECT_FALSE(WriteProfileString(file, "Settings", "Top", "2", "\n"));
    FailReplaceStep(ReplaceStep::kNone);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(Bytes(file), kUsers);
    EXPECT_EQ(Folder::In(f.path), Names{"Vimo.ini"});
    EXPECT_EQ(ReadProfileInt(file, "Settings", "Top", 0), 1U)
        << "the file's, not the failed write's";
    EXPECT_TRUE(WriteProfileString(file, "Settings", "Top", "2", "\n"));
    EXPECT_EQ(Bytes(file), kUsers.substr(0, kUsers.size() - 2) + "2\n");
  }
}

TEST(ProfileFile, APathThatIsNoReadableRegularFileReadsAsMissingAndIsNotWritten) {
  const struct {
    const char* what;
    void (*make)(const fs::path&);
    bool asUser = false;  // root reads and writes it anyway
  } cases[] = {
      {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
      {"a FIFO", [](const fs::path& p) { mkfifo(p.c_str(), 0644); }},
      {"a socket",
       [](const fs::path& p) {
         const int s = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         p.string().copy(address.sun_path, sizeof(address.sun_path) - 1);
         bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
         close(s);
       }},
      {"a dangling link", [](const fs::path& p) { fs::create_symlink("gone.ini", p); }},
      {"a file over 16 MiB",
       [](const fs::path& p) {
         Put(p, "[Settings]\nGrid=1\n");
         fs::resize_file(p, kLargestProfile + 1);
       }},
      {"a file without read permission",
       [](const fs::path& p) {
         Put(p, "[Settings]\nGrid=1\n");
         fs::permissions(p, fs::perms::owner_write);
       },
       true},
  };
  alarm(20);  // a read that blocks (on the FIFO) ends the run
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.asUser && geteuid() == 0) continue;
    const Folder f;
    const fs::path file = f.path / "Vimo.ini";
    c.make(file);
    const fs::file_status before = fs::symlink_status(file);
    ASSERT_NE(before.type(), fs::file_type::not_found);
    EXPECT_EQ(ReadProfileInt(file, "Settings", "Grid", 7), 7U);
    EXPECT_FALSE(WriteProfileString(file, "Settings", "Grid", "-1"));
    EXPECT_EQ(fs::symlink_status(file).type(), before.type());
    EXPECT_EQ(Folder::In(f.path), Names{"Vimo.ini"});
  }
  alarm(0);
}

TEST(ProfileFile, ALinkedFileIsReplacedBehindTheLinkAndKeepsItsMode) {
  const Folder f;
  fs::create_directories(f.path / "dotfiles");
  fs::create_directories(f.path / "Vimo");
  const fs::path target = f.path / "dotfiles/vimo.ini";
  const fs::path link = f.path / "Vimo/Vimo.ini";
  Put(target, "[Settings]\nGrid=0\n");
  fs::permissions(target, fs::perms(0640));
  fs::create_symlink("../dotfiles/vimo.ini", link);
  EXPECT_TRUE(WriteProfileString(link, "Settings", "Grid", "-1", "\n"));
  EXPECT_EQ(fs::read_symlink(link), "../dotfiles/vimo.ini");
  EXPECT_EQ(Bytes(target), "[Settings]\nGrid=-1\n");
  EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
  EXPECT_EQ(Folder::In(f.path / "dotfiles"), Names{"vimo.ini"});
  const mode_t mask = umask(027);  // a new file's mode is the umask's
  EXPECT_TRUE(WriteProfileString(f.path / "Vimo/New.ini", "Settings", "Grid", "0"));
  umask(mask);
  EXPECT_EQ(fs::status(f.path / "Vimo/New.ini").permissions(), fs::perms(0640));
}

// The parse kept between writes serves only the file it was made of.
TEST(ProfileFile, WritesKeepWhatAnotherProgramWroteAndAValueThereTouchesNothing) {
  const Folder f;
  const fs::path file = f.path / "Vimo.ini";
  EXPECT_TRUE(WriteProfileString(file, "Settings", "Grid", "0", "\n"));
  Put(file, "[Other]\nA=1\n[Settings]\nGrid=0\n");  // edited in place
  EXPECT_TRUE(WriteProfileString(file, "Settings", "Top", "5", "\n"));
  EXPECT_EQ(Bytes(file), "[Other]\nA=1\n[Settings]\nGrid=0\nTop=5\n");
  Put(f.path / "new", "[Other]\nA=2\n[Settings]\nGrid=0\nTop=5\n");  // as large and as old
  fs::last_write_time(f.path / "new", fs::last_write_time(file));
  fs::rename(f.path / "new", file);
  EXPECT_TRUE(WriteProfileString(file, "Settings", "Grid", "1", "\n"));
  EXPECT_EQ(Bytes(file), "[Other]\nA=2\n[Settings]\nGrid=1\nTop=5\n");
  struct stat before {};
  struct stat after {};
  stat(file.c_str(), &before);
  EXPECT_TRUE(WriteProfileString(file, "settings", "TOP", " 5 ", "\n"));
  stat(file.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

}  // namespace
}  // namespace vimo::test

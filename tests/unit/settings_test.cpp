// The settings file: what Vimo writes at exit, what it makes of what it reads at start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <tuple>

#include "platform/profile_file.h"
#include "vimo_harness.h"

namespace vimo::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kIni = "C:\\Users\\Tester\\AppData\\Roaming\\Vimo\\Vimo.ini";

std::string ReadIni(sim::SimDesktop& d, const char* path = kIni) {
  std::ifstream in(d.HostPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteIni(sim::SimDesktop& d, std::string_view text) {
  const std::filesystem::path path = d.HostPath(kIni);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The file a fresh Vimo writes at exit with the pointer at (500, 300), with `changed` values.
std::string Written(const std::map<std::string, std::string>& changed) {
  const std::pair<std::string, std::string> keys[] = {
      {"FactorIndex", "3"}, {"GridColor", "12632256"}, {"Grid", "0"},      {"Sticked", "0"},
      {"Centered", "-1"},   {"Measure", "0"},          {"Locked", "0"},    {"XPos", "467"},
      {"YPos", "268"},      {"TopWindow", "-1"},       {"CursorOn", "-1"}, {"Width", "3240"},
      {"Height", "3570"},   {"Left", "12780"},         {"Top", "6315"},    {"SlowMouse", "0"}};
  std::string text = "[Settings]\r\n";
  for (const auto& [key, value] : keys) {
    text += key + "=" + (changed.contains(key) ? changed.at(key) : value) + "\r\n";
  }
  return text;
}

// The window shows without the read-out. Reads that fail (a backend's fault) are missing
// keys: every default is applied.
TEST(Settings, AFirstRunMakesTheFolderAndWritesTheDefaultsAtExitOnly) {
  for (const bool readsFail : {false, true}) {
    Vimo v;
    v.desktop.FailProfileReads(readsFail);
    sim::SimForm& form = v.Start();
    EXPECT_TRUE(form.Visible() && form.Failures().empty());
    EXPECT_FALSE(form.LabelControl("Label1").Visible() || form.LabelControl("Label2").Visible());
    EXPECT_EQ(form.Caption(), "Vimo (3x)  Right click for a menu") << readsFail;
    EXPECT_EQ(v.s().SettingsPath, kIni);
    EXPECT_TRUE(std::filesystem::is_directory(v.desktop.HostPath(kIni).parent_path()));
    EXPECT_EQ(v.desktop.LiveItemLists(), 0);
    v.Ticks(3);  // the pointer at (500, 300): a 66 x 65 source centred on it
    v.form->ClickMenu("Mag", 4);
    v.form->ClickMenu("Mag", 3);
    EXPECT_FALSE(std::filesystem::exists(v.desktop.HostPath(kIni)));
    v.form->Minimize();  // what is saved is the window's normal place and size
    v.form->Close();
    EXPECT_EQ(ReadIni(v.desktop), Written({})) << readsFail;
    EXPECT_TRUE(v.toolkit.MessageBoxes().empty());
  }
}

// The factor and the grid colour are saved from the state, whatever the menu and the pen
// show. Each option's own key: Options below.
TEST(Settings, EveryValueIsWrittenAndComesBackAtTheNextStart) {
  Running v;
  v.desktop.SetCursorPos({700, 400});
  v.Ticks(1);
  ASSERT_TRUE(v.form->ClickMenu("GridMen"));
  v.form->ClickMenu("Mag", 7);
  v.Mag(7).SetChecked(false);
  v.s().GridColor = 0x00123456;
  v.s().Locked = v.s().MeasureOn = kTrue;  // the read-out band makes the window taller
  v.app.ApplyLock();
  EXPECT_EQ(v.Client(7, 10), 0x00123456U) << "its repaint draws the grid in the new colour";
  v.form->SetLeft(-1500.0F);
  v.form->SetTop(900.0F);
  v.form->Close();
  const std::map<std::string, std::string> changed = {
      {"FactorIndex", "7"}, {"GridColor", "1193046"}, {"Grid", "-1"},
      {"Measure", "-1"},    {"Locked", "-1"},         {"XPos", "667"},
      {"YPos", "368"},      {"Height", "3930"},       {"Left", "-1500"},
      {"Top", "900"}};
  EXPECT_EQ(ReadIni(v.desktop), Written(changed));

  Vimo next;
  next.desktop.UseFilesOf(v.desktop);
  next.Start();
  const MagnifierState& s = next.s();
  EXPECT_EQ(s.Factor, 7);
  EXPECT_TRUE(next.Mag(7).Checked());
  EXPECT_EQ(s.GridColor, 0x00123456U);
  EXPECT_EQ(next.form->Picture("BuffPic").ForeColor(), 0x00123456U);
  EXPECT_EQ(next.Client(7, 10), 0x00123456U) << "the first grid line, drawn at load";
  EXPECT_EQ((Point{s.SrcX, s.SrcY}), (Point{667, 368}));
  // The stored left edge was off the primary screen: it comes back at 0.
  EXPECT_EQ(next.form->Window().outer, (Rect{0, 60, 216, 60 + 262}));
  next.Ticks(1);  // locked: the view stays where it was
  EXPECT_EQ(s.SrcX, 667);
}

// Each on/off option: its menu item (of the Center / TopLeft pair, the one that sets it
// on), its key and default, and what it does, from the menu and from the next start.
// `shows` tells whether the option's effect is on, after a tick where `ticks` says so.
TEST(Options, EachHasItsItemKeyDefaultAndEffect) {
  // The item, the off item, the flag, the key, the default, whether the item is enabled
  // only while locked, whether `shows` needs a tick, and `shows`.
  const std::tuple<const char*, const char*, Flag MagnifierState::*, const char*, Flag, bool, bool,
                   bool (*)(Vimo&)>
      options[] = {
          {"GridMen", nullptr, &MagnifierState::GridOn, "Grid", kFalse, false, false,
           [](Vimo& v) {  // at once, relaid: the frame's right side moves in by one
             const bool grid = v.Client(3, 10) == 0xC0C0C0U;
             EXPECT_EQ(v.Client(grid ? 198 : 199, 10), 0U);
             return grid;
           }},
          {"Stick", nullptr, &MagnifierState::Sticky, "Sticked", kFalse, false, false,
           [](Vimo& v) {
             const Point at{v.form->Window().outer.left + 100, 200};
             v.desktop.SetCursorPos(at);
             v.Ticks(1);
             return v.form->Window().outer.left == at.x + 24;
           }},
          {"Center", "TopLeft", &MagnifierState::Centered, "Centered", kTrue, false, true,
           [](Vimo& v) { return v.s().SrcX + v.s().SrcWidth / 2 == 500; }},
          {"Meas", nullptr, &MagnifierState::MeasureOn, "Measure", kFalse, true, false,
           [](Vimo& v) { return v.form->LabelControl("Label1").Visible(); }},
          {"LockMen", nullptr, &MagnifierState::Locked, "Locked", kFalse, false, false,
           [](Vimo& v) {
             const std::int16_t x = v.s().SrcX;
             v.desktop.SetCursorPos({x + 100, 300});
             v.Ticks(1);
             return v.s().SrcX == x;
           }},
          {"OnTop", nullptr, &MagnifierState::OnTopOn, "TopWindow", kTrue, false, false,
           [](Vimo& v) { return v.form->Window().topmost; }},
          {"PointerMen", nullptr, &MagnifierState::PointerOn, "CursorOn", kTrue, false, true,
           [](Vimo& v) {  // the arrow's black tip, three times larger
             return v.Client(3 * (500 - v.s().SrcX) + 1, 3 * (300 - v.s().SrcY) + 1) == 0U;
           }},
          {"SlowMouse", nullptr, &MagnifierState::SlowMouseOn, "SlowMouse", kFalse, true, true,
           [](Vimo& v) { return v.desktop.MouseSpeed() == 3; }},
      };
  for (const auto& [item, offItem, flag, key, fallback, needsLock, ticks, shows] : options) {
    SCOPED_TRACE(key);
    const auto expect = [&](Vimo& v, Flag want) {
      EXPECT_EQ(v.s().*flag, want);
      EXPECT_EQ(v.Menu(item).Checked(), want == kTrue);
      if (offItem != nullptr) {
        EXPECT_EQ(v.Menu(offItem).Checked(), want == kFalse);
      }
      if (ticks) v.Ticks(1);
      EXPECT_EQ(shows(v), want == kTrue);
    };
    const auto click = [&](Vimo& v, Flag want) {  // nothing moves, nothing is activated
      const Rect outer = v.form->Window().outer;
      ASSERT_TRUE(v.form->ClickMenu(offItem != nullptr && want == kFalse ? offItem : item));
      EXPECT_EQ((Point{v.form->Window().outer.left, v.form->Window().outer.top}),
                (Point{outer.left, outer.top}));
      EXPECT_EQ(v.desktop.ActiveWindow(), 0U);
      expect(v, want);
    };
    Vimo v;  // the pointer at (500, 300), at speed 10
    v.desktop.SetCursorImage(sim::MakeArrowCursor(false));
    v.Start();
    v.Ticks(1);
    if (needsLock) v.form->ClickMenu("LockMen");
    expect(v, fallback);
    const Flag changed = Complement(fallback);
    click(v, changed);
    v.form->Close();
    const std::string line = "\r\n" + std::string(key) + "=" + std::to_string(changed) + "\r\n";
    EXPECT_NE(ReadIni(v.desktop).find(line), std::string::npos);

    Vimo next;
    next.desktop.UseFilesOf(v.desktop);
    next.desktop.SetCursorImage(sim::MakeArrowCursor(false));
    next.Start();
    expect(next, changed);
    click(next, fallback);
  }
}

// Numbers are read as Windows reads them; the window is kept on the primary screen and
// usable, 216 x 238 pixels in its middle without stored sizes.
TEST(Settings, StoredLinesAreReadAsWindowsReadsThemAndTheWindowKeptOnThePrimaryScreen) {
  constexpr Rect kMid{852, 421, 852 + 216, 421 + 238};
  constexpr Colour kGrey = 0xC0C0C0;  // the default grid colour
  // The lines, then the factor, the grid colour, the source's place, the grid read and the
  // window's outer pixels.
  const std::tuple<const char*, std::int16_t, Colour, Point, Flag, Rect> cases[] = {
      {"", 3, kGrey, {}, kFalse, kMid},
      {"Grid=1\nXPos=70000\nFactorIndex=10\nYPos=-70000", 10, kGrey, {4464, -4464}, kTrue, kMid},
      {"GRID = 5 \n xpos=-70000\nGridColor=255\nYPos=100000", 3, 255, {-4464, -31072}, kTrue, kMid},
      {"FactorIndex=0\nGridColor=-1\nGrid=abc", 3, kGrey, {}, kFalse, kMid},
      {"FactorIndex=11\nGridColor=16777216\nXPos=0x10", 3, kGrey, {16, 0}, kFalse, kMid},
      {"FactorIndex=65541\nGrid=-0\nXPos=4294967297", 3, kGrey, {1, 0}, kFalse, kMid},
      {"FactorIndex=\"5\"\nFactorIndex=6\nXPos=12x", 5, kGrey, {12, 0}, kFalse, kMid},
      {"Width=6000", 3, kGrey, {}, kFalse, {760, 421, 760 + 400, 421 + 238}},
      {"Width=40000\nHeight=99999", 3, kGrey, {}, kFalse, {0, 0, 1920, 1080}},
      {"Left=-1200\nTop=-5", 3, kGrey, {}, kFalse, {0, 0, 216, 238}},
      {"Left=99999\nTop=16000", 3, kGrey, {}, kFalse, {1704, 842, 1920, 1080}},
      {"Width=0\nHeight=-7", 3, kGrey, {}, kFalse, kMid},
      {"Width=254\nHeight=599", 3, kGrey, {}, kFalse, kMid},  // no client pixel left
      {"Width=255\nHeight=600\nLeft=15\nTop=30", 3, kGrey, {}, kFalse, {1, 2, 1 + 17, 2 + 40}},
      {"Width=40000\nHeight=99999\nLeft=99999\nTop=99999", 3, kGrey, {}, kFalse, {0, 0, 1024, 768}},
  };
  for (const auto& [ini, factor, colour, src, grid, outer] : cases) {
    // The last on a primary screen of 1024 x 768, not the desktop reaching left of it.
    Vimo v(outer.right == 1024 ? std::vector<Rect>{{-1280, 0, 0, 1024}, {0, 0, 1024, 768}}
                               : std::vector<Rect>{kFullHd});
    WriteIni(v.desktop, "[Settings]\n" + std::string(ini));
    v.Start();
    SCOPED_TRACE(ini);
    EXPECT_EQ(v.s().Factor, factor);
    for (std::int16_t i = 1; i <= 10; ++i) EXPECT_EQ(v.Mag(i).Checked(), i == factor);
    EXPECT_EQ(v.form->Caption(), "Vimo (" + std::to_string(factor) + "x)" + v.s().HintText);
    EXPECT_EQ(v.s().GridColor, colour);
    EXPECT_EQ(v.form->Picture("BuffPic").ForeColor(), colour);
    EXPECT_EQ((Point{v.s().SrcX, v.s().SrcY}), src);
    EXPECT_EQ(v.s().GridOn, grid);
    EXPECT_EQ(v.form->Window().outer, outer);
  }
}

TEST(Settings, AFailingWriteStopsTheSaveWithOneMessage) {
  const std::string message =
      "File access denied. Cannot save settings.\r\nPlease make sure that the file\r\n" +
      std::string(kIni) + "\r\nis not write protected or opened by another program.";
  Vimo full;  // a full disk from the Measure key on
  full.Start();
  full.desktop.FailProfileWritesOf("Measure");
  full.form->Close();
  EXPECT_TRUE(full.form->Unloaded());
  EXPECT_EQ(full.toolkit.MessageBoxes(),
            (std::vector<sim::MessageBoxRecord>{{message, 48, "Vimo Error"}}));
  const std::string firstRun = Written({});
  EXPECT_EQ(ReadIni(full.desktop), firstRun.substr(0, firstRun.find("Measure=")));

  // Each way the save of a user's file fails at the first key: a step of replacing it, or
  // the path something Vimo may not read (read as missing: the factor is not 4). The
  // message, the path as it was and nothing beside it; the failed save's factor 6 unread.
  const std::string users =
      "[Mine]\r\nNote=" + std::string(3900, 'n') + "\r\n[Settings]\r\nFactorIndex=4\r\n";
  // What fails, the step of replacing that fails or what is made from the user's file.
  const std::tuple<std::string_view, ReplaceStep, void (*)(const fs::path&)> cases[] = {
      {"create", ReplaceStep::kCreate, nullptr},
      {"write", ReplaceStep::kWrite, nullptr},
      {"sync", ReplaceStep::kSync, nullptr},
      {"rename", ReplaceStep::kRename, nullptr},
      {"folder", {}, [](const fs::path& p) { fs::create_directory(p); }},
      {"FIFO", {}, [](const fs::path& p) { mknod(p.c_str(), S_IFIFO | 0644, 0); }},
      {"socket", {}, [](const fs::path& p) { mknod(p.c_str(), S_IFSOCK | 0644, 0); }},
      {"dangling link", {}, [](const fs::path& p) { fs::create_symlink("gone.ini", p); }},
      {"oversize file", {}, [](const fs::path& p) { fs::resize_file(p, kLargestProfile + 1); }},
      {"unreadable file", {}, [](const fs::path& p) { fs::permissions(p, fs::perms::none); }},
  };
  alarm(20);  // a read that blocks (on the FIFO) ends the run
  for (const auto& [what, step, make] : cases) {
    SCOPED_TRACE(what);
    if (what == "unreadable file" && geteuid() == 0) continue;  // root reads it anyway
    Vimo v;
    WriteIni(v.desktop, users);
    const fs::path file = v.desktop.HostPath(kIni);
    if (make != nullptr && !what.ends_with("file")) fs::remove(file);
    if (make != nullptr) make(file);
    const fs::file_type type = fs::symlink_status(file).type();
    const std::string before = type == fs::file_type::regular ? ReadIni(v.desktop) : "";
    v.Start();
    EXPECT_EQ(v.s().Factor, make != nullptr ? 3 : 4);
    v.form->ClickMenu("Mag", 6);
    FailReplaceStep(step);
    v.form->Close();
    FailReplaceStep(ReplaceStep::kNone);
    EXPECT_EQ(v.toolkit.MessageBoxes(), full.toolkit.MessageBoxes());
    EXPECT_EQ(fs::symlink_status(file).type(), type);
    EXPECT_TRUE(type != fs::file_type::regular || ReadIni(v.desktop) == before);
    EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), {}), 1);
    EXPECT_NE(ReadProfileInt(file, "Settings", "FactorIndex", 0), 6U);
  }
  alarm(0);
}

// The user's file is a link to their dotfile: the link stays and the dotfile keeps its
// mode. Another program replaces the dotfile while Vimo runs, with a file as large and as
// old (0640): its A=2 stays too.
TEST(Settings, OtherSectionsAndKeysStayAndKnownKeysAreReplacedInPlace) {
  Vimo v;
  const std::string users = "; mine\n[Other]\nA = 1\n\n[settings]\nfactorindex=4\nExtra=x\n";
  WriteIni(v.desktop, users);
  const fs::path link = v.desktop.HostPath(kIni);
  const fs::path dotfile = link.parent_path().parent_path() / "vimo.ini";
  fs::rename(link, dotfile);
  fs::create_symlink("../vimo.ini", link);
  v.Start();
  EXPECT_EQ(v.s().Factor, 4);
  std::ofstream(dotfile.string() + "~", std::ios::binary)
      << "; mine\n[Other]\nA = 2" << users.substr(20);
  fs::last_write_time(dotfile.string() + "~", fs::last_write_time(dotfile));
  fs::rename(dotfile.string() + "~", dotfile);
  fs::permissions(dotfile, fs::perms(0640));
  v.form->Close();
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::status(dotfile).permissions(), fs::perms(0640));
  const std::string text = ReadIni(v.desktop);
  const std::string kept = "; mine\r\n[Other]\r\nA=2\r\n[settings]\r\nfactorindex=4\r\nExtra=x\r\n";
  EXPECT_EQ(text.substr(0, kept.size() + 20), kept + "GridColor=12632256\r\n");
  EXPECT_EQ(text.substr(text.size() - 13), "SlowMouse=0\r\n");
}

// Without the application-data folder the file is at the drive root. A fraction of a twip
// is written with a point.
TEST(Settings, WithoutTheApplicationDataFolderTheFileIsAtTheDriveRootAndFractionsHaveAPoint) {
  Vimo v;
  v.desktop.SetSpecialFolderFails(true);
  v.toolkit.SetTwipsPerPixel(1440.0F / 168.0F, 1440.0F / 168.0F);
  v.Start();
  EXPECT_EQ(v.s().SettingsPath, "\\Vimo\\Vimo.ini");
  v.form->Close();
  const std::string text = ReadIni(v.desktop, "C:\\Vimo\\Vimo.ini");
  EXPECT_EQ(text.substr(0, 27), "[Settings]\r\nFactorIndex=3\r\n");
  EXPECT_NE(text.find("\r\nWidth=3137.143\r\n"), std::string::npos);
}

// Random key=value lines with extreme numbers, duplicates, very long lines and random
// bytes: every start ends with every field in its range.
TEST(Settings, AnySettingsFileGivesAValidStart) {
  std::mt19937 random(20261206);
  const char* keys[] = {"FactorIndex", "GridColor", "Grid", "Sticked",   "Centered",   "Measure",
                        "Locked",      "XPos",      "YPos", "TopWindow", "CursorOn",   "Width",
                        "Height",      "Left",      "Top",  "SlowMouse", "[Settings]", "\x01\xff"};
  const char* values[] = {
      "-2147483648", "2147483647", "4294967295", "99999999999999", "-1",    "0",   "1",   "10",
      "11",          "65536",      "0x7fffffff", "0xFFFFFFFF",     " -0b1", "\"3", "2.5", "1e9"};
  auto pick = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  for (int i = 0; i < 1000; ++i) {
    std::string text = "[Settings]\r\n";
    for (std::size_t line = pick(24); line > 0; --line) {
      text += keys[pick(std::size(keys))];
      text += pick(8) == 0 ? std::string(pick(3000), static_cast<char>('0' + pick(10)))
                           : "=" + std::string(values[pick(std::size(values))]);
      text += pick(3) == 0 ? "\n" : "\r\n";
    }
    Vimo v({{0, 0, 64, 64}});
    v.toolkit.SetTwipsPerPixel(100.0F, 100.0F);  // a 30 x 9 pixel client area
    WriteIni(v.desktop, text);
    v.Start();
    const MagnifierState& s = v.s();
    ASSERT_TRUE(s.Factor >= 1 && s.Factor <= 10) << text;
    for (std::int16_t f = 1; f <= 10; ++f) ASSERT_EQ(v.Mag(f).Checked(), f == s.Factor) << text;
    for (Flag flag : {s.GridOn, s.Sticky, s.Centered, s.MeasureOn, s.Locked, s.OnTopOn, s.PointerOn,
                      s.SlowMouseOn}) {
      ASSERT_TRUE(flag == kTrue || flag == kFalse) << text;
    }
    const Rect w = v.form->Window().outer;
    ASSERT_TRUE(w.left >= 0 && w.top >= 0 && w.right <= 64 && w.bottom <= 64) << text;
    ASSERT_TRUE(v.form->ClientWidth() >= 1 && v.form->ClientHeight() >= 1) << text;
    ASSERT_LE(s.GridColor, 0x00FFFFFFU) << text;
    ASSERT_TRUE(v.form->Failures().empty()) << text;
  }
}

}  // namespace
}  // namespace vimo::test

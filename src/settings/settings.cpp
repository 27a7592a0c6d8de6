// The settings file: %APPDATA%\Vimo\Vimo.ini, section [Settings], read once at the end of
// start-up and written once when the window unloads.
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <span>
#include <stdexcept>
#include <string>

#include "app/arith.h"
#include "app/main_window.h"
#include "platform/units.h"
#include "ui/designs.h"

namespace vimo {
namespace {

constexpr std::int32_t kCsidlAppData = 26;
constexpr const char* kSettingsFolder = "Vimo";
constexpr const char* kSettingsName = "Vimo.ini";
constexpr const char* kSection = "Settings";
// A stored window size must leave at least this much client area, in pixels.
constexpr float kMinClientPixels = 1.0F;

constexpr int kExclamationOk = 48;  // MB_ICONEXCLAMATION | MB_OK
constexpr const char* kErrorTitle = "Vimo Error";

// Runs one step of reading the settings; a step that fails is skipped without a report.
template <class Step>
void Guarded(const Step& step) {
  try {
    step();
  } catch (const std::exception&) {
    // The setting keeps the value it had before this step.
  }
}

constexpr std::int32_t kLargestColour = 0x00FFFFFF;

std::string Decimal(std::int32_t value) { return std::to_string(value); }

std::int16_t LowBits(std::int32_t value) { return static_cast<std::int16_t>(value); }

// A window size or position: the single-precision twips value with at most 7
// significant digits, whole numbers as plain integers, and a '.' before a fraction
// whatever the user's locale ("4620", "-19200", "857.1428").
std::string TwipsText(float twips) {
  const double value = twips;
  if (!std::isfinite(value) || std::fabs(value) < 1e-4) return "0";
  std::array<char, 64> text{};
  std::to_chars_result done{};
  if (std::fabs(value) < 1e7) {
    done =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::general, 7);
  } else {
    // Beyond 7 digits: rounded to 7 significant digits, still written out in full.
    const double scale = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 6.0);
    done = std::to_chars(text.data(), text.data() + text.size(),
                         RoundHalfEven(value / scale) * scale, std::chars_format::fixed, 0);
  }
  return std::string(text.data(), done.ptr);
}

std::string SaveFailureText(const std::string& path) {
  return "File access denied. Cannot save settings.\r\nPlease make sure that the file\r\n" + path +
         "\r\nis not write protected or opened by another program.";
}

}  // namespace

std::string MainWindow::GetSpecialfolder(std::int32_t folder) {
  Handle idList = 0;
  if (api_.SHGetSpecialFolderLocation(form_->hWnd(), folder, &idList) != 0) return {};
  std::string path;  // stays empty when the item list has no path
  api_.SHGetPathFromIDList(idList, &path);
  api_.CoTaskMemFree(idList);
  return path;
}

// A stored value, or `fallback` where the key is missing. Flags are normalised by ToFlag.
// A read that fails is a missing key: the row still applies its default (a failing read
// once skipped SetFactor and the window's size and place, leaving the design's caption
// and no view).
std::int32_t MainWindow::StoredValue(std::string_view key, std::int32_t fallback) {
  try {
    return static_cast<std::int32_t>(
        api_.GetPrivateProfileInt(kSection, key, fallback, s_.SettingsPath));
  } catch (const std::exception&) {
    return fallback;
  }
}

// A stored window size in twips, no larger than the primary screen. The present size
// where none is stored, or where the stored one would leave less than kMinClientPixels of
// the present `client` pixels (at `tpp` twips each).
float MainWindow::StoredSize(std::string_view key, float present, float client, float tpp,
                             float screen) {
  const float minimum = present - (client - kMinClientPixels) * tpp;
  const double kept = RoundHalfEven(present);
  double size = StoredValue(key, ToInt32(kept));
  if (size < minimum) size = kept;
  if (size > screen) size = RoundHalfEven(screen);
  return static_cast<float>(size);
}

// A stored window edge in twips, kept on the primary screen; centred where none is
// stored.
float MainWindow::StoredPosition(std::string_view key, float screen, float window) {
  const double centred = RoundHalfEven(screen / 2.0 - window / 2.0);
  double edge = StoredValue(key, ToInt32(centred));
  if (edge < 0) edge = 0;
  const double room = static_cast<double>(screen) - window;
  if (edge > room) edge = RoundHalfEven(room);
  return static_cast<float>(edge);
}

// The settings file, key by key in the order it is written. The flag rows are the on/off
// options; every option is read at start, written at exit and switched from the menu
// through its row. Each row is read and then applied at start in two steps of their own.
std::span<const MainWindow::Setting> MainWindow::SettingsTable() {
  using W = MainWindow;
  using S = MagnifierState;
  static constexpr std::array<Setting, 16> kRows{{
      {.key = "FactorIndex",
       .read =
           [](W& w, const Setting& row) {
             // A stored number that names no factor item gives the start factor, so that
             // the caption and the view are set up as on any start.
             const std::int32_t index = w.StoredValue(row.key, 3);
             const bool usable = index >= 1 && index <= w.mag_->UBound();
             w.SetFactor(usable ? static_cast<std::int16_t>(index) : w.s_.Factor);
           },
       .write = [](W& w) { return Decimal(w.s_.Factor); }},
      {.key = "GridColor",
       .apply = &W::RenderFrame,
       .read =
           [](W& w, const Setting& row) {
             // A number that is no colour keeps the colour the grid has.
             const std::int32_t colour =
                 w.StoredValue(row.key, static_cast<std::int32_t>(kDefaultGridColour));
             if (colour >= 0 && colour <= kLargestColour) {
               w.s_.GridColor = static_cast<Colour>(colour);
             }
             w.buffPic_->SetForeColor(w.s_.GridColor);
           },
       .write = [](W& w) { return Decimal(static_cast<std::int32_t>(w.s_.GridColor)); }},
      {.key = "Grid", .flag = &S::GridOn, .item = "GridMen", .apply = &W::ApplyGrid},
      {.key = "Sticked", .flag = &S::Sticky, .item = "Stick", .apply = &W::ApplyStick},
      {.key = "Centered",
       .flag = &S::Centered,
       .fallback = kTrue,
       .item = "Center",
       .offItem = "TopLeft",
       .apply = &W::ApplyCentered},
      {.key = "Measure", .flag = &S::MeasureOn, .item = "Meas", .apply = &W::ApplyMeasure},
      {.key = "Locked", .flag = &S::Locked, .item = "LockMen", .apply = &W::ApplyLock},
      // Only the low 16 bits of a stored position are kept.
      {.key = "XPos",
       .read = [](W& w, const Setting& row) { w.s_.SrcX = LowBits(w.StoredValue(row.key, 0)); },
       .write = [](W& w) { return Decimal(w.s_.SrcX); }},
      {.key = "YPos",
       .read = [](W& w, const Setting& row) { w.s_.SrcY = LowBits(w.StoredValue(row.key, 0)); },
       .write = [](W& w) { return Decimal(w.s_.SrcY); }},
      {.key = "TopWindow",
       .flag = &S::OnTopOn,
       .fallback = kTrue,
       .item = "OnTop",
       .apply = &W::ApplyOnTop},
      {.key = "CursorOn",
       .flag = &S::PointerOn,
       .fallback = kTrue,
       .item = "PointerMen",
       .apply = &W::ApplyPointer},
      {.key = "Width",
       .read =
           [](W& w, const Setting& row) {
             w.form_->SetWidth(w.StoredSize(row.key, w.form_->Width(), w.form_->ScaleWidth(),
                                            w.screen_.TwipsPerPixelX(), w.screen_.Width()));
           },
       .write = [](W& w) { return TwipsText(w.StoredTwips(w.form_->Width(), false)); }},
      {.key = "Height",
       .read =
           [](W& w, const Setting& row) {
             w.form_->SetHeight(w.StoredSize(row.key, w.form_->Height(), w.form_->ScaleHeight(),
                                             w.screen_.TwipsPerPixelY(), w.screen_.Height()));
           },
       .write = [](W& w) { return TwipsText(w.StoredTwips(w.form_->Height(), true)); }},
      {.key = "Left",
       .read =
           [](W& w, const Setting& row) {
             w.form_->SetLeft(w.StoredPosition(row.key, w.screen_.Width(), w.form_->Width()));
           },
       .write = [](W& w) { return TwipsText(w.StoredTwips(w.form_->Left(), false)); }},
      {.key = "Top",
       .read =
           [](W& w, const Setting& row) {
             w.form_->SetTop(w.StoredPosition(row.key, w.screen_.Height(), w.form_->Height()));
           },
       .write = [](W& w) { return TwipsText(w.StoredTwips(w.form_->Top(), true)); }},
      {.key = "SlowMouse",
       .flag = &S::SlowMouseOn,
       .item = "SlowMouse",
       .apply = &W::ApplySlowMouse},
  }};
  return kRows;
}

// The window's size and place are stored in the twips of the scale they were read at,
// whatever monitor the window is on now: the next start, at the system's scale again, puts
// it back in the same pixels.
float MainWindow::StoredTwips(float twips, bool vertical) const {
  const float now = vertical ? screen_.TwipsPerPixelY() : screen_.TwipsPerPixelX();
  const float then = vertical ? readTwipsPerPixelY_ : readTwipsPerPixelX_;
  if (now == then) return twips;  // no scale change: written exactly as the toolkit has it
  return TwipsFromPixels(PixelsFromTwips(twips, now), then);
}

void MainWindow::LoadSettings() {
  readTwipsPerPixelX_ = screen_.TwipsPerPixelX();
  readTwipsPerPixelY_ = screen_.TwipsPerPixelY();
  Guarded([&] {
    // Joined with the separator of the folder's own path: "\" on Windows (also for an
    // empty one, as ever), "/" for a folder like Linux's ~/.config.
    const std::string folder = GetSpecialfolder(kCsidlAppData);
    const bool slash =
        folder.find('\\') == std::string::npos && folder.find('/') != std::string::npos;
    const std::string sep = slash ? "/" : "\\";
    s_.SettingsPath = folder + sep + kSettingsFolder + sep + kSettingsName;
  });
  Guarded([&] { api_.MakeSureDirectoryPathExists(s_.SettingsPath); });
  for (const Setting& row : SettingsTable()) {
    Guarded([&] {
      if (row.flag != nullptr) {
        s_.*row.flag = ToFlag(StoredValue(row.key, row.fallback));
      } else {
        row.read(*this, row);
      }
    });
    if (row.flag != nullptr || row.apply != nullptr) Guarded([&] { ApplyOption(row); });
  }
}

// Each value is taken as its key is written. The first key that cannot be written ends
// the save with one message; the keys before it stay written.
void MainWindow::SaveSettings() {
  try {
    for (const Setting& row : SettingsTable()) {
      const std::string value = row.flag != nullptr ? Decimal(s_.*row.flag) : row.write(*this);
      if (!api_.WritePrivateProfileString(kSection, row.key, value, s_.SettingsPath)) {
        throw std::runtime_error(std::string("cannot write ") + row.key);
      }
    }
  } catch (const std::exception&) {
    toolkit_.MsgBox(SaveFailureText(s_.SettingsPath), kExclamationOk, kErrorTitle);
  }
}

}  // namespace vimo

// The settings file: %APPDATA%\Vimo\Vimo.ini, section [Settings], read once at the end of
// start-up and written once when the window unloads.
#include <array>
#include <charconv>
#include <cmath>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/arith.h"
#include "app/main_window.h"
#include "ui/designs.h"

namespace vimo {
namespace {

constexpr std::int32_t kCsidlAppData = 26;
constexpr const char* kSettingsFile = "\\Vimo\\Vimo.ini";
constexpr const char* kSection = "Settings";
// A stored window size must leave at least this much client area, in pixels.
constexpr float kMinClientPixels = 1.0F;

constexpr int kExclamationOk = 48;  // MB_ICONEXCLAMATION | MB_OK
constexpr const char* kErrorTitle = "Vimo Error";

// Runs one step of reading the settings; a step that fails is skipped without a report.
void Guarded(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception&) {
    // The setting keeps the value it had before this step.
  }
}

std::string Decimal(std::int32_t value) { return std::to_string(value); }

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
std::int32_t MainWindow::StoredValue(std::string_view key, std::int32_t fallback) {
  return static_cast<std::int32_t>(
      api_.GetPrivateProfileInt(kSection, key, fallback, s_.SettingsPath));
}

// A stored window size in twips, no larger than the primary screen. The present size
// where none is stored, or where the stored one is below `minimum`.
float MainWindow::StoredSize(std::string_view key, float present, float screen, float minimum) {
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

void MainWindow::LoadSettings() {
  Guarded([&] { s_.SettingsPath = GetSpecialfolder(kCsidlAppData) + kSettingsFile; });
  Guarded([&] { api_.MakeSureDirectoryPathExists(s_.SettingsPath); });
  Guarded([&] {
    // A stored number that names no factor item gives the start factor, so that the
    // caption and the view are set up as on any start.
    const std::int32_t index = StoredValue("FactorIndex", 3);
    const bool usable = index >= 1 && index <= mag_->UBound();
    SetFactor(usable ? static_cast<std::int16_t>(index) : s_.Factor);
  });
  Guarded([&] {
    buffPic_->SetForeColor(static_cast<Colour>(
        StoredValue("GridColor", static_cast<std::int32_t>(kDefaultGridColour))));
  });
  Guarded([&] { RenderFrame(); });
  Guarded([&] { s_.GridOn = ToFlag(StoredValue("Grid", 0)); });
  Guarded([&] { ApplyGrid(); });
  Guarded([&] { s_.Sticky = ToFlag(StoredValue("Sticked", 0)); });
  Guarded([&] { ApplyStick(); });
  Guarded([&] { s_.Centered = ToFlag(StoredValue("Centered", -1)); });
  Guarded([&] { ApplyCentered(); });
  Guarded([&] { s_.MeasureOn = ToFlag(StoredValue("Measure", 0)); });
  Guarded([&] { ApplyMeasure(); });
  Guarded([&] { s_.Locked = ToFlag(StoredValue("Locked", 0)); });
  Guarded([&] { ApplyLock(); });
  // Only the low 16 bits of a stored position are kept.
  Guarded([&] { s_.SrcX = static_cast<std::int16_t>(StoredValue("XPos", 0)); });
  Guarded([&] { s_.SrcY = static_cast<std::int16_t>(StoredValue("YPos", 0)); });
  Guarded([&] { s_.OnTopOn = ToFlag(StoredValue("TopWindow", -1)); });
  Guarded([&] { ApplyOnTop(); });
  Guarded([&] { s_.PointerOn = ToFlag(StoredValue("CursorOn", -1)); });
  Guarded([&] { ApplyPointer(); });
  Guarded([&] {
    const float tpp = screen_.TwipsPerPixelX();
    const float minimum = form_->Width() - (form_->ScaleWidth() - kMinClientPixels) * tpp;
    form_->SetWidth(StoredSize("Width", form_->Width(), screen_.Width(), minimum));
  });
  Guarded([&] {
    const float tpp = screen_.TwipsPerPixelY();
    const float minimum = form_->Height() - (form_->ScaleHeight() - kMinClientPixels) * tpp;
    form_->SetHeight(StoredSize("Height", form_->Height(), screen_.Height(), minimum));
  });
  Guarded([&] { form_->SetLeft(StoredPosition("Left", screen_.Width(), form_->Width())); });
  Guarded([&] { form_->SetTop(StoredPosition("Top", screen_.Height(), form_->Height())); });
  Guarded([&] { s_.SlowMouseOn = ToFlag(StoredValue("SlowMouse", 0)); });
  Guarded([&] { ApplySlowMouse(); });
}

// Each value is taken as its key is written. The first key that cannot be written ends
// the save with one message; the keys before it stay written.
void MainWindow::SaveSettings() {
  const std::array<std::pair<const char*, std::function<std::string()>>, 16> keys{{
      {"FactorIndex", [&] { return Decimal(CheckedFactorIndex()); }},
      {"GridColor", [&] { return Decimal(static_cast<std::int32_t>(buffPic_->ForeColor())); }},
      {"Grid", [&] { return Decimal(s_.GridOn); }},
      {"Sticked", [&] { return Decimal(s_.Sticky); }},
      {"Centered", [&] { return Decimal(s_.Centered); }},
      {"Measure", [&] { return Decimal(s_.MeasureOn); }},
      {"Locked", [&] { return Decimal(s_.Locked); }},
      {"XPos", [&] { return Decimal(s_.SrcX); }},
      {"YPos", [&] { return Decimal(s_.SrcY); }},
      {"TopWindow", [&] { return Decimal(s_.OnTopOn); }},
      {"CursorOn", [&] { return Decimal(s_.PointerOn); }},
      {"Width", [&] { return TwipsText(form_->Width()); }},
      {"Height", [&] { return TwipsText(form_->Height()); }},
      {"Left", [&] { return TwipsText(form_->Left()); }},
      {"Top", [&] { return TwipsText(form_->Top()); }},
      {"SlowMouse", [&] { return Decimal(s_.SlowMouseOn); }},
  }};
  try {
    for (const auto& [key, value] : keys) {
      if (!api_.WritePrivateProfileString(kSection, key, value(), s_.SettingsPath)) {
        throw std::runtime_error(std::string("cannot write ") + key);
      }
    }
  } catch (const std::exception&) {
    toolkit_.MsgBox(SaveFailureText(s_.SettingsPath), kExclamationOk, kErrorTitle);
  }
}

}  // namespace vimo

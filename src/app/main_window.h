// The magnifier window frmMain: its state record, its event handlers and its
// procedures. The procedures are spread over app/, render/, input/ and ui/ by the
// subsystem they belong to; they are members because they share the window's state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/magnifier_state.h"
#include "platform/toolkit.h"
#include "platform/win32_api.h"
#include "ui/about.h"
#include "ui/label_text.h"
#include "ui/pixel_info.h"

namespace vimo {

class MainWindow : public FormEvents {
 public:
  // One key of the settings file; the table lists them in the file's order. The rows
  // with a flag are the on/off options: the menu, the load and the save all walk it.
  struct Setting {
    const char* key = nullptr;
    // An option: its flag, its value where the file has none, the menu item that
    // toggles it (or, with an offItem, sets it on) and the item that sets it off.
    Flag MagnifierState::*flag = nullptr;
    Flag fallback = kFalse;
    const char* item = nullptr;
    const char* offItem = nullptr;
    // Brings the window in line with the value just read or chosen. An option without
    // one only shows its flag as the check marks of its items.
    void (MainWindow::*apply)() = nullptr;
    // Any other key: how its value is read at start and written at exit.
    void (*read)(MainWindow& window, const Setting& row) = nullptr;
    std::string (*write)(MainWindow& window) = nullptr;
  };
  static std::span<const Setting> SettingsTable();

  MainWindow(Win32Api& api, Toolkit& toolkit);

  // Loads frmMain from its design (running the load handler) and shows it.
  void Start();

  Form& form() { return *form_; }
  MagnifierState& state() { return s_; }
  const MagnifierState& state() const { return s_; }

  // Public operations of the window.
  void UpdatePosition();

  // Events.
  void OnCreate(Form& form) override;
  void OnLoad() override;
  void OnUnload(int& cancel) override;
  void OnResize() override;
  void OnDpiChanged() override;
  void OnPaint() override;
  void OnClick() override;
  void OnMouseDown(std::string_view control, std::int16_t button, std::int16_t shift, float x,
                   float y) override;
  void OnMouseUp(std::string_view control, std::int16_t button, std::int16_t shift, float x,
                 float y) override;
  void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y) override;
  void OnKeyPress(std::int16_t& keyAscii) override;
  void OnKeyUp(std::int16_t keyCode, std::int16_t shift) override;
  void OnMouseWheel(std::int32_t delta) override;
  void OnMenuClick(std::string_view name, std::int16_t index) override;
  void OnTimer(std::string_view name) override;
  void OnHandlerFailure(std::string_view what) override;

  // Magnifier core.
  void SizeReadoutFonts();
  void Tick();
  std::int32_t MetricOrDefault(std::int32_t index, std::int32_t fallback);
  void ReadDesktopBounds();
  void LoadSettings();
  void SaveSettings();
  // Public operation: the path of a special folder (CSIDL), or "" if it has none.
  std::string GetSpecialfolder(std::int32_t folder);

  // Rendering.
  void ComputeLayout();
  void RenderFrame();
  void DrawPointer();
  void ShowMeasurement();
  void UpdateCaption();

  // Commands and options.
  void SetFactor(std::int16_t index);
  void ApplyOnTop();
  void ApplyStick();
  void ApplyCentered();
  void ApplyPointer();
  void ApplyGrid();

  // Lock, measure and slow mouse.
  void ApplyLock();
  void ApplyMeasure();
  void ApplySlowMouse();
  // Whether the pointer can be slowed here: the system told its speed at start-up.
  bool CanSlowMouse() const;
  void CheckSlowMouse();
  void RestoreMouseSpeed();

  // Grid colour and the About window.
  void GridColorClick();
  void AboutClick();

  // The clipboard: the view as it stands, and the colour of the pixel under the pointer.
  void CopyView();
  void CopyColour();
  // Shows `text` after the factor in the caption for about two seconds.
  void ShowNotice(std::string text);
  // Puts `text` on the clipboard; says so in the caption when another program holds it.
  void CopyText(std::string_view text);

  // Freeze and the Pixel info window.
  void FreezeClick();
  void FreezeMenuClick();
  void PixelInfoClick();
  void UpdatePixelInfo();

 private:
  // The menu items of one row of the settings table; null where it has none.
  struct OptionItems {
    MenuItem* on = nullptr;
    MenuItem* off = nullptr;
  };

  OptionItems& ItemsOf(Flag MagnifierState::*flag);
  void ApplyOption(const Setting& row);
  void MarkOption(Flag MagnifierState::*flag);
  bool GridMode() const;
  void ReadCursor();
  // The screen pixel the view shows under a pointer over Vimo's window, or the pixel under
  // it elsewhere; none over the frame, the margin or the read-out band.
  std::optional<Point> PixelUnder(Point pointer);
  // A screen pixel's colour (of the frozen picture while frozen); none where it has none.
  std::optional<Colour> ColourAt(Point pixel);
  // The whole desktop into StillPic, or "cannot freeze" in the caption; and back.
  void TakeStill();
  void LetGo();
  // The captured area into the buffer from the frozen picture, black outside it.
  void StretchFrozen(Handle buffer, bool grid);
  void ReserveGrid();
  void ShowCommandMenu();
  // A line from `from` towards `to` (left out), in client pixels.
  struct Segment {
    Point from;
    Point to;
  };
  // The marker lines the read-out draws over the view, in the order drawn.
  std::size_t MarkerLines(std::array<Segment, 4>& lines);
  std::optional<Segment> Marker(std::int32_t position, bool vertical);
  // The client rectangle the last frame copied the view into.
  Rect ShownView() const;
  void ChangeHeightByBand(int sign);
  std::int32_t StoredValue(std::string_view key, std::int32_t fallback);
  float StoredSize(std::string_view key, float present, float client, float tpp, float screen);
  float StoredPosition(std::string_view key, float screen, float window);
  float StoredTwips(float twips, bool vertical) const;

  Win32Api& api_;
  Toolkit& toolkit_;
  Screen& screen_;
  MagnifierState s_;
  // The screen's scale when the settings were read.
  float readTwipsPerPixelX_ = 15.0F;
  float readTwipsPerPixelY_ = 15.0F;

  Form* form_ = nullptr;
  PictureBox* buffPic_ = nullptr;
  PictureBox* stillPic_ = nullptr;
  MenuItem* freezeItem_ = nullptr;
  Label* label1_ = nullptr;
  Label* label2_ = nullptr;
  Shape* shape1_ = nullptr;
  MenuItem* pop_ = nullptr;
  MenuGroup* mag_ = nullptr;
  // Per row of SettingsTable(), looked up once when the window is created.
  std::vector<OptionItems> optionItems_;
  // The pointer image the tick's GetCursorInfo found, for DrawPointer in the same tick.
  std::optional<Handle> tickCursor_;
  // The grid's lines, two points each; sized with the layout.
  std::vector<Point> gridPoints_;
  Rect gridFor_;  // the view size and factor gridPoints_ holds the lines of
  std::int32_t gridFactor_ = 0;
  std::size_t gridLines_ = 0;
  LabelText readout1_;
  LabelText readout2_;
  std::unique_ptr<AboutWindow> frmAbout_;          // created on first use
  std::unique_ptr<PixelInfoWindow> frmPixelInfo_;  // created on first use
};

}  // namespace vimo

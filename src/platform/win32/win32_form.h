// A form built from its design: the top-level window, its windowless labels and
// shapes, off-screen picture boxes, timers, command buttons and popup menu tree.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/design.h"
#include "platform/form_parts.h"
#include "platform/menu_tree.h"
#include "platform/mouse_routing.h"
#include "platform/toolkit.h"
#include "platform/win32/win32_toolkit.h"

namespace vimo::win32 {

// A design colour as a COLORREF: system colours (high bit set) are looked up.
COLORREF ResolveColour(Colour colour);

// Drawn by the form; has no window of its own.
class Win32Label final : public BasicLabel {
 public:
  Win32Label(Win32Form& form, const ControlDesign& design);
  ~Win32Label() override;
  Win32Label(const Win32Label&) = delete;
  Win32Label& operator=(const Win32Label&) = delete;

  void Draw(HDC dc) const;
  void ReleaseResources();

 private:
  void MakeFont();
  void Changed(Change what, const Rect& before) override;

  Win32Form& form_;
  std::wstring text_;
  FontDesign font_;
  COLORREF colour_;
  bool transparent_;
  HFONT hfont_ = nullptr;
};

// An outline rectangle, 1 pixel wide, drawn by the form after its paint event.
class Win32Shape final : public BasicShape {
 public:
  Win32Shape(Win32Form& form, const ControlDesign& design);
  void Draw(HDC dc) const;

 private:
  void Changed(const Rect& before) override;

  Win32Form& form_;
  COLORREF colour_;
};

// An off-screen image: a memory DC holding a 32-bit top-down DIB section and a 1-pixel
// pen of the foreground colour.
class Win32PictureBox final : public BasicPictureBox {
 public:
  Win32PictureBox(Win32Form& form, const ControlDesign& design);
  ~Win32PictureBox() override;
  Win32PictureBox(const Win32PictureBox&) = delete;
  Win32PictureBox& operator=(const Win32PictureBox&) = delete;

  Handle hDC() override;
  PixelRows Pixels() override;
  void ReleaseResources();

 private:
  void Allocate(int width, int height) override;
  void Recolour(Colour colour) override;
  void CheckLive() const override;

  Win32Form& form_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;  // the DIB section's memory
  HPEN pen_ = nullptr;
  HGDIOBJ firstPen_ = nullptr;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
};

// The colour chooser, comdlg32's ChooseColorW. Its current colour and its 16 custom
// colours live as long as the form, so for the run in the main window.
class Win32CommonDialog final : public BasicColourDialog {
 public:
  Win32CommonDialog(Win32Form& form, std::string_view name);

 private:
  std::optional<Colour> Choose(std::int32_t flags, Colour current) override;

  Win32Form& form_;
  COLORREF custom_[16];
};

// The menu tree as Win32 popup menus: one menu per top-level item and per item that has
// items below it. An item made invisible is taken out of its parent menu and put back in
// its place when shown again.
class Win32Menus final : public MenuListener {
 public:
  explicit Win32Menus(Win32Form& form) : form_(form) {}
  void Build(const MenuTree& tree);
  void Destroy();
  // The menu of the item's own items, or null.
  HMENU Popup(const MenuNode& item) const { return submenus_[item.Position()]; }
  // The command of an item, and the item of a command (null for none).
  static UINT Command(const MenuNode& item);
  const MenuNode* Item(UINT command) const;

  void Changing(const MenuNode& item) override;
  void Changed(const MenuNode& item, Change what) override;

 private:
  void Insert(const MenuNode& item);
  UINT Shown(const MenuNode& item) const;  // where it stands in its parent's menu now

  Win32Form& form_;
  const MenuTree* tree_ = nullptr;
  std::vector<HMENU> submenus_;  // by the item's position in the design
  std::vector<bool> inserted_;
};

class Win32Form final
    : public DesignForm<Win32Label, Win32Shape, Win32PictureBox, Win32CommonDialog> {
 public:
  Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  // LoadForm: the window and controls from the design, then OnCreate and OnLoad.
  void Create(const FormDesign& design);
  void Load();

  std::string Caption() const override;
  void SetCaption(std::string_view text) override;
  Handle hWnd() override;
  WindowState State() const override;
  bool Visible() const override;
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void Cls() override;
  void Refresh() override;
  void Line(int x1, int y1, int x2, int y2, Colour colour) override;
  void PopupMenu(MenuItem& menu, int flags) override;
  void Show() override;
  void Unload() override;
  bool Loaded() const override { return hwnd_ != nullptr; }
  void ShowModeless(Form& owner) override;
  bool SetClipboardText(std::string_view text) override;
  bool SetClipboardImage(const PixelRows& image) override;

  // For the controls and the toolkit.
  HWND Window() const { return hwnd_; }
  HWND LiveWindow() const;  // raises ToolkitError once the window is gone
  bool HasButtons() const { return !buttons_.empty(); }
  Win32Toolkit& Toolkit() { return toolkit_; }
  // Paints background, shapes and labels inside the given client rectangles at once.
  void RedrawArea(const Rect* rects, int count);
  void LabelMoved(const Win32Label& label);
  // Stops event delivery and closes the window without the unload event.
  void Discard();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Timer {
    std::string name;
    UINT_PTR id;
    UINT interval;
    bool running;  // WM_TIMER never runs a timer's handler inside itself
  };
  struct Button {
    std::string name;
    HWND hwnd;
    int id;
    bool isDefault;
    bool isCancel;
  };

  // Creation (win32_form.cpp).
  void BuildControls(const FormDesign& design);
  void CreateTooltips();
  void RunUnload();
  void ReleaseResources();
  Rect NormalRect() const override;
  void MoveOuter(const Rect& outer) override;

  // Painting (win32_form_paint.cpp).
  void Paint();
  void DrawDecorations(HDC dc) const;
  void EraseBackground(HDC dc) const;

  // Input (win32_form_input.cpp).
  void MouseDown(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void MouseUp(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void MouseMove(WPARAM wParam, LPARAM lParam);
  MouseHit HitAt(POINT point) const;
  void Raise(const MouseEvents& events);
  void KeyPress(WPARAM wParam);
  void KeyUp(WPARAM wParam);
  // WM_MOUSEWHEEL: true where the pointer was over the window and the wheel went to it.
  bool Wheel(WPARAM wParam, LPARAM lParam);
  void Command(WPARAM wParam);
  void TimerFired(WPARAM id);
  void DpiChanged(WPARAM wParam);

  // The window procedure (win32_window_proc.cpp).
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  template <typename Handler>
  void Deliver(Handler&& handler);

  Win32Toolkit& toolkit_;
  FormEvents& events_;
  std::wstring caption_;
  int clientWidth_;
  int clientHeight_;
  BorderStyle border_;
  bool maxButton_;
  bool minButton_;
  bool showInTaskbar_;
  bool centerOnOwner_;
  COLORREF backColour_;
  FontDesign font_;
  bool greenPointer_;
  int drawMode_;

  HWND hwnd_ = nullptr;
  HBRUSH backBrush_ = nullptr;
  HFONT formFont_ = nullptr;
  HWND tooltips_ = nullptr;
  std::vector<Timer> timers_;
  std::vector<Button> buttons_;
  Win32Menus menuViews_{*this};

  bool ready_ = false;    // events flow once the controls exist
  bool shown_ = false;    // Show() has run once
  bool showing_ = false;  // Show() delivers its own resize event
  bool painting_ = false;
  bool unloading_ = false;
  MouseRouter router_;
};

template <typename Handler>
void Win32Form::Deliver(Handler&& handler) {
  if (ready_ && toolkit_.Delivering()) toolkit_.Events().Deliver(events_, handler);
}

}  // namespace vimo::win32

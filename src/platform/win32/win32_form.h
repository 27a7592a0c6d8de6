// A form built from its design: the top-level window, its windowless labels and
// shapes, off-screen picture boxes, timers, command buttons and popup menu tree.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/design.h"
#include "platform/mouse_routing.h"
#include "platform/toolkit.h"

namespace vimo::win32 {

class Win32Form;
class Win32Toolkit;

// A design colour as a COLORREF: system colours (high bit set) are looked up.
COLORREF ResolveColour(Colour colour);

// Drawn by the form; has no window of its own.
class Win32Label final : public Label {
 public:
  Win32Label(Win32Form& form, const ControlDesign& design);
  ~Win32Label() override;
  Win32Label(const Win32Label&) = delete;
  Win32Label& operator=(const Win32Label&) = delete;

  std::string Caption() const override { return caption_; }
  void SetCaption(std::string_view text) override;
  float Top() const override { return top_; }
  void SetTop(float top) override;
  float Width() const override { return width_; }
  void SetWidth(float width) override;
  float Height() const override { return height_; }
  void SetHeight(float height) override;
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;
  float FontSize() const override { return fontSize_; }
  void SetFontSize(float points) override;

  const std::string& Name() const { return name_; }
  const std::string& Tooltip() const { return tooltip_; }
  RECT Bounds() const;  // client pixels
  bool Hit(POINT point) const;
  void Draw(HDC dc) const;
  void ReleaseResources();

 private:
  void MakeFont();
  void Resize(float& side, float size);
  void Changed(const RECT& before);

  Win32Form& form_;
  std::string name_;
  std::string caption_;
  std::wstring text_;
  std::string tooltip_;
  float left_;
  float top_;
  float width_;
  float height_;
  bool visible_;
  float fontSize_;
  std::wstring fontName_;
  int fontWeight_;
  bool underline_;
  COLORREF colour_;
  bool transparent_;
  HFONT font_ = nullptr;
};

// An outline rectangle, 1 pixel wide, drawn by the form after its paint event.
class Win32Shape final : public Shape {
 public:
  Win32Shape(Win32Form& form, const ControlDesign& design);

  float Left() const override { return left_; }
  float Top() const override { return top_; }
  float Width() const override { return width_; }
  void SetWidth(float width) override;
  float Height() const override { return height_; }
  void SetHeight(float height) override;

  const std::string& Name() const { return name_; }
  RECT Bounds() const;  // client pixels
  void Draw(HDC dc) const;

 private:
  void Changed(const RECT& before);

  Win32Form& form_;
  std::string name_;
  float left_;
  float top_;
  float width_;
  float height_;
  COLORREF colour_;
};

// An off-screen image: a memory DC holding a 32-bit DIB section and a 1-pixel pen of
// the foreground colour.
class Win32PictureBox final : public PictureBox {
 public:
  Win32PictureBox(Win32Form& form, const ControlDesign& design);
  ~Win32PictureBox() override;
  Win32PictureBox(const Win32PictureBox&) = delete;
  Win32PictureBox& operator=(const Win32PictureBox&) = delete;

  Handle hDC() override;
  PixelRows Pixels() override;
  Colour ForeColor() const override { return foreColour_; }
  void SetForeColor(Colour colour) override;
  float Width() const override { return width_; }
  void SetWidth(float width) override;
  float Height() const override { return height_; }
  void SetHeight(float height) override;

  const std::string& Name() const { return name_; }
  void ReleaseResources();

 private:
  void Allocate(int width, int height);

  Win32Form& form_;
  std::string name_;
  float width_;
  float height_;
  Colour foreColour_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ firstBitmap_ = nullptr;
  std::uint32_t* bits_ = nullptr;  // the DIB section's memory, top-down
  HPEN pen_ = nullptr;
  HGDIOBJ firstPen_ = nullptr;
  int pixelWidth_ = 0;
  int pixelHeight_ = 0;
};

// The colour chooser, comdlg32's ChooseColorW. Its current colour and its 16 custom
// colours live as long as the form, so for the run in the main window.
class Win32CommonDialog final : public CommonDialog {
 public:
  Win32CommonDialog(Win32Form& form, std::string_view name);

  std::int32_t Flags() const override { return flags_; }
  void SetFlags(std::int32_t flags) override { flags_ = flags; }
  bool CancelError() const override { return cancelError_; }
  void SetCancelError(bool raise) override { cancelError_ = raise; }
  void ShowColor() override;
  Colour Color() const override { return colour_; }

  const std::string& Name() const { return name_; }

 private:
  Win32Form& form_;
  std::string name_;
  std::int32_t flags_ = 0;
  bool cancelError_ = false;
  Colour colour_ = 0;
  COLORREF custom_[16];
};

class Win32MenuItem final : public MenuItem {
 public:
  Win32MenuItem(Win32Form& form, const MenuDesign& design, UINT id);

  std::string_view Name() const override { return name_; }
  std::string Caption() const override { return caption_; }
  bool Checked() const override { return checked_; }
  void SetChecked(bool checked) override;
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;

  std::int16_t Index() const { return index_; }
  int Level() const { return level_; }
  UINT Id() const { return id_; }
  HMENU Submenu() const { return submenu_; }
  bool HasItems() const { return !children_.empty(); }

  // Building and taking down the tree.
  void Adopt(Win32MenuItem& child);
  void MakeSubmenu();
  void InsertIntoParent();
  void DestroySubmenu();

 private:
  UINT Position() const;

  Win32Form& form_;
  std::string name_;
  std::int16_t index_;
  std::string caption_;
  std::wstring text_;
  int level_;
  bool checked_;
  bool enabled_;
  bool visible_;
  bool separator_;
  UINT id_;
  Win32MenuItem* parent_ = nullptr;
  std::vector<Win32MenuItem*> children_;
  HMENU submenu_ = nullptr;
  bool inserted_ = false;
};

class Win32MenuGroup final : public MenuGroup {
 public:
  explicit Win32MenuGroup(std::string name) : name_(std::move(name)) {}
  std::int16_t UBound() const override;
  MenuItem& Item(std::int16_t index) override;

  const std::string& Name() const { return name_; }
  void Add(Win32MenuItem& item) { items_.push_back(&item); }

 private:
  std::string name_;
  std::vector<Win32MenuItem*> items_;
};

class Win32Form final : public Form {
 public:
  Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  // LoadForm: the window and controls from the design, then OnCreate and OnLoad.
  void Create(const FormDesign& design);
  void Load();

  std::string_view Name() const override { return name_; }
  std::string Caption() const override;
  void SetCaption(std::string_view text) override;
  Handle hWnd() override;
  WindowState State() const override;
  bool Visible() const override;
  float Width() const override;
  void SetWidth(float twips) override;
  float Height() const override;
  void SetHeight(float twips) override;
  float Left() const override;
  void SetLeft(float twips) override;
  float Top() const override;
  void SetTop(float twips) override;
  float ScaleWidth() const override;
  float ScaleHeight() const override;
  void Cls() override;
  void Refresh() override;
  void Line(int x1, int y1, int x2, int y2, Colour colour) override;
  void PopupMenu(MenuItem& menu, int flags) override;
  void Show() override;
  void Unload() override;
  PictureBox& Picture(std::string_view name) override;
  Label& LabelControl(std::string_view name) override;
  Shape& ShapeControl(std::string_view name) override;
  MenuItem& Menu(std::string_view name) override;
  MenuGroup& MenuArray(std::string_view name) override;
  CommonDialog& Dialog(std::string_view name) override;
  bool Loaded() const override { return hwnd_ != nullptr; }
  void ShowModeless(Form& owner) override;

  // For the controls and the toolkit.
  HWND Window() const { return hwnd_; }
  HWND LiveWindow() const;  // raises ToolkitError once the window is gone
  bool HasButtons() const { return !buttons_.empty(); }
  Win32Toolkit& Toolkit() { return toolkit_; }
  int PixelsFromTwipsX(double twips) const;
  int PixelsFromTwipsY(double twips) const;
  // Paints background, shapes and labels inside the given client rectangles at once.
  void RedrawArea(const RECT* rects, int count);
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

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void BuildControls(const FormDesign& design);
  void BuildMenus(const FormDesign& design);
  void CreateTooltips();
  void Paint();
  void DrawDecorations(HDC dc) const;
  void MoveOuter(int x, int y, int width, int height, UINT flags);
  RECT NormalRect() const;
  template <typename Controls>
  auto& Named(const Controls& controls, std::string_view name, const char* kind) const;
  void RunUnload();
  void ReleaseResources();

  void MouseDown(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void MouseUp(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void MouseMove(WPARAM wParam, LPARAM lParam);
  MouseHit HitAt(POINT point) const;
  void Raise(const MouseEvents& events);
  void Command(WPARAM wParam, LPARAM lParam);
  void ButtonClicked(const Button& button);

  template <typename Handler>
  void Deliver(Handler&& handler);

  Win32Toolkit& toolkit_;
  FormEvents& events_;
  std::string name_;
  std::wstring caption_;
  int clientWidth_;
  int clientHeight_;
  BorderStyle border_;
  bool maxButton_;
  bool minButton_;
  bool showInTaskbar_;
  bool centerOnOwner_;
  COLORREF backColour_;
  std::wstring fontName_;
  float fontSize_;
  int fontWeight_;
  bool fontUnderline_;
  bool greenPointer_;
  int drawMode_;

  HWND hwnd_ = nullptr;
  HBRUSH backBrush_ = nullptr;
  HFONT formFont_ = nullptr;
  HWND tooltips_ = nullptr;
  std::vector<std::unique_ptr<Win32Label>> labels_;
  std::vector<std::unique_ptr<Win32Shape>> shapes_;
  std::vector<std::unique_ptr<Win32PictureBox>> pictures_;
  std::vector<Timer> timers_;
  std::vector<Button> buttons_;
  std::vector<std::unique_ptr<Win32CommonDialog>> dialogs_;
  std::vector<std::unique_ptr<Win32MenuItem>> menuItems_;
  std::vector<std::unique_ptr<Win32MenuGroup>> menuGroups_;

  bool ready_ = false;    // events flow once the controls exist
  bool shown_ = false;    // Show() has run once
  bool showing_ = false;  // Show() delivers its own resize event
  bool painting_ = false;
  bool unloading_ = false;
  MouseRouter router_;
};

}  // namespace vimo::win32

// The window toolkit the logic runs in: windows built from designs, their controls and
// menus, events delivered one at a time, and a few program-wide services. Sizes of the
// window itself are twips; everything inside its client area is pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/design.h"
#include "platform/types.h"

namespace vimo {

class MenuItem {
 public:
  virtual ~MenuItem() = default;
  virtual std::string_view Name() const = 0;
  virtual std::string Caption() const = 0;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
};

// An indexed group of menu items. Item() raises ToolkitError for an index without item.
class MenuGroup {
 public:
  virtual ~MenuGroup() = default;
  virtual std::int16_t UBound() const = 0;
  virtual MenuItem& Item(std::int16_t index) = 0;
};

class Label {
 public:
  virtual ~Label() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(std::string_view text) = 0;
  virtual float Top() const = 0;
  virtual void SetTop(float top) = 0;
  virtual float Width() const = 0;
  virtual void SetWidth(float width) = 0;
  virtual float Height() const = 0;
  virtual void SetHeight(float height) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual float FontSize() const = 0;
  virtual void SetFontSize(float points) = 0;
};

class Shape {
 public:
  virtual ~Shape() = default;
  virtual float Left() const = 0;
  virtual float Top() const = 0;
  virtual float Width() const = 0;
  virtual void SetWidth(float width) = 0;
  virtual float Height() const = 0;
  virtual void SetHeight(float height) = 0;
};

// A hidden picture box with a persistent off-screen image. Its foreground colour is
// also the colour of the 1-pixel pen selected into its device context.
class PictureBox {
 public:
  virtual ~PictureBox() = default;
  virtual Handle hDC() = 0;
  // The image's pixels in memory, for writing to directly; what was drawn through the
  // device context is in them. Valid until the next drawing call or resize.
  virtual PixelRows Pixels() = 0;
  // Horizontal and vertical lines in `colour`, drawn as WriteStraightLines draws them into
  // Pixels(); a backend may put the drawing off until the image is next copied or read.
  virtual void StraightLines(const Point* points, std::size_t lines, Colour colour);
  virtual Colour ForeColor() const = 0;
  virtual void SetForeColor(Colour colour) = 0;
  virtual float Width() const = 0;
  virtual void SetWidth(float width) = 0;
  virtual float Height() const = 0;
  virtual void SetHeight(float height) = 0;
};

// The system colour chooser of a form's design (kind kCommonDialog). It keeps its own
// current colour between uses; Flags are the Win32 colour-chooser flags (1 = CC_RGBINIT,
// open with the current colour selected).
class CommonDialog {
 public:
  virtual ~CommonDialog() = default;
  virtual void SetFlags(std::int32_t flags) = 0;
  virtual void SetCancelError(bool raise) = 0;
  // Shows the modal colour dialog and returns when it is closed. OK makes the chosen colour
  // current; Cancel changes nothing and, with CancelError set, raises ToolkitError.
  virtual void ShowColor() = 0;
  virtual Colour Color() const = 0;
};

enum class WindowState : std::int16_t { kNormal = 0, kMinimized = 1, kMaximized = 2 };

// Mouse button codes of the mouse events.
inline constexpr std::int16_t kLeftButton = 1;
inline constexpr std::int16_t kRightButton = 2;
inline constexpr std::int16_t kMiddleButton = 4;

class Form {
 public:
  virtual ~Form() = default;
  virtual std::string_view Name() const = 0;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(std::string_view text) = 0;
  virtual Handle hWnd() = 0;
  virtual WindowState State() const = 0;
  virtual bool Visible() const = 0;

  // Outer size and position, twips (converted as platform/units.h does); while
  // minimised, those of the normal state. Setting a width or height that changes the
  // size runs the resize event before it returns; setting the present one runs none. A
  // minimised or maximised window cannot be moved or sized: the setters raise
  // ToolkitError.
  virtual float Width() const = 0;
  virtual void SetWidth(float twips) = 0;
  virtual float Height() const = 0;
  virtual void SetHeight(float twips) = 0;
  virtual float Left() const = 0;
  virtual void SetLeft(float twips) = 0;
  virtual float Top() const = 0;
  virtual void SetTop(float twips) = 0;

  // Client area, pixels.
  virtual float ScaleWidth() const = 0;
  virtual float ScaleHeight() const = 0;

  virtual void Cls() = 0;      // paints the background colour over the client area
  virtual void Refresh() = 0;  // runs the paint event before it returns
  // A line between two client points in the window's pen mode; the end point is left out.
  virtual void Line(int x1, int y1, int x2, int y2, Colour colour) = 0;
  // Opens the menu as a popup at the pointer; returns when it has closed, after the
  // menu-click event of the item chosen in it, if any, has run.
  virtual void PopupMenu(MenuItem& menu, int flags) = 0;
  virtual void Show() = 0;
  virtual void Unload() = 0;

  // Controls and menu items of the design, by their design names. These raise
  // ToolkitError for a name the design does not have.
  virtual PictureBox& Picture(std::string_view name) = 0;
  virtual Label& LabelControl(std::string_view name) = 0;
  virtual Shape& ShapeControl(std::string_view name) = 0;
  virtual MenuItem& Menu(std::string_view name) = 0;
  virtual MenuGroup& MenuArray(std::string_view name) = 0;

  // The colour chooser of the design, by name; ToolkitError for a name it does not have.
  virtual CommonDialog& Dialog(std::string_view name) = 0;
  // False once the window has been unloaded; a form is never loaded again (load the
  // design anew).
  virtual bool Loaded() const = 0;
  // Shows the window modeless, owned by `owner`: it stays above it and is not in the
  // taskbar. Returns at once.
  virtual void ShowModeless(Form& owner) = 0;

  // The clipboard, owned by this window: a text, or an image (as a bitmap on Windows,
  // as a PNG picture on Linux). False where another program holds the clipboard; what
  // it held is then left as it was.
  virtual bool SetClipboardText(std::string_view text) = 0;
  virtual bool SetClipboardImage(const PixelRows& image) = 0;
};

// The event handlers of one form. Mouse presses and releases name the label the press
// went down on ("" for the form itself); the positions are client pixels. Both backends
// route the mouse alike: see platform/mouse_routing.h.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  // Called by LoadForm once the window and its controls exist, before OnLoad.
  virtual void OnCreate(Form& /*form*/) {}
  virtual void OnLoad() {}
  virtual void OnUnload(int& /*cancel*/) {}
  virtual void OnResize() {}
  // The window is now on a monitor of another scale (dots per inch). It keeps its place and
  // its size in pixels; its twips and, for the first window loaded, the screen's twips per
  // pixel follow the new scale. Fonts keep their pixels until their size is set again.
  virtual void OnDpiChanged() {}
  virtual void OnPaint() {}
  virtual void OnClick() {}
  virtual void OnMouseDown(std::string_view /*control*/, std::int16_t /*button*/,
                           std::int16_t /*shift*/, float /*x*/, float /*y*/) {}
  virtual void OnMouseUp(std::string_view /*control*/, std::int16_t /*button*/,
                         std::int16_t /*shift*/, float /*x*/, float /*y*/) {}
  virtual void OnMouseMove(std::int16_t /*button*/, std::int16_t /*shift*/, float /*x*/,
                           float /*y*/) {}
  virtual void OnKeyPress(std::int16_t& /*keyAscii*/) {}
  virtual void OnKeyUp(std::int16_t /*keyCode*/, std::int16_t /*shift*/) {}
  // The mouse wheel turned over the window: `delta` in 120ths of a notch (WHEEL_DELTA),
  // positive away from the user. High-resolution wheels send fractions of 120.
  virtual void OnMouseWheel(std::int32_t /*delta*/) {}
  virtual void OnMenuClick(std::string_view /*name*/, std::int16_t /*index*/) {}
  virtual void OnTimer(std::string_view /*name*/) {}
  // Called by the dispatcher after a handler of this form let a failure escape, so
  // the form can undo system-wide changes (the mouse speed) before going on.
  virtual void OnHandlerFailure(std::string_view /*what*/) {}
  // A command button was pressed (also by Enter or Escape), or a label clicked: the left
  // button went down and up over the same visible label.
  virtual void OnControlClick(std::string_view /*control*/) {}
};

// The primary screen's size, in the twips of the monitor the first window loaded is on: the
// system's scale until that window is moved to a monitor of another.
class Screen {
 public:
  virtual ~Screen() = default;
  virtual float Width() const = 0;   // primary screen, twips
  virtual float Height() const = 0;  // primary screen, twips
  virtual float TwipsPerPixelX() const = 0;
  virtual float TwipsPerPixelY() const = 0;
};

class Toolkit {
 public:
  virtual ~Toolkit() = default;
  // A modal message box owned by the active window; returns the button chosen (1 = OK).
  virtual int MsgBox(std::string_view text, int style, std::string_view title) = 0;
  virtual Screen& GetScreen() = 0;
  // Builds the window and its controls from the design, hands the form to
  // events.OnCreate and runs the load event. The window stays hidden until Show().
  virtual Form& LoadForm(const FormDesign& design, FormEvents& events) = 0;

  // The program's major and minor version numbers, and the year of the current local date.
  virtual int VersionMajor() const = 0;
  virtual int VersionMinor() const = 0;
  virtual int CurrentYear() const = 0;
};

}  // namespace vimo

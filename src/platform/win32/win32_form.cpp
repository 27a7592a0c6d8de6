// A form's window: creation from the design and the form operations. Painting, input
// and the window procedure have files of their own.
#include "platform/win32/win32_form.h"
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>

#include "platform/placement.h"
#include "platform/units.h"
#include "platform/win32/win32_support.h"

namespace vimo::win32 {
namespace {

constexpr int kFirstButtonId = 100;
constexpr UINT_PTR kFirstTimerId = 1;

}  // namespace

Win32Form::Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events)
    : DesignForm(design, &menuViews_, toolkit.GetScreen()),
      toolkit_(toolkit),
      events_(events),
      caption_(Widen(design.caption)),
      clientWidth_(0),
      clientHeight_(0),
      border_(design.border),
      maxButton_(design.maxButton),
      minButton_(design.minButton),
      showInTaskbar_(design.showInTaskbar),
      centerOnOwner_(design.centerOnOwner),
      backColour_(ResolveColour(design.backColor)),
      font_(design.font),
      greenPointer_(design.greenPointer),
      drawMode_(design.drawMode) {
  clientWidth_ = PixelsFromTwipsX(design.clientWidth);
  clientHeight_ = PixelsFromTwipsY(design.clientHeight);
}

Win32Form::~Win32Form() { Discard(); }

HWND Win32Form::LiveWindow() const {
  if (hwnd_ == nullptr) throw ToolkitError("the window " + name_ + " is not loaded");
  return hwnd_;
}

// --- Building ----------------------------------------------------------------------

void Win32Form::Create(const FormDesign& design) {
  const bool hasButtons =
      std::any_of(design.controls.begin(), design.controls.end(),
                  [](const ControlDesign& c) { return c.kind == ControlKind::kCommandButton; });
  DWORD style = 0;
  DWORD exStyle = 0;
  if (border_ == BorderStyle::kSizable) {
    style = WS_OVERLAPPEDWINDOW;
    if (!maxButton_) style &= ~static_cast<DWORD>(WS_MAXIMIZEBOX);
    if (!minButton_) style &= ~static_cast<DWORD>(WS_MINIMIZEBOX);
  } else {
    style = WS_CAPTION | WS_SYSMENU;
    exStyle = WS_EX_DLGMODALFRAME;
  }
  style |= WS_CLIPCHILDREN;
  if (hasButtons) exStyle |= WS_EX_CONTROLPARENT;

  HWND owner = showInTaskbar_ ? nullptr : toolkit_.OwnerFor(*this);
  RECT outer{0, 0, clientWidth_, clientHeight_};
  AdjustWindowRectEx(&outer, style, FALSE, exStyle);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  // Centred on the owner, inside the work area of the owner's monitor; or on the primary
  // screen: a form that has no place of its own yet (the main window, until its load
  // handler places it) shows first where Vimo puts it when no place is stored, not at the
  // system's default place.
  Rect around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  Rect inside = around;
  if (centerOnOwner_ && owner != nullptr && IsWindowVisible(owner) != FALSE) {
    RECT r{};
    GetWindowRect(owner, &r);
    around = FromRECT(r);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor) != FALSE) {
      inside = FromRECT(monitor.rcWork);
    }
  }
  const auto [x, y] = CentredInside(around, width, height, inside);

  hwnd_ = CreateWindowExW(exStyle, toolkit_.WindowClass(greenPointer_), caption_.c_str(), style, x,
                          y, width, height, owner, nullptr, toolkit_.Instance(), this);
  if (hwnd_ == nullptr) throw ToolkitError("cannot create the window " + name_);

  backBrush_ = CreateSolidBrush(backColour_);
  formFont_ = DesignFont(font_, PixelsFromPoints(font_.size, TwipsPerPixelY()));
  try {
    if (backBrush_ == nullptr) throw ToolkitError("cannot create the background of " + name_);
    BuildControls(design);
    menuViews_.Build(menus_);
    CreateTooltips();
  } catch (...) {
    Discard();
    throw;
  }
}

void Win32Form::BuildControls(const FormDesign& design) {
  std::vector<const ControlDesign*> buttons;
  for (const ControlDesign& control : design.controls) {
    switch (control.kind) {
      case ControlKind::kPictureBox:
        pictures_.push_back(std::make_unique<Win32PictureBox>(*this, control));
        break;
      case ControlKind::kLabel:
        labels_.push_back(std::make_unique<Win32Label>(*this, control));
        break;
      case ControlKind::kShape:
        shapes_.push_back(std::make_unique<Win32Shape>(*this, control));
        break;
      case ControlKind::kTimer: {
        const UINT_PTR id = kFirstTimerId + timers_.size();
        const UINT interval = static_cast<UINT>(std::max(0, control.intervalMs));
        timers_.push_back(Timer{std::string(control.name), id, interval, false});
        if (interval > 0 && SetTimer(hwnd_, id, interval, nullptr) == 0) {
          throw ToolkitError("cannot start the timer " + std::string(control.name));
        }
        break;
      }
      case ControlKind::kCommandButton:
        buttons.push_back(&control);
        break;
      case ControlKind::kCommonDialog:
        dialogs_.push_back(std::make_unique<Win32CommonDialog>(*this, control.name));
        break;
    }
  }

  // Windowed controls are made in tab order, which is also their focus order.
  std::stable_sort(
      buttons.begin(), buttons.end(),
      [](const ControlDesign* a, const ControlDesign* b) { return a->tabIndex < b->tabIndex; });
  for (const ControlDesign* control : buttons) {
    const int id = kFirstButtonId + static_cast<int>(buttons_.size());
    DWORD style = WS_CHILD | WS_TABSTOP | (control->isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    if (control->visible) style |= WS_VISIBLE;
    const std::wstring caption = Widen(control->caption);
    HWND button = CreateWindowExW(
        0, L"BUTTON", caption.c_str(), style, PixelsFromTwipsX(control->left),
        PixelsFromTwipsY(control->top), PixelsFromTwipsX(control->width),
        PixelsFromTwipsY(control->height), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        toolkit_.Instance(), nullptr);
    if (button == nullptr)
      throw ToolkitError("cannot create the button " + std::string(control->name));
    if (formFont_ != nullptr)
      SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), FALSE);
    buttons_.push_back(
        Button{std::string(control->name), button, id, control->isDefault, control->isCancel});
  }
}

void Win32Form::CreateTooltips() {
  const bool wanted = std::any_of(labels_.begin(), labels_.end(),
                                  [](const auto& label) { return !label->Tooltip().empty(); });
  if (!wanted || !toolkit_.TooltipsAvailable()) return;
  tooltips_ =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                      WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, toolkit_.Instance(), nullptr);
  if (tooltips_ == nullptr) return;  // a missing tooltip is no reason to fail the window
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const Win32Label& label = *labels_[i];
    if (label.Tooltip().empty()) continue;
    std::wstring text = Widen(label.Tooltip());
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = i + 1;
    if (label.Visible()) tool.rect = ToRECT(label.Bounds());
    tool.lpszText = text.data();
    SendMessageW(tooltips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Win32Form::Load() {
  ready_ = true;
  Deliver([&] { events_.OnCreate(*this); });
  Deliver([&] { events_.OnLoad(); });
}

// --- Form operations ---------------------------------------------------------------

std::string Win32Form::Caption() const {
  HWND hwnd = LiveWindow();
  const int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(std::max(0, length)) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(0, copied)));
  return Narrow(text);
}

void Win32Form::SetCaption(std::string_view text) {
  HWND hwnd = LiveWindow();
  const std::wstring wide = Widen(text);
  if (SetWindowTextW(hwnd, wide.c_str()) == FALSE)
    throw ToolkitError("cannot set the caption of " + name_);
}

Handle Win32Form::hWnd() { return reinterpret_cast<Handle>(LiveWindow()); }

WindowState Win32Form::State() const {
  HWND hwnd = LiveWindow();
  if (IsIconic(hwnd) != FALSE) return WindowState::kMinimized;
  if (IsZoomed(hwnd) != FALSE) return WindowState::kMaximized;
  return WindowState::kNormal;
}

bool Win32Form::Visible() const { return IsWindowVisible(LiveWindow()) != FALSE; }

// The window's outer rectangle in its normal state: while it is minimised, the place it
// will be restored to, so that what Vimo saves at exit is never the minimised stub.
Rect Win32Form::NormalRect() const {
  HWND hwnd = LiveWindow();
  RECT r{};
  if (IsIconic(hwnd) == FALSE) {
    GetWindowRect(hwnd, &r);
    return FromRECT(r);
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  GetWindowPlacement(hwnd, &placement);
  r = placement.rcNormalPosition;
  // The placement is in work-area coordinates of the window's monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY), &monitor) != FALSE) {
    OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left,
               monitor.rcWork.top - monitor.rcMonitor.top);
  }
  return FromRECT(r);
}

// Moves or sizes the window. A changed size sends WM_SIZE, which runs the resize event
// before this returns; an unchanged one sends none.
void Win32Form::MoveOuter(const Rect& outer) {
  HWND hwnd = LiveWindow();
  if (IsIconic(hwnd) != FALSE || IsZoomed(hwnd) != FALSE) {
    throw ToolkitError("a minimised or maximised window cannot be moved or sized");
  }
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  if (width < 0 || height < 0) throw ToolkitError("invalid size for the window " + name_);
  RECT now{};
  GetWindowRect(hwnd, &now);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (outer.left == now.left && outer.top == now.top) flags |= SWP_NOMOVE;
  if (width == now.right - now.left && height == now.bottom - now.top) flags |= SWP_NOSIZE;
  if (SetWindowPos(hwnd, nullptr, outer.left, outer.top, width, height, flags) == FALSE) {
    throw ToolkitError("cannot move the window " + name_);
  }
}

// WM_DPICHANGED: the window is on a monitor of another scale. It keeps its place and its
// size in pixels, so the suggested rectangle is not applied: Vimo's view, band and frame are
// pixels, and the place is where the user or stick mode has just put it. Its twips, and the
// screen's for the main window, follow the new scale before the logic hears of it.
void Win32Form::DpiChanged(WPARAM wParam) {
  const int dpiX = LOWORD(wParam);
  const int dpiY = HIWORD(wParam);
  if (dpiX <= 0 || dpiY <= 0 || !Rescale(TwipsPerPixelAt(dpiX), TwipsPerPixelAt(dpiY))) return;
  if (toolkit_.IsMainForm(*this))
    toolkit_.ScreenMetrics().Follow(TwipsPerPixelX(), TwipsPerPixelY());
  Deliver([&] { events_.OnDpiChanged(); });
  // The system draws the title bar and borders at the new scale: the frame is measured
  // again at once, so that a client area grown or shrunk by it is laid out (WM_SIZE).
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

float Win32Form::ScaleWidth() const {
  RECT r{};
  GetClientRect(LiveWindow(), &r);
  return static_cast<float>(r.right - r.left);
}

float Win32Form::ScaleHeight() const {
  RECT r{};
  GetClientRect(LiveWindow(), &r);
  return static_cast<float>(r.bottom - r.top);
}

void Win32Form::Refresh() {
  RedrawWindow(LiveWindow(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Form::PopupMenu(MenuItem& menu, int flags) {
  HWND hwnd = LiveWindow();
  const MenuNode* item = menus_.Find(menu);
  if (item == nullptr) throw ToolkitError("the menu is not one of " + name_);
  if (item->Children().empty() || menuViews_.Popup(*item) == nullptr) {
    throw ToolkitError("the menu " + std::string(item->Name()) + " has no items to show");
  }
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(hwnd);
  const UINT command = static_cast<UINT>(TrackPopupMenuEx(menuViews_.Popup(*item),
                                                          static_cast<UINT>(flags) | TPM_RETURNCMD,
                                                          at.x, at.y, hwnd, nullptr));
  // The chosen command runs now, before the popup call returns to its caller; not once
  // the window is gone (a handler in the menu's loop may have unloaded the form).
  const MenuNode* chosen = hwnd_ != nullptr ? menuViews_.Item(command) : nullptr;
  if (chosen != nullptr) Deliver([&] { events_.OnMenuClick(chosen->Name(), chosen->Index()); });
}

// The first Show delivers the resize event even when a load handler has already made
// the window visible (SetWindowPos with SWP_SHOWWINDOW); later ones only activate it.
void Win32Form::Show() {
  HWND hwnd = LiveWindow();
  if (shown_) {
    ShowWindow(hwnd, SW_SHOW);
    SetForegroundWindow(hwnd);
    return;
  }
  shown_ = true;
  Deliver([&] { events_.OnResize(); });
  if (hwnd_ == nullptr) return;  // the resize handler unloaded the form
  showing_ = true;
  ShowWindow(hwnd, SW_SHOW);
  showing_ = false;
  if (hwnd_ == nullptr) return;
  UpdateWindow(hwnd);
  if (!buttons_.empty()) SetFocus(buttons_.front().hwnd);
}

// Unloading a form that is already unloaded does nothing.
void Win32Form::Unload() { RunUnload(); }

void Win32Form::RunUnload() {
  if (unloading_ || hwnd_ == nullptr) return;
  unloading_ = true;
  int cancel = 0;
  Deliver([&] { events_.OnUnload(cancel); });
  unloading_ = false;
  if (cancel == 0 && hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Win32Form::Discard() {
  ready_ = false;
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

// The owner is set when the window is made (frmMain for a form kept out of the taskbar);
// another owner is taken over before the window shows.
void Win32Form::ShowModeless(Form& owner) {
  HWND hwnd = LiveWindow();
  HWND ownerWindow = reinterpret_cast<HWND>(owner.hWnd());
  if (ownerWindow != hwnd && GetWindow(hwnd, GW_OWNER) != ownerWindow) {
    SetWindowLongPtrW(hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(ownerWindow));
  }
  Show();
}

void Win32Form::ReleaseResources() {
  for (const auto& label : labels_) label->ReleaseResources();
  for (const auto& picture : pictures_) picture->ReleaseResources();
  menuViews_.Destroy();
  if (backBrush_ != nullptr) DeleteObject(backBrush_);
  if (formFont_ != nullptr) DeleteObject(formFont_);
  backBrush_ = nullptr;
  formFont_ = nullptr;
  tooltips_ = nullptr;  // an owned window: gone with this one
}

}  // namespace vimo::win32

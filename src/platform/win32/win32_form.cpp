// A form's window: creation from the design, the form operations, and the window
// procedure that turns messages into events.
#include "platform/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "platform/placement.h"
#include "platform/units.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_toolkit.h"

namespace vimo::win32 {
namespace {

constexpr UINT kFirstMenuId = 1000;
constexpr int kFirstButtonId = 100;
constexpr UINT_PTR kFirstTimerId = 1;

std::int16_t KeyShift() {
  std::int16_t shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
  if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t MouseShift(WPARAM wParam) {
  std::int16_t shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= 1;
  if ((wParam & MK_CONTROL) != 0) shift |= 2;
  if (GetKeyState(VK_MENU) < 0) shift |= 4;
  return shift;
}

std::int16_t HeldButtons(WPARAM wParam) {
  std::int16_t buttons = 0;
  if ((wParam & MK_LBUTTON) != 0) buttons |= kLeftButton;
  if ((wParam & MK_RBUTTON) != 0) buttons |= kRightButton;
  if ((wParam & MK_MBUTTON) != 0) buttons |= kMiddleButton;
  return buttons;
}

POINT MousePoint(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

template <typename Handler>
void Win32Form::Deliver(Handler&& handler) {
  if (!ready_ || !toolkit_.Delivering()) return;
  toolkit_.Events().Deliver(events_, handler);
}

Win32Form::Win32Form(Win32Toolkit& toolkit, const FormDesign& design, FormEvents& events)
    : toolkit_(toolkit),
      events_(events),
      name_(design.name),
      caption_(Widen(design.caption)),
      clientWidth_(0),
      clientHeight_(0),
      border_(design.border),
      maxButton_(design.maxButton),
      minButton_(design.minButton),
      showInTaskbar_(design.showInTaskbar),
      centerOnOwner_(design.centerOnOwner),
      backColour_(ResolveColour(design.backColor)),
      fontName_(Widen(design.font.name)),
      fontSize_(design.font.size),
      fontWeight_(design.font.weight),
      fontUnderline_(design.font.underline),
      greenPointer_(design.greenPointer),
      drawMode_(design.drawMode) {
  clientWidth_ = PixelsFromTwipsX(design.clientWidth);
  clientHeight_ = PixelsFromTwipsY(design.clientHeight);
}

Win32Form::~Win32Form() { Discard(); }

int Win32Form::PixelsFromTwipsX(double twips) const {
  return PixelsFromTwips(twips, toolkit_.ScreenMetrics().TwipsPerPixelX());
}

int Win32Form::PixelsFromTwipsY(double twips) const {
  return PixelsFromTwips(twips, toolkit_.ScreenMetrics().TwipsPerPixelY());
}

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
    around = {r.left, r.top, r.right, r.bottom};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor) != FALSE) {
      inside = {monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right,
                monitor.rcWork.bottom};
    }
  }
  const auto [x, y] = CentredInside(around, width, height, inside);

  hwnd_ = CreateWindowExW(exStyle, toolkit_.WindowClass(greenPointer_), caption_.c_str(), style, x,
                          y, width, height, owner, nullptr, toolkit_.Instance(), this);
  if (hwnd_ == nullptr) throw ToolkitError("cannot create the window " + name_);

  backBrush_ = CreateSolidBrush(backColour_);
  const int dpi = toolkit_.ScreenMetrics().DpiY();
  formFont_ = CreateFontW(
      -static_cast<int>(std::lround(fontSize_ * static_cast<float>(dpi) / 72.0F)), 0, 0, 0,
      fontWeight_, FALSE, fontUnderline_ ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, fontName_.c_str());
  try {
    if (backBrush_ == nullptr) throw ToolkitError("cannot create the background of " + name_);
    BuildControls(design);
    BuildMenus(design);
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

void Win32Form::BuildMenus(const FormDesign& design) {
  UINT id = kFirstMenuId;
  for (const MenuDesign& menu : design.menus) {
    menuItems_.push_back(std::make_unique<Win32MenuItem>(*this, menu, id++));
  }
  // The flat design list becomes a tree by level: an item belongs to the nearest item
  // above it with a lower level.
  std::vector<Win32MenuItem*> open;
  for (const auto& item : menuItems_) {
    while (!open.empty() && open.back()->Level() >= item->Level()) open.pop_back();
    if (!open.empty()) open.back()->Adopt(*item);
    open.push_back(item.get());
  }
  for (const auto& item : menuItems_) {
    if (item->Level() == 0 || item->HasItems()) item->MakeSubmenu();
  }
  for (const auto& item : menuItems_) {
    if (item->Visible()) item->InsertIntoParent();
  }
  for (const auto& item : menuItems_) {
    if (item->Index() == 0) continue;
    auto group = std::find_if(menuGroups_.begin(), menuGroups_.end(),
                              [&](const auto& g) { return g->Name() == item->Name(); });
    if (group == menuGroups_.end()) {
      menuGroups_.push_back(std::make_unique<Win32MenuGroup>(std::string(item->Name())));
      group = menuGroups_.end() - 1;
    }
    (*group)->Add(*item);
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
    if (label.Visible()) tool.rect = label.Bounds();
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
RECT Win32Form::NormalRect() const {
  HWND hwnd = LiveWindow();
  RECT r{};
  if (IsIconic(hwnd) == FALSE) {
    GetWindowRect(hwnd, &r);
    return r;
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
  return r;
}

float Win32Form::Width() const {
  const RECT r = NormalRect();
  return TwipsFromPixels(r.right - r.left, toolkit_.ScreenMetrics().TwipsPerPixelX());
}

float Win32Form::Height() const {
  const RECT r = NormalRect();
  return TwipsFromPixels(r.bottom - r.top, toolkit_.ScreenMetrics().TwipsPerPixelY());
}

float Win32Form::Left() const {
  return TwipsFromPixels(NormalRect().left, toolkit_.ScreenMetrics().TwipsPerPixelX());
}

float Win32Form::Top() const {
  return TwipsFromPixels(NormalRect().top, toolkit_.ScreenMetrics().TwipsPerPixelY());
}

// Moves or sizes the window. A changed size sends WM_SIZE, which runs the resize event
// before this returns; an unchanged one sends none.
void Win32Form::MoveOuter(int x, int y, int width, int height, UINT flags) {
  HWND hwnd = LiveWindow();
  if (IsIconic(hwnd) != FALSE || IsZoomed(hwnd) != FALSE) {
    throw ToolkitError("a minimised or maximised window cannot be moved or sized");
  }
  if (width < 0 || height < 0) throw ToolkitError("invalid size for the window " + name_);
  if (SetWindowPos(hwnd, nullptr, x, y, width, height, flags | SWP_NOZORDER | SWP_NOACTIVATE) ==
      FALSE) {
    throw ToolkitError("cannot move the window " + name_);
  }
}

void Win32Form::SetWidth(float twips) {
  RECT r{};
  GetWindowRect(LiveWindow(), &r);
  MoveOuter(0, 0, PixelsFromTwipsX(twips), r.bottom - r.top, SWP_NOMOVE);
}

void Win32Form::SetHeight(float twips) {
  RECT r{};
  GetWindowRect(LiveWindow(), &r);
  MoveOuter(0, 0, r.right - r.left, PixelsFromTwipsY(twips), SWP_NOMOVE);
}

void Win32Form::SetLeft(float twips) {
  RECT r{};
  GetWindowRect(LiveWindow(), &r);
  MoveOuter(PixelsFromTwipsX(twips), r.top, 0, 0, SWP_NOSIZE);
}

void Win32Form::SetTop(float twips) {
  RECT r{};
  GetWindowRect(LiveWindow(), &r);
  MoveOuter(r.left, PixelsFromTwipsY(twips), 0, 0, SWP_NOSIZE);
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

// The background over the whole client area; the labels and shapes, being controls
// rather than drawings, stay.
void Win32Form::Cls() {
  HWND hwnd = LiveWindow();
  RECT r{};
  GetClientRect(hwnd, &r);
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) throw ToolkitError("cannot draw on the window " + name_);
  FillRect(dc, &r, backBrush_);
  DrawDecorations(dc);
  ReleaseDC(hwnd, dc);
}

void Win32Form::Refresh() {
  RedrawWindow(LiveWindow(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void Win32Form::Line(int x1, int y1, int x2, int y2, Colour colour) {
  HWND hwnd = LiveWindow();
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) throw ToolkitError("cannot draw on the window " + name_);
  HPEN pen = CreatePen(PS_SOLID, 1, ResolveColour(colour));
  const HGDIOBJ oldPen = pen != nullptr ? SelectObject(dc, pen) : nullptr;
  SetROP2(dc, drawMode_);
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
  if (oldPen != nullptr) SelectObject(dc, oldPen);
  if (pen != nullptr) DeleteObject(pen);
  ReleaseDC(hwnd, dc);
}

void Win32Form::PopupMenu(MenuItem& menu, int flags) {
  HWND hwnd = LiveWindow();
  auto found = std::find_if(menuItems_.begin(), menuItems_.end(),
                            [&](const auto& item) { return item.get() == &menu; });
  if (found == menuItems_.end()) throw ToolkitError("the menu is not one of " + name_);
  const Win32MenuItem& item = **found;
  if (!item.HasItems() || item.Submenu() == nullptr) {
    throw ToolkitError("the menu " + std::string(item.Name()) + " has no items to show");
  }
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(hwnd);
  const UINT command = static_cast<UINT>(TrackPopupMenuEx(
      item.Submenu(), static_cast<UINT>(flags) | TPM_RETURNCMD, at.x, at.y, hwnd, nullptr));
  // The chosen command runs now, before the popup call returns to its caller; not once
  // the window is gone (a handler in the menu's loop may have unloaded the form).
  if (command == 0 || hwnd_ == nullptr) return;
  for (const auto& chosen : menuItems_) {
    if (chosen->Id() != command) continue;
    const std::string name(chosen->Name());
    const std::int16_t index = chosen->Index();
    Deliver([&] { events_.OnMenuClick(name, index); });
    return;
  }
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

// The control of that design name; a name the design does not have fails.
template <typename Controls>
auto& Win32Form::Named(const Controls& controls, std::string_view name, const char* kind) const {
  for (const auto& control : controls) {
    if (control->Name() == name) return *control;
  }
  throw ToolkitError(name_ + " has no " + kind + " " + std::string(name));
}

PictureBox& Win32Form::Picture(std::string_view name) {
  return Named(pictures_, name, "picture box");
}

Label& Win32Form::LabelControl(std::string_view name) { return Named(labels_, name, "label"); }

Shape& Win32Form::ShapeControl(std::string_view name) { return Named(shapes_, name, "shape"); }

MenuItem& Win32Form::Menu(std::string_view name) {
  for (const auto& item : menuItems_) {
    if (item->Name() == name && item->Index() == 0) return *item;
  }
  throw ToolkitError(name_ + " has no single menu item " + std::string(name));
}

MenuGroup& Win32Form::MenuArray(std::string_view name) {
  return Named(menuGroups_, name, "menu group");
}

CommonDialog& Win32Form::Dialog(std::string_view name) {
  return Named(dialogs_, name, "common dialog");
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

// --- Drawing -----------------------------------------------------------------------

void Win32Form::DrawDecorations(HDC dc) const {
  for (const auto& shape : shapes_) shape->Draw(dc);
  for (const auto& label : labels_) label->Draw(dc);
}

void Win32Form::RedrawArea(const RECT* rects, int count) {
  if (hwnd_ == nullptr || IsWindowVisible(hwnd_) == FALSE || count <= 0) return;
  HRGN area = CreateRectRgn(0, 0, 0, 0);
  if (area == nullptr) return;
  for (int i = 0; i < count; ++i) {
    if (rects[i].right <= rects[i].left || rects[i].bottom <= rects[i].top) continue;
    HRGN part = CreateRectRgnIndirect(&rects[i]);
    if (part == nullptr) continue;
    CombineRgn(area, area, part, RGN_OR);
    DeleteObject(part);
  }
  if (HDC dc = GetDC(hwnd_)) {
    SelectClipRgn(dc, area);
    FillRgn(dc, area, backBrush_);
    DrawDecorations(dc);
    SelectClipRgn(dc, nullptr);
    ReleaseDC(hwnd_, dc);
  }
  DeleteObject(area);
}

void Win32Form::LabelMoved(const Win32Label& label) {
  if (tooltips_ == nullptr || label.Tooltip().empty()) return;
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    if (labels_[i].get() != &label) continue;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = i + 1;
    if (label.Visible()) tool.rect = label.Bounds();
    SendMessageW(tooltips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Win32Form::Paint() {
  HWND hwnd = hwnd_;
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!painting_) {
    painting_ = true;
    Deliver([&] { events_.OnPaint(); });
    painting_ = false;
  }
  if (hwnd_ != nullptr && dc != nullptr) DrawDecorations(dc);
  EndPaint(hwnd, &ps);
}

// --- Mouse and commands ------------------------------------------------------------

// The first visible label of the design under the point.
MouseHit Win32Form::HitAt(POINT point) const {
  MouseHit hit;
  RECT client{};
  GetClientRect(hwnd_, &client);
  hit.inClient = PtInRect(&client, point) != FALSE;
  for (const auto& label : labels_) {
    if (label->Hit(point)) {
      hit.label = label->Name();
      break;
    }
  }
  return hit;
}

void Win32Form::Raise(const MouseEvents& events) {
  for (const MouseEvent& event : events) Deliver([&] { vimo::Raise(events_, event); });
}

void Win32Form::MouseDown(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  if (!router_.Holding()) SetCapture(hwnd_);
  Raise(router_.Down(button, MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

void Win32Form::MouseUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  const bool held = router_.Holding();
  const MouseEvents events = router_.Up(button, MouseShift(wParam), {at.x, at.y}, HitAt(at));
  if (held && !router_.Holding()) ReleaseCapture();
  Raise(events);
}

void Win32Form::MouseMove(WPARAM wParam, LPARAM lParam) {
  const POINT at = MousePoint(lParam);
  Raise(router_.Move(HeldButtons(wParam), MouseShift(wParam), {at.x, at.y}, HitAt(at)));
}

// Buttons, and Enter and Escape through the dialog keys. Menu commands never come this
// way: PopupMenu delivers them itself.
void Win32Form::Command(WPARAM wParam, LPARAM /*lParam*/) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (code != BN_CLICKED) return;
  for (const Button& button : buttons_) {
    if (button.id == id || (id == IDOK && button.isDefault) ||
        (id == IDCANCEL && button.isCancel)) {
      ButtonClicked(button);
      return;
    }
  }
}

void Win32Form::ButtonClicked(const Button& button) {
  const std::string name = button.name;
  Deliver([&] { events_.OnControlClick(name); });
}

// --- Window procedure --------------------------------------------------------------

LRESULT CALLBACK Win32Form::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* form = static_cast<Win32Form*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing may unwind through the system's frames.
  try {
    return form->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& failure) {
    form->toolkit_.Events().Record(failure.what());
  } catch (...) {
    form->toolkit_.Events().Record("unknown failure in the window procedure");
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Win32Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(hwnd, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, backBrush_);
      return 1;
    }
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE:
      if (!showing_) Deliver([&] { events_.OnResize(); });
      return 0;
    case WM_LBUTTONDOWN:
      MouseDown(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      MouseDown(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      MouseDown(kMiddleButton, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      MouseUp(kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      MouseUp(kMiddleButton, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd) router_.Reset();
      return 0;
    case WM_CHAR: {
      auto key = static_cast<std::int16_t>(wParam);
      Deliver([&] { events_.OnKeyPress(key); });
      return 0;
    }
    case WM_KEYUP: {
      const auto key = static_cast<std::int16_t>(wParam);
      const std::int16_t shift = KeyShift();
      Deliver([&] { events_.OnKeyUp(key, shift); });
      return 0;
    }
    case WM_TIMER:
      for (Timer& timer : timers_) {
        if (timer.id != wParam) continue;
        if (!timer.running) {
          timer.running = true;
          const std::string_view name = timer.name;  // timers_ never changes after load
          Deliver([&] { events_.OnTimer(name); });
          timer.running = false;
        }
        return 0;
      }
      break;
    case WM_COMMAND:
      Command(wParam, lParam);
      return 0;
    case DM_GETDEFID:
      for (const Button& button : buttons_) {
        if (button.isDefault) return MAKELRESULT(button.id, DC_HASDEFID);
      }
      break;
    case WM_CLOSE:
      RunUnload();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // The session ends with this message: the same steps as a close, settings and all.
      if (wParam != FALSE) RunUnload();
      return 0;
    case WM_DESTROY:
      ready_ = false;
      for (const Timer& timer : timers_) KillTimer(hwnd, timer.id);
      router_.Reset();
      if (toolkit_.IsMainForm(*this)) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      ReleaseResources();
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Form::ReleaseResources() {
  for (const auto& label : labels_) label->ReleaseResources();
  for (const auto& picture : pictures_) picture->ReleaseResources();
  for (const auto& item : menuItems_) item->DestroySubmenu();
  if (backBrush_ != nullptr) DeleteObject(backBrush_);
  if (formFont_ != nullptr) DeleteObject(formFont_);
  backBrush_ = nullptr;
  formFont_ = nullptr;
  tooltips_ = nullptr;  // an owned window: gone with this one
}

}  // namespace vimo::win32

#include "platform/sim/sim_toolkit.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <utility>

#include "platform/placement.h"
#include "version.h"

namespace vimo::sim {
namespace {

[[noreturn]] void NoSuch(std::string_view what, std::string_view name) {
  std::string message(what);
  message += " '";
  message += name;
  message += "' does not exist";
  throw ToolkitError(message);
}

}  // namespace

Colour ResolveColour(Colour colour) {
  if (colour == kSysButtonFace) return kButtonFace;
  if (colour == kSysWindowText) return kWindowText;
  return colour & 0x00FFFFFFU;
}

// ---------------------------------------------------------------------------------------
// Controls

SimShape::SimShape(const ControlDesign& design, float tppX, float tppY, SimForm& form)
    : BasicShape(design, tppX, tppY), form_(form), colour_(ResolveColour(design.foreColor)) {}

void SimShape::Changed(const Rect& before) {
  SimWindow& w = form_.Win();
  if (!w.visible || w.minimized) return;
  Outline(w.client, before, w.background);
  Outline(w.client, Bounds(), colour_);
}

void SimShape::Outline(PixelBuffer& client, const Rect& r, Colour colour) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  for (int x = r.left; x < r.right; ++x) {
    client.Set(x, r.top, colour);
    client.Set(x, r.bottom - 1, colour);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    client.Set(r.left, y, colour);
    client.Set(r.right - 1, y, colour);
  }
}

SimPictureBox::SimPictureBox(const ControlDesign& design, float tppX, float tppY,
                             SimDesktop& desktop)
    : name_(design.name),
      desktop_(desktop),
      image_(PixelsFromTwips(design.width, tppX), PixelsFromTwips(design.height, tppY),
             ResolveColour(design.backColor)),
      foreColor_(design.foreColor),
      backColor_(ResolveColour(design.backColor)) {
  hdc_ = desktop_.CreatePersistentDc(&image_, ResolveColour(foreColor_));
}

SimPictureBox::~SimPictureBox() { desktop_.DestroyPersistentDc(hdc_); }

// Only a colour value can become the drawing colour.
void SimPictureBox::SetForeColor(Colour colour) {
  if (colour > 0x00FFFFFFU) throw ToolkitError("invalid colour for " + name_);
  foreColor_ = colour;
  desktop_.SetPenColour(hdc_, ResolveColour(colour));
}

void SimPictureBox::SetWidth(float width) {
  image_.Resize(WholePixels(width), image_.Height(), backColor_);
}

void SimPictureBox::SetHeight(float height) {
  image_.Resize(image_.Width(), WholePixels(height), backColor_);
}

std::optional<Colour> SimCommonDialog::Choose(std::int32_t flags, Colour current) {
  return toolkit_.AnswerColourDialog({flags, (flags & kRgbInit) != 0 ? current : 0});
}

// ---------------------------------------------------------------------------------------
// SimForm

SimForm::SimForm(SimToolkit& toolkit, const FormDesign& design, FormEvents& events)
    : DesignForm(design, nullptr, toolkit.GetScreen()),
      toolkit_(toolkit),
      desktop_(toolkit.Desktop()),
      events_(events),
      caption_(design.caption),
      drawMode_(design.drawMode) {
  if (drawMode_ != 6 && drawMode_ != 13) {
    throw ToolkitError("draw mode " + std::to_string(drawMode_) + " is not supported");
  }
  const float tppX = TwipsPerPixelX();
  const float tppY = TwipsPerPixelY();
  const int clientW = PixelsFromTwips(design.clientWidth, tppX);
  const int clientH = PixelsFromTwips(design.clientHeight, tppY);
  hwnd_ = desktop_.AddWindow(
      {0, 0, clientW + kFrameLeft + kFrameRight, clientH + kFrameTop + kFrameBottom},
      ResolveColour(design.backColor));
  if (design.greenPointer) Win().clientCursor = toolkit.GreenPointer();
  Win().onResized = [this] { Deliver([this] { events_.OnResize(); }); };

  for (const ControlDesign& c : design.controls) {
    switch (c.kind) {
      case ControlKind::kLabel:
        labels_.push_back(std::make_unique<SimLabel>(c, *this));
        break;
      case ControlKind::kShape:
        shapes_.push_back(std::make_unique<SimShape>(c, tppX, tppY, *this));
        break;
      case ControlKind::kPictureBox:
        pictures_.push_back(std::make_unique<SimPictureBox>(c, tppX, tppY, desktop_));
        break;
      case ControlKind::kTimer:
        timers_.emplace_back(c.name);
        break;
      case ControlKind::kCommonDialog:
        dialogs_.push_back(std::make_unique<SimCommonDialog>(toolkit, c.name));
        break;
      case ControlKind::kCommandButton:
        buttons_.emplace_back(c.name);
        break;
    }
  }
}

SimForm::~SimForm() { desktop_.DestroyWindow(hwnd_); }

template <class Handler>
void SimForm::Deliver(Handler&& handler) {
  toolkit_.Events().Deliver(events_, handler);
}

void SimForm::RunLoad() {
  Win().onDpiChanged = [this] { ScaleChanged(); };
  Deliver([this] { events_.OnCreate(*this); });
  Deliver([this] { events_.OnLoad(); });
}

const std::vector<std::string>& SimForm::Failures() const { return toolkit_.Events().Failures(); }

SimWindow& SimForm::Win() { return *desktop_.Window(hwnd_); }
const SimWindow& SimForm::Window() const { return *desktop_.Window(hwnd_); }

Rect SimForm::NormalRect() const {
  const SimWindow& w = Window();
  return w.minimized ? w.restored : w.outer;
}

void SimForm::SetCaption(std::string_view text) { caption_.assign(text); }

WindowState SimForm::State() const {
  return Window().minimized ? WindowState::kMinimized : WindowState::kNormal;
}

bool SimForm::Visible() const { return Window().visible; }

void SimForm::ScaleChanged() {
  const int dpi = Window().dpi;
  const float tppX = dpi == 0 ? toolkit_.TwipsPerPixelX() : TwipsPerPixelAt(dpi);
  const float tppY = dpi == 0 ? toolkit_.TwipsPerPixelY() : TwipsPerPixelAt(dpi);
  if (!Rescale(tppX, tppY)) return;
  if (toolkit_.IsMainForm(*this)) toolkit_.GetScreen().Follow(tppX, tppY);
  Deliver([this] { events_.OnDpiChanged(); });
}

void SimForm::MoveOuter(const Rect& outer) {
  if (unloaded_) throw ToolkitError("the window " + name_ + " is not loaded");
  if (Window().minimized) {
    throw ToolkitError("a minimised or maximised window cannot be moved or sized");
  }
  if (outer.right < outer.left || outer.bottom < outer.top) {
    throw ToolkitError("invalid size for the window " + name_);
  }
  if (desktop_.PlaceWindow(hwnd_, outer)) Deliver([this] { events_.OnResize(); });
}

void SimForm::Cls() {
  SimWindow& w = Win();
  w.client.Fill(w.background);
}

void SimForm::Refresh() {
  if (!Visible() || Window().minimized) return;
  Deliver([this] { events_.OnPaint(); });
  for (const auto& shape : shapes_) {
    shape->DrawOutline(Win().client);
  }
}

void SimForm::Line(int x1, int y1, int x2, int y2, Colour colour) {
  PixelBuffer& client = Win().client;
  const Colour pen = ResolveColour(colour);
  const bool invert = drawMode_ == 6;
  ForEachLinePoint(x1, y1, x2, y2, [&](int x, int y) {
    if (!client.Contains(x, y)) return;
    client.Set(x, y, invert ? (~client.At(x, y) & 0x00FFFFFFU) : pen);
  });
}

void SimForm::PopupMenu(MenuItem& menu, int flags) {
  const MenuNode* found = menus_.Find(menu);
  if (found == nullptr) throw ToolkitError("the menu is not one of " + name_);
  const MenuNode& popup = *found;
  if (popup.Children().empty()) {
    throw ToolkitError("the menu " + std::string(popup.Name()) + " has no items to show");
  }
  popups_.push_back({std::string(popup.Name()), flags, desktop_.CursorPos()});
  router_.Reset();  // the open menu takes the mouse
  MenuNode* chosen = nullptr;
  if (!popupAnswers_.empty()) {
    chosen = popupAnswers_.front();
    popupAnswers_.pop_front();
  }
  if (chosen == nullptr || !chosen->ClickableIn(popup)) return;
  Deliver([&] { events_.OnMenuClick(chosen->Name(), chosen->Index()); });
}

void SimForm::ScriptPopupChoice(std::string_view name, std::int16_t index) {
  popupAnswers_.push_back(menus_.Find(index == 0 ? Menu(name) : MenuArray(name).Item(index)));
}

void SimForm::Show() {
  if (unloaded_) throw ToolkitError("the window '" + name_ + "' has been unloaded");
  if (shown_) {
    desktop_.ShowWindow(hwnd_, true);
    return;
  }
  shown_ = true;
  Deliver([this] { events_.OnResize(); });
  desktop_.ShowWindow(hwnd_, true);
  Refresh();
}

void SimForm::Unload() {
  if (unloaded_) return;
  int cancel = 0;
  Deliver([&] { events_.OnUnload(cancel); });
  if (cancel != 0) return;
  unloaded_ = true;
  desktop_.DestroyWindow(hwnd_);
}

void SimForm::ShowModeless(Form& owner) {
  if (unloaded_) throw ToolkitError("the window '" + name_ + "' has been unloaded");
  owner_ = owner.hWnd();
  Show();
}

bool SimForm::SetClipboardText(std::string_view text) {
  SimClipboard& clipboard = desktop_.Clipboard();
  if (clipboard.busy) return false;
  clipboard = SimClipboard{false, hWnd(), std::string(text), {}, 0, 0};
  return true;
}

bool SimForm::SetClipboardImage(const PixelRows& image) {
  SimClipboard& clipboard = desktop_.Clipboard();
  if (clipboard.busy) return false;
  clipboard = SimClipboard{false, hWnd(), "", {}, image.width, image.height};
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      clipboard.image.push_back(image.Rgb(image.Row(y)[x]));
    }
  }
  return true;
}

// ---- Test driving

bool SimForm::AcceptsInput() const { return !unloaded_ && Visible(); }

bool SimForm::AcceptsMouseAndKeys() const { return AcceptsInput() && !Window().minimized; }

bool SimForm::Tick() {
  if (timers_.empty()) throw ToolkitError("the window '" + name_ + "' has no timer");
  return Tick(timers_.front());
}

bool SimForm::Tick(std::string_view timer) {
  if (std::find(timers_.begin(), timers_.end(), timer) == timers_.end()) NoSuch("timer", timer);
  if (unloaded_) return false;
  Deliver([&] { events_.OnTimer(timer); });
  return true;
}

MouseHit SimForm::HitAt(int x, int y) const {
  return HitLabels(labels_, {x, y}, x >= 0 && y >= 0 && x < ClientWidth() && y < ClientHeight());
}

bool SimForm::Raise(const MouseEvents& events) {
  for (const MouseEvent& e : events) Deliver([&] { vimo::Raise(events_, e); });
  return !events.empty();
}

bool SimForm::MouseDown(std::int16_t button, int x, int y, std::int16_t shift) {
  if (!AcceptsMouseAndKeys()) return false;
  return Raise(router_.Down(button, shift, {x, y}, HitAt(x, y)));
}

bool SimForm::MouseUp(std::int16_t button, int x, int y, std::int16_t shift) {
  if (!AcceptsMouseAndKeys()) return false;
  return Raise(router_.Up(button, shift, {x, y}, HitAt(x, y)));
}

bool SimForm::MouseMove(int x, int y, std::int16_t buttons, std::int16_t shift) {
  if (!AcceptsMouseAndKeys()) return false;
  return Raise(router_.Move(buttons, shift, {x, y}, HitAt(x, y)));
}

bool SimForm::KeyPress(std::int16_t keyAscii, std::int16_t* after) {
  if (!AcceptsMouseAndKeys()) return false;
  Deliver([&] { events_.OnKeyPress(keyAscii); });
  if (after != nullptr) *after = keyAscii;
  return true;
}

bool SimForm::MouseWheel(std::int32_t delta) {
  if (!AcceptsMouseAndKeys()) return false;
  Deliver([&] { events_.OnMouseWheel(delta); });
  return true;
}

bool SimForm::KeyUp(std::int16_t keyCode, std::int16_t shift) {
  if (!AcceptsMouseAndKeys()) return false;
  Deliver([&] { events_.OnKeyUp(keyCode, shift); });
  return true;
}

bool SimForm::ClickMenu(std::string_view name, std::int16_t index) {
  const MenuNode& item = *menus_.Find(index == 0 ? Menu(name) : MenuArray(name).Item(index));
  if (!AcceptsInput() || !item.Clickable()) return false;
  Deliver([&] { events_.OnMenuClick(item.Name(), item.Index()); });
  return true;
}

bool SimForm::ClickControl(std::string_view button) {
  if (std::find(buttons_.begin(), buttons_.end(), button) == buttons_.end()) {
    NoSuch("command button", button);
  }
  if (!AcceptsMouseAndKeys()) return false;
  Deliver([&] { events_.OnControlClick(button); });
  return true;
}

void SimForm::SetClientSize(int width, int height) {
  Rect r = NormalRect();
  r.right = r.left + std::max(width, 0) + kFrameLeft + kFrameRight;
  r.bottom = r.top + std::max(height, 0) + kFrameTop + kFrameBottom;
  if (desktop_.PlaceWindow(hwnd_, r)) Deliver([this] { events_.OnResize(); });
}

void SimForm::DragTo(int x, int y) {
  const Rect r = NormalRect();
  desktop_.PlaceWindow(hwnd_, {x, y, x + r.right - r.left, y + r.bottom - r.top});
}

void SimForm::Minimize() {
  desktop_.SetMinimized(hwnd_, true);
  Deliver([this] { events_.OnResize(); });
}

void SimForm::Restore() {
  desktop_.SetMinimized(hwnd_, false);
  Deliver([this] { events_.OnResize(); });
}

void SimForm::Hide() { desktop_.ShowWindow(hwnd_, false); }

bool SimForm::Close() {
  Unload();
  return unloaded_;
}

int SimForm::ClientWidth() const { return Window().client.Width(); }
int SimForm::ClientHeight() const { return Window().client.Height(); }
const PixelBuffer& SimForm::Client() const { return Window().client; }

Colour SimForm::ClientPixel(int x, int y) const {
  if (!Client().Contains(x, y)) throw std::out_of_range("outside the client area");
  return Client().At(x, y);
}

// ---------------------------------------------------------------------------------------
// Screen and toolkit

float SimScreen::Width() const {
  const Rect m = toolkit_.Desktop().PrimaryMonitor();
  return TwipsFromPixels(m.right - m.left, tppX_);
}

float SimScreen::Height() const {
  const Rect m = toolkit_.Desktop().PrimaryMonitor();
  return TwipsFromPixels(m.bottom - m.top, tppY_);
}

SimToolkit::SimToolkit(SimDesktop& desktop)
    : desktop_(desktop), versionMajor_(VIMO_VERSION_MAJOR), versionMinor_(VIMO_VERSION_MINOR) {}

SimToolkit::~SimToolkit() = default;

void SimToolkit::SetTwipsPerPixel(float x, float y) {
  if (!(x > 0.0F) || !(y > 0.0F)) throw std::invalid_argument("twips per pixel must be > 0");
  tppX_ = x;
  tppY_ = y;
  screen_.Follow(x, y);
}

SimForm& SimToolkit::LoadForm(const FormDesign& design, FormEvents& events) {
  forms_.push_back(std::make_unique<SimForm>(*this, design, events));
  SimForm& form = *forms_.back();
  // Owned by the first window, centred on it while it shows, as the Win32 backend does.
  SimForm& owner = *forms_.front();
  if (design.centerOnOwner && &owner != &form && owner.Loaded() && owner.Visible()) {
    const Rect around = owner.Window().outer;
    const Rect outer = form.Window().outer;
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const Point at = CentredInside(around, width, height, desktop_.WorkAreaFor(around));
    desktop_.PlaceWindow(form.hWnd(), {at.x, at.y, at.x + width, at.y + height});
  }
  form.RunLoad();
  return form;
}

int SimToolkit::MsgBox(std::string_view text, int style, std::string_view title) {
  messageBoxes_.push_back({std::string(text), style, std::string(title)});
  return 1;
}

SimForm& SimToolkit::FindForm(std::string_view name) {
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) {
    if ((*it)->Name() == name) return **it;
  }
  NoSuch("window", name);
}

std::optional<Colour> SimToolkit::AnswerColourDialog(const ColourDialogRecord& opened) {
  colourDialogs_.push_back(opened);
  if (colourAnswers_.empty()) return std::nullopt;
  const std::optional<Colour> answer = colourAnswers_.front();
  colourAnswers_.pop_front();
  return answer;
}

Handle SimToolkit::GreenPointer() {
  if (greenPointer_ == 0) greenPointer_ = desktop_.RegisterCursor(MakeGreenPixelCursor());
  return greenPointer_;
}

}  // namespace vimo::sim

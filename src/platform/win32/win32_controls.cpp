// The windowless labels and shapes, the off-screen picture boxes and the colour chooser.
#include <windows.h>
// commdlg.h needs windows.h first.
#include <commdlg.h>

#include <algorithm>
#include <cmath>

#include "platform/units.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_toolkit.h"

namespace vimo::win32 {
namespace {

// Controls keep whole client pixels, as the simulated ones do.
float Whole(float pixels) { return static_cast<float>(WholePixels(pixels)); }

void RequireSize(float value, const std::string& control) {
  if (!(value >= 0.0F)) throw ToolkitError("invalid size for " + control);
}

// The four 1-pixel edges of an outline rectangle.
int OutlineEdges(const RECT& r, RECT* edges) {
  if (r.right <= r.left || r.bottom <= r.top) return 0;
  edges[0] = RECT{r.left, r.top, r.right, r.top + 1};
  edges[1] = RECT{r.left, r.bottom - 1, r.right, r.bottom};
  edges[2] = RECT{r.left, r.top, r.left + 1, r.bottom};
  edges[3] = RECT{r.right - 1, r.top, r.right, r.bottom};
  return 4;
}

}  // namespace

COLORREF ResolveColour(Colour colour) {
  if ((colour & 0x80000000U) != 0) return GetSysColor(static_cast<int>(colour & 0xFFU));
  return colour & 0x00FFFFFFU;
}

// --- Label -------------------------------------------------------------------------

Win32Label::Win32Label(Win32Form& form, const ControlDesign& design)
    : form_(form),
      name_(design.name),
      caption_(design.caption),
      text_(Widen(design.caption)),
      tooltip_(design.tooltip),
      left_(static_cast<float>(form.PixelsFromTwipsX(design.left))),
      top_(static_cast<float>(form.PixelsFromTwipsY(design.top))),
      width_(static_cast<float>(form.PixelsFromTwipsX(design.width))),
      height_(static_cast<float>(form.PixelsFromTwipsY(design.height))),
      visible_(design.visible),
      fontSize_(design.font.size),
      fontName_(Widen(design.font.name)),
      fontWeight_(design.font.weight),
      underline_(design.font.underline),
      colour_(ResolveColour(design.foreColor)),
      transparent_(design.transparentBack) {
  MakeFont();
}

Win32Label::~Win32Label() { ReleaseResources(); }

void Win32Label::ReleaseResources() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

void Win32Label::MakeFont() {
  const int dpi = form_.Toolkit().ScreenMetrics().DpiY();
  const int height = -static_cast<int>(std::lround(fontSize_ * static_cast<float>(dpi) / 72.0F));
  HFONT font = CreateFontW(height, 0, 0, 0, fontWeight_, FALSE, underline_ ? TRUE : FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, fontName_.c_str());
  if (font == nullptr) throw ToolkitError("cannot create the font of " + name_);
  ReleaseResources();
  font_ = font;
}

RECT Win32Label::Bounds() const {
  const int left = static_cast<int>(left_);
  const int top = static_cast<int>(top_);
  return RECT{left, top, left + static_cast<int>(width_), top + static_cast<int>(height_)};
}

bool Win32Label::Hit(POINT point) const {
  const RECT r = Bounds();
  return visible_ && PtInRect(&r, point) != FALSE;
}

void Win32Label::Draw(HDC dc) const {
  if (!visible_ || font_ == nullptr) return;
  RECT r = Bounds();
  if (!transparent_) FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = SelectObject(dc, font_);
  const COLORREF oldColour = SetTextColor(dc, colour_);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
            DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColour);
  SelectObject(dc, oldFont);
}

void Win32Label::Changed(const RECT& before) {
  form_.LabelMoved(*this);
  const RECT areas[2] = {before, Bounds()};
  form_.RedrawArea(areas, 2);
}

void Win32Label::SetCaption(std::string_view text) {
  if (text == caption_) return;
  // The read-out changes its texts while the pointer moves: both strings keep their
  // storage, so this allocates nothing once they have grown.
  WidenInto(text, text_);
  caption_.assign(text);
  Changed(Bounds());
}

void Win32Label::SetTop(float top) {
  top = Whole(top);
  if (top == top_) return;
  const RECT before = Bounds();
  top_ = top;
  Changed(before);
}

void Win32Label::SetWidth(float width) { Resize(width_, width); }

void Win32Label::SetHeight(float height) { Resize(height_, height); }

void Win32Label::Resize(float& side, float size) {
  RequireSize(size, name_);
  size = Whole(size);
  if (size == side) return;
  const RECT before = Bounds();
  side = size;
  Changed(before);
}

void Win32Label::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(Bounds());
}

void Win32Label::SetFontSize(float points) {
  if (!(points > 0.0F)) throw ToolkitError("invalid font size for " + name_);
  if (points == fontSize_ && font_ != nullptr) return;
  const float previous = fontSize_;
  fontSize_ = points;
  try {
    MakeFont();
  } catch (...) {
    fontSize_ = previous;
    throw;
  }
  Changed(Bounds());
}

// --- Shape -------------------------------------------------------------------------

Win32Shape::Win32Shape(Win32Form& form, const ControlDesign& design)
    : form_(form),
      name_(design.name),
      left_(static_cast<float>(form.PixelsFromTwipsX(design.left))),
      top_(static_cast<float>(form.PixelsFromTwipsY(design.top))),
      width_(static_cast<float>(form.PixelsFromTwipsX(design.width))),
      height_(static_cast<float>(form.PixelsFromTwipsY(design.height))),
      colour_(ResolveColour(design.foreColor)) {}

RECT Win32Shape::Bounds() const {
  const int left = static_cast<int>(left_);
  const int top = static_cast<int>(top_);
  return RECT{left, top, left + static_cast<int>(width_), top + static_cast<int>(height_)};
}

void Win32Shape::Draw(HDC dc) const {
  const RECT r = Bounds();
  if (r.right <= r.left || r.bottom <= r.top) return;
  HPEN pen = CreatePen(PS_SOLID, 1, colour_);
  if (pen == nullptr) return;
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  const int oldRop = SetROP2(dc, R2_COPYPEN);
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  SetROP2(dc, oldRop);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

void Win32Shape::Changed(const RECT& before) {
  RECT areas[8];
  int count = OutlineEdges(before, areas);
  count += OutlineEdges(Bounds(), areas + count);
  form_.RedrawArea(areas, count);
}

void Win32Shape::SetWidth(float width) {
  RequireSize(width, name_);
  width = Whole(width);
  if (width == width_) return;
  const RECT before = Bounds();
  width_ = width;
  Changed(before);
}

void Win32Shape::SetHeight(float height) {
  RequireSize(height, name_);
  height = Whole(height);
  if (height == height_) return;
  const RECT before = Bounds();
  height_ = height;
  Changed(before);
}

// --- Picture box -------------------------------------------------------------------

Win32PictureBox::Win32PictureBox(Win32Form& form, const ControlDesign& design)
    : form_(form),
      name_(design.name),
      width_(static_cast<float>(form.PixelsFromTwipsX(design.width))),
      height_(static_cast<float>(form.PixelsFromTwipsY(design.height))),
      foreColour_(design.foreColor) {
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (dc_ == nullptr) throw ToolkitError("cannot create the surface of " + name_);
  try {
    Allocate(static_cast<int>(width_), static_cast<int>(height_));
    SetForeColor(foreColour_);
  } catch (...) {
    ReleaseResources();
    throw;
  }
}

Win32PictureBox::~Win32PictureBox() { ReleaseResources(); }

void Win32PictureBox::ReleaseResources() {
  if (dc_ == nullptr) return;
  if (firstPen_ != nullptr) SelectObject(dc_, firstPen_);
  if (firstBitmap_ != nullptr) SelectObject(dc_, firstBitmap_);
  if (pen_ != nullptr) DeleteObject(pen_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  DeleteDC(dc_);
  dc_ = nullptr;
  pen_ = nullptr;
  bitmap_ = nullptr;
  bits_ = nullptr;
  firstPen_ = nullptr;
  firstBitmap_ = nullptr;
}

// A new image of the given size (at least 1 x 1): button face, with as much of the old
// image as fits copied to its top left.
void Win32PictureBox::Allocate(int width, int height) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (bitmap_ != nullptr && width == pixelWidth_ && height == pixelHeight_) return;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) throw ToolkitError("cannot allocate the image of " + name_);

  HDC scratch = CreateCompatibleDC(dc_);
  if (scratch == nullptr) {
    DeleteObject(bitmap);
    throw ToolkitError("cannot allocate the image of " + name_);
  }
  const HGDIOBJ scratchOld = SelectObject(scratch, bitmap);
  const RECT all{0, 0, width, height};
  FillRect(scratch, &all, GetSysColorBrush(COLOR_BTNFACE));
  if (bitmap_ != nullptr) {
    BitBlt(scratch, 0, 0, std::min(width, pixelWidth_), std::min(height, pixelHeight_), dc_, 0, 0,
           SRCCOPY);
  }
  SelectObject(scratch, scratchOld);
  DeleteDC(scratch);

  const HGDIOBJ previous = SelectObject(dc_, bitmap);
  if (bitmap_ == nullptr) {
    firstBitmap_ = previous;
  } else {
    DeleteObject(bitmap_);
  }
  bitmap_ = bitmap;
  bits_ = static_cast<std::uint32_t*>(bits);
  pixelWidth_ = width;
  pixelHeight_ = height;
}

Handle Win32PictureBox::hDC() {
  form_.LiveWindow();
  return reinterpret_cast<Handle>(dc_);
}

PixelRows Win32PictureBox::Pixels() {
  form_.LiveWindow();
  GdiFlush();  // what GDI still has queued lands in the bitmap first
  return {bits_, pixelWidth_, pixelWidth_, pixelHeight_, true};
}

// Only a colour value can become the drawing colour.
void Win32PictureBox::SetForeColor(Colour colour) {
  if (colour > 0x00FFFFFFU) throw ToolkitError("invalid colour for " + name_);
  if (dc_ == nullptr) throw ToolkitError("the window of " + name_ + " is gone");
  const COLORREF resolved = ResolveColour(colour);
  HPEN pen = CreatePen(PS_SOLID, 1, resolved);
  if (pen == nullptr) throw ToolkitError("cannot create the pen of " + name_);
  const HGDIOBJ previous = SelectObject(dc_, pen);
  if (pen_ == nullptr) {
    firstPen_ = previous;
  } else {
    DeleteObject(pen_);
  }
  pen_ = pen;
  SetTextColor(dc_, resolved);
  foreColour_ = colour;
}

void Win32PictureBox::SetWidth(float width) {
  RequireSize(width, name_);
  if (dc_ == nullptr) throw ToolkitError("the window of " + name_ + " is gone");
  width = Whole(width);
  Allocate(static_cast<int>(width), pixelHeight_);
  width_ = width;
}

void Win32PictureBox::SetHeight(float height) {
  RequireSize(height, name_);
  if (dc_ == nullptr) throw ToolkitError("the window of " + name_ + " is gone");
  height = Whole(height);
  Allocate(pixelWidth_, static_cast<int>(height));
  height_ = height;
}

// --- Colour chooser ----------------------------------------------------------------

Win32CommonDialog::Win32CommonDialog(Win32Form& form, std::string_view name)
    : form_(form), name_(name) {
  std::fill(std::begin(custom_), std::end(custom_), RGB(255, 255, 255));
}

// Opens with the flags Vimo set and no others: with CC_RGBINIT alone the basic colours
// show and "Define Custom Colors" opens the fields for red, green and blue. A closed
// dialog leaves the colour as it was; Cancel raises only when CancelError asks for it.
void Win32CommonDialog::ShowColor() {
  constexpr DWORD kPassedFlags =
      CC_RGBINIT | CC_FULLOPEN | CC_PREVENTFULLOPEN | CC_SHOWHELP | CC_SOLIDCOLOR | CC_ANYCOLOR;
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = form_.LiveWindow();
  choose.rgbResult = colour_;
  choose.lpCustColors = custom_;
  choose.Flags = static_cast<DWORD>(flags_) & kPassedFlags;
  if (ChooseColorW(&choose) != FALSE) {
    colour_ = choose.rgbResult & 0x00FFFFFFU;
    return;
  }
  if (CommDlgExtendedError() != 0) throw ToolkitError("the colour dialog could not be shown");
  if (cancelError_) throw ToolkitError("Cancel was selected.");
}

}  // namespace vimo::win32

// The windowless labels and shapes, the off-screen picture boxes and the colour chooser.
#include <windows.h>
// commdlg.h needs windows.h first.
#include <commdlg.h>

#include <algorithm>

#include "platform/units.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_support.h"

namespace vimo::win32 {
namespace {}  // namespace

COLORREF ResolveColour(Colour colour) {
  if ((colour & 0x80000000U) != 0) return GetSysColor(static_cast<int>(colour & 0xFFU));
  return colour & 0x00FFFFFFU;
}

// --- Label -------------------------------------------------------------------------

Win32Label::Win32Label(Win32Form& form, const ControlDesign& design)
    : BasicLabel(design, form),
      form_(form),
      text_(Widen(design.caption)),
      font_(design.font),
      colour_(ResolveColour(design.foreColor)),
      transparent_(design.transparentBack) {
  MakeFont();
}

Win32Label::~Win32Label() { ReleaseResources(); }

void Win32Label::ReleaseResources() {
  if (hfont_ != nullptr) DeleteObject(hfont_);
  hfont_ = nullptr;
}

void Win32Label::MakeFont() {
  HFONT font = DesignFont(font_, FontPixels());
  if (font == nullptr) throw ToolkitError("cannot create the font of " + std::string(Name()));
  ReleaseResources();
  hfont_ = font;
}

void Win32Label::Draw(HDC dc) const {
  if (!Visible() || hfont_ == nullptr) return;
  RECT r = ToRECT(Bounds());
  if (!transparent_) FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ oldFont = SelectObject(dc, hfont_);
  const COLORREF oldColour = SetTextColor(dc, colour_);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text_.c_str(), static_cast<int>(text_.size()), &r,
            DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColour);
  SelectObject(dc, oldFont);
}

// The read-out changes its texts while the pointer moves: the wide text keeps its
// storage, so this allocates nothing once it has grown.
void Win32Label::Changed(Change what, const Rect& before) {
  if (what == Change::kFont) MakeFont();
  if (what == Change::kCaption) WidenInto(Text(), text_);
  form_.LabelMoved(*this);
  const Rect areas[2] = {before, Bounds()};
  form_.RedrawArea(areas, 2);
}

// --- Shape -------------------------------------------------------------------------

Win32Shape::Win32Shape(Win32Form& form, const ControlDesign& design)
    : BasicShape(design, form.TwipsPerPixelX(), form.TwipsPerPixelY()),
      form_(form),
      colour_(ResolveColour(design.foreColor)) {}

void Win32Shape::Draw(HDC dc) const {
  const Rect r = Bounds();
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

void Win32Shape::Changed(const Rect& before) {
  Rect areas[8];
  form_.RedrawArea(areas, ChangedEdges(before, areas));
}

// --- Picture box -------------------------------------------------------------------

Win32PictureBox::Win32PictureBox(Win32Form& form, const ControlDesign& design)
    : BasicPictureBox(design, form), form_(form) {
  HDC screen = GetDC(nullptr);
  dc_ = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (dc_ == nullptr) throw ToolkitError("cannot create the surface of " + Name());
  try {
    Allocate(static_cast<int>(Width()), static_cast<int>(Height()));
    SetForeColor(ForeColor());
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

// A new image of the given size (at least 1 x 1): the back colour, with as much of the old
// image as fits copied to its top left.
void Win32PictureBox::Allocate(int width, int height) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (bitmap_ != nullptr && width == pixelWidth_ && height == pixelHeight_) return;

  const BITMAPINFO info = DibHeader(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) throw ToolkitError("cannot allocate the image of " + Name());

  HDC scratch = CreateCompatibleDC(dc_);
  if (scratch == nullptr) {
    DeleteObject(bitmap);
    throw ToolkitError("cannot allocate the image of " + Name());
  }
  const HGDIOBJ scratchOld = SelectObject(scratch, bitmap);
  const RECT all{0, 0, width, height};
  // A DIB section's memory comes zeroed: black needs no painting.
  if (BackColor() == kSysButtonFace) {
    FillRect(scratch, &all, GetSysColorBrush(COLOR_BTNFACE));
  } else if (BackColor() != 0) {
    HBRUSH brush = CreateSolidBrush(BackColor());
    if (brush != nullptr) {
      FillRect(scratch, &all, brush);
      DeleteObject(brush);
    }
  }
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

void Win32PictureBox::CheckLive() const {
  if (dc_ == nullptr) throw ToolkitError("the window of " + Name() + " is gone");
}

void Win32PictureBox::Recolour(Colour colour) {
  const COLORREF resolved = ResolveColour(colour);
  HPEN pen = CreatePen(PS_SOLID, 1, resolved);
  if (pen == nullptr) throw ToolkitError("cannot create the pen of " + Name());
  const HGDIOBJ previous = SelectObject(dc_, pen);
  if (pen_ == nullptr) {
    firstPen_ = previous;
  } else {
    DeleteObject(pen_);
  }
  pen_ = pen;
  SetTextColor(dc_, resolved);
}

// --- Colour chooser ----------------------------------------------------------------

Win32CommonDialog::Win32CommonDialog(Win32Form& form, std::string_view name)
    : BasicColourDialog(name), form_(form) {
  std::fill(std::begin(custom_), std::end(custom_), RGB(255, 255, 255));
}

// Opens with the flags Vimo set and no others: with CC_RGBINIT alone the basic colours
// show and "Define Custom Colors" opens the fields for red, green and blue.
std::optional<Colour> Win32CommonDialog::Choose(std::int32_t flags, Colour current) {
  constexpr DWORD kPassedFlags =
      CC_RGBINIT | CC_FULLOPEN | CC_PREVENTFULLOPEN | CC_SHOWHELP | CC_SOLIDCOLOR | CC_ANYCOLOR;
  CHOOSECOLORW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = form_.LiveWindow();
  choose.rgbResult = current;
  choose.lpCustColors = custom_;
  choose.Flags = static_cast<DWORD>(flags) & kPassedFlags;
  if (ChooseColorW(&choose) != FALSE) return choose.rgbResult;
  if (CommDlgExtendedError() != 0) throw ToolkitError("the colour dialog could not be shown");
  return std::nullopt;
}

}  // namespace vimo::win32

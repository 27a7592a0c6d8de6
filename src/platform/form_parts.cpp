#include "platform/form_parts.h"

#include "platform/units.h"

namespace vimo {

// ---- TwipsForm

int TwipsForm::PixelsFromTwipsX(double twips) const {
  return PixelsFromTwips(twips, TwipsPerPixelX());
}

int TwipsForm::PixelsFromTwipsY(double twips) const {
  return PixelsFromTwips(twips, TwipsPerPixelY());
}

BasicPictureBox::BasicPictureBox(const ControlDesign& design, const TwipsForm& form)
    : name_(design.name),
      width_(static_cast<float>(form.PixelsFromTwipsX(design.width))),
      height_(static_cast<float>(form.PixelsFromTwipsY(design.height))),
      foreColour_(design.foreColor),
      backColour_(design.backColor) {}

void BasicPictureBox::SetForeColor(Colour colour) {
  if (colour > 0x00FFFFFFU) throw ToolkitError("invalid colour for " + name_);
  CheckLive();
  Recolour(colour);
  foreColour_ = colour;
}

// A new width or height in whole pixels, after the checks every resize makes.
float BasicPictureBox::Resized(float size) const {
  if (!(size >= 0.0F)) throw ToolkitError("invalid size for " + name_);
  CheckLive();
  return static_cast<float>(WholePixels(size));
}

void BasicPictureBox::SetWidth(float width) {
  width = Resized(width);
  Allocate(static_cast<int>(width), static_cast<int>(height_));
  width_ = width;
}

void BasicPictureBox::SetHeight(float height) {
  height = Resized(height);
  Allocate(static_cast<int>(width_), static_cast<int>(height));
  height_ = height;
}

int OutlineEdges(const Rect& r, Rect* edges) {
  if (r.right <= r.left || r.bottom <= r.top) return 0;
  edges[0] = Rect{r.left, r.top, r.right, r.top + 1};
  edges[1] = Rect{r.left, r.bottom - 1, r.right, r.bottom};
  edges[2] = Rect{r.left, r.top, r.left + 1, r.bottom};
  edges[3] = Rect{r.right - 1, r.top, r.right, r.bottom};
  return 4;
}

int BasicShape::ChangedEdges(const Rect& before, Rect (&edges)[8]) const {
  const int count = OutlineEdges(before, edges);
  return count + OutlineEdges(Bounds(), edges + count);
}

bool TwipsForm::Rescale(float tppX, float tppY) {
  if (tppX == tppX_ && tppY == tppY_) return false;
  tppX_ = tppX;
  tppY_ = tppY;
  return true;
}

float TwipsForm::Width() const {
  const Rect r = NormalRect();
  return TwipsFromPixels(r.right - r.left, TwipsPerPixelX());
}

float TwipsForm::Height() const {
  const Rect r = NormalRect();
  return TwipsFromPixels(r.bottom - r.top, TwipsPerPixelY());
}

float TwipsForm::Left() const { return TwipsFromPixels(NormalRect().left, TwipsPerPixelX()); }
float TwipsForm::Top() const { return TwipsFromPixels(NormalRect().top, TwipsPerPixelY()); }

void TwipsForm::SetWidth(float twips) {
  Rect r = NormalRect();
  r.right = r.left + PixelsFromTwips(twips, TwipsPerPixelX());
  MoveOuter(r);
}

void TwipsForm::SetHeight(float twips) {
  Rect r = NormalRect();
  r.bottom = r.top + PixelsFromTwips(twips, TwipsPerPixelY());
  MoveOuter(r);
}

void TwipsForm::SetLeft(float twips) {
  const Rect r = NormalRect();
  const int left = PixelsFromTwips(twips, TwipsPerPixelX());
  MoveOuter({left, r.top, left + (r.right - r.left), r.bottom});
}

void TwipsForm::SetTop(float twips) {
  const Rect r = NormalRect();
  const int top = PixelsFromTwips(twips, TwipsPerPixelY());
  MoveOuter({r.left, top, r.right, top + (r.bottom - r.top)});
}

// ---- Labels

BasicLabel::BasicLabel(const ControlDesign& design, const TwipsForm& form)
    : name_(design.name),
      caption_(design.caption),
      tooltip_(design.tooltip),
      left_(form.PixelsFromTwipsX(design.left)),
      top_(form.PixelsFromTwipsY(design.top)),
      width_(form.PixelsFromTwipsX(design.width)),
      height_(form.PixelsFromTwipsY(design.height)),
      visible_(design.visible),
      form_(form),
      fontSize_(design.font.size),
      fontTpp_(form.TwipsPerPixelY()) {}

void BasicLabel::SetCaption(std::string_view text) {
  if (text == caption_) return;
  caption_.assign(text);
  Changed(Change::kCaption, Bounds());
}

void BasicLabel::Place(int& side, float pixels, bool isSize) {
  if (isSize && !(pixels >= 0.0F)) throw ToolkitError("invalid size for " + name_);
  const int whole = WholePixels(pixels);
  if (whole == side) return;
  const Rect before = Bounds();
  side = whole;
  Changed(Change::kPlace, before);
}

void BasicLabel::SetTop(float top) { Place(top_, top, false); }
void BasicLabel::SetWidth(float width) { Place(width_, width, true); }
void BasicLabel::SetHeight(float height) { Place(height_, height, true); }

void BasicLabel::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(Change::kVisible, Bounds());
}

void BasicLabel::SetFontSize(float points) {
  if (!(points > 0.0F)) throw ToolkitError("invalid font size for " + name_);
  const float tpp = form_.TwipsPerPixelY();
  if (points == fontSize_ && tpp == fontTpp_) return;
  const float previous = fontSize_;
  const float previousTpp = fontTpp_;
  fontSize_ = points;
  fontTpp_ = tpp;
  try {
    Changed(Change::kFont, Bounds());
  } catch (...) {
    fontSize_ = previous;
    fontTpp_ = previousTpp;
    throw;
  }
}

// ---- Shapes

BasicShape::BasicShape(const ControlDesign& design, float tppX, float tppY)
    : name_(design.name),
      left_(PixelsFromTwips(design.left, tppX)),
      top_(PixelsFromTwips(design.top, tppY)),
      width_(PixelsFromTwips(design.width, tppX)),
      height_(PixelsFromTwips(design.height, tppY)) {}

void BasicShape::Resize(int& side, float pixels) {
  if (!(pixels >= 0.0F)) throw ToolkitError("invalid size for " + name_);
  const int whole = WholePixels(pixels);
  if (whole == side) return;
  const Rect before = Bounds();
  side = whole;
  Changed(before);
}

void BasicShape::SetWidth(float width) { Resize(width_, width); }
void BasicShape::SetHeight(float height) { Resize(height_, height); }

// ---- Colour chooser

// A closed dialog leaves the colour as it was; Cancel raises only when CancelError asks
// for it.
void BasicColourDialog::ShowColor() {
  if (const std::optional<Colour> chosen = Choose(flags_, colour_)) {
    colour_ = *chosen & 0x00FFFFFFU;
  } else if (cancelError_) {
    throw ToolkitError("Cancel was selected.");
  }
}

}  // namespace vimo

// The windowless labels and shapes, the off-screen picture boxes and the colour chooser.
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/units.h"
#include "platform/x11/gtk_form.h"

namespace vimo::x11 {
namespace {

// Windows' button face and the other system colours Vimo's designs use.
constexpr Colour kButtonFace = 0x00F0F0F0;
constexpr Colour kWindowText = 0x00000000;
constexpr Colour kWindow = 0x00FFFFFF;

double Unit(Colour colour, int shift) {
  return static_cast<double>((colour >> shift) & 0xFFU) / 255.0;
}

}  // namespace

Colour ResolveColour(Colour colour) {
  if ((colour & 0x80000000U) == 0) return colour & 0x00FFFFFFU;
  switch (colour & 0xFFU) {
    case 5:   // COLOR_WINDOW
    case 14:  // COLOR_HIGHLIGHTTEXT
      return kWindow;
    case 6:   // COLOR_WINDOWFRAME
    case 7:   // COLOR_MENUTEXT
    case 8:   // COLOR_WINDOWTEXT
    case 9:   // COLOR_CAPTIONTEXT
    case 18:  // COLOR_BTNTEXT
      return kWindowText;
    default:
      return kButtonFace;
  }
}

// --- Label -------------------------------------------------------------------------

GkLabel::GkLabel(GkForm& form, const ControlDesign& design)
    : BasicLabel(design, form),
      form_(form),
      font_(design.font),
      colour_(ResolveColour(design.foreColor)),
      transparent_(design.transparentBack) {
  layout_ = pango_cairo_create_layout(form_.Cairo());
  if (layout_ == nullptr) throw ToolkitError("cannot lay out the label " + std::string(Name()));
  pango_cairo_context_set_resolution(pango_layout_get_context(layout_),
                                     form_.Toolkit().ScreenMetrics().Dpi());
  pango_layout_context_changed(layout_);
  pango_layout_set_wrap(layout_, PANGO_WRAP_WORD);
  pango_layout_set_width(layout_, static_cast<int>(Width()) * PANGO_SCALE);
  pango_layout_set_text(layout_, Text().c_str(), static_cast<int>(Text().size()));
  if (font_.underline) {
    PangoAttrList* attributes = pango_attr_list_new();
    pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout_, attributes);
    pango_attr_list_unref(attributes);
  }
  MakeFont();
}

GkLabel::~GkLabel() {
  if (layout_ != nullptr) g_object_unref(layout_);
}

void GkLabel::MakeFont() {
  const std::string name(font_.name);
  PangoFontDescription* font = pango_font_description_new();
  if (font == nullptr) throw ToolkitError("cannot create the font of " + std::string(Name()));
  pango_font_description_set_family(font, name.c_str());
  pango_font_description_set_size(font, static_cast<int>(std::lround(FontSize() * PANGO_SCALE)));
  pango_font_description_set_weight(font, static_cast<PangoWeight>(font_.weight));
  pango_layout_set_font_description(layout_, font);
  pango_font_description_free(font);
}

void GkLabel::Draw(cairo_t* cr) const {
  if (!Visible() || cr == nullptr) return;
  const Rect r = Bounds();
  if (r.right <= r.left || r.bottom <= r.top) return;
  cairo_save(cr);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_clip(cr);
  if (!transparent_) {
    cairo_set_source_rgb(cr, Unit(kButtonFace, 0), Unit(kButtonFace, 8), Unit(kButtonFace, 16));
    cairo_paint(cr);
  }
  cairo_set_source_rgb(cr, Unit(colour_, 0), Unit(colour_, 8), Unit(colour_, 16));
  cairo_move_to(cr, r.left, r.top);
  pango_cairo_show_layout(cr, layout_);
  cairo_restore(cr);
}

void GkLabel::Changed(Change what, const Rect& before) {
  if (what == Change::kFont) MakeFont();
  if (what == Change::kCaption) {
    pango_layout_set_text(layout_, Text().c_str(), static_cast<int>(Text().size()));
  }
  if (what == Change::kPlace)
    pango_layout_set_width(layout_, static_cast<int>(Width()) * PANGO_SCALE);
  const Rect areas[2] = {before, Bounds()};
  form_.RedrawArea(areas, 2);
}

// --- Shape -------------------------------------------------------------------------

GkShape::GkShape(GkForm& form, const ControlDesign& design)
    : BasicShape(design, form.TwipsPerPixelX(), form.TwipsPerPixelY()),
      form_(form),
      colour_(ResolveColour(design.foreColor)) {}

void GkShape::Draw() const {
  Rect edges[4];
  const int count = OutlineEdges(Bounds(), edges);
  if (count == 0 || form_.Gc() == nullptr) return;
  XRectangle rects[4];
  for (int i = 0; i < count; ++i) {
    rects[i] = XRectangle{static_cast<short>(edges[i].left), static_cast<short>(edges[i].top),
                          static_cast<unsigned short>(edges[i].right - edges[i].left),
                          static_cast<unsigned short>(edges[i].bottom - edges[i].top)};
  }
  XSetFunction(form_.XDisplay(), form_.Gc(), GXcopy);
  XSetForeground(form_.XDisplay(), form_.Gc(), form_.PixelOf(colour_));
  XFillRectangles(form_.XDisplay(), static_cast<::Window>(form_.Xid()), form_.Gc(), rects, count);
}

void GkShape::Changed(const Rect& before) {
  Rect areas[8];
  form_.RedrawArea(areas, ChangedEdges(before, areas));
}

// --- Picture box -------------------------------------------------------------------

GkPictureBox::GkPictureBox(GkForm& form, const ControlDesign& design)
    : BasicPictureBox(design, form), form_(form), image_(form.XDisplay()) {
  Allocate(static_cast<int>(Width()), static_cast<int>(Height()));
  SetForeColor(ForeColor());
}

void GkPictureBox::CheckLive() const { form_.LiveWindow(); }

// A new image of the given size (at least 1 x 1): the back colour, with as much of the old
// image as fits copied to its top left. Only a new size allocates.
void GkPictureBox::Allocate(int width, int height) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (width == image_.Width() && height == image_.Height()) return;
  const PixelRows old = image_.Pixels();
  const int keepW = std::min(width, old.width);
  const int keepH = std::min(height, old.height);
  std::vector<std::uint32_t> kept(static_cast<std::size_t>(std::max(0, keepW)) *
                                  static_cast<std::size_t>(std::max(0, keepH)));
  for (int y = 0; y < keepH; ++y) {
    std::memcpy(kept.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(keepW),
                old.Row(y), static_cast<std::size_t>(keepW) * sizeof(std::uint32_t));
  }
  if (!image_.Resize(width, height)) throw ToolkitError("cannot allocate the image of " + Name());
  const PixelRows now = image_.Pixels();
  // A new image starts black: black needs no painting.
  const Colour back = BackColor() == kSysButtonFace ? kButtonFace : BackColor();
  const std::uint32_t face = now.Native(back);
  for (int y = 0; y < now.height; ++y) {
    std::uint32_t* row = now.Row(y);
    if (back != 0) std::fill(row, row + now.width, face);
    if (y < keepH) {
      std::memcpy(row, kept.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(keepW),
                  static_cast<std::size_t>(keepW) * sizeof(std::uint32_t));
    }
  }
}

Handle GkPictureBox::hDC() {
  form_.LiveWindow();
  return image_.Dc();
}

PixelRows GkPictureBox::Pixels() {
  form_.LiveWindow();
  return image_.Pixels();
}

void GkPictureBox::StraightLines(const Point* points, std::size_t lines, Colour colour) {
  form_.LiveWindow();
  image_.Lines(points, lines, colour);
}

// --- Colour chooser ----------------------------------------------------------------

// Opens with the current colour selected under CC_RGBINIT, with black otherwise; OK
// gives the colour chosen, Cancel or closing nothing.
std::optional<Colour> GkColourDialog::Choose(std::int32_t flags, Colour current) {
  GtkWindow* owner = form_.LiveWindow();
  GtkWidget* dialog = gtk_color_chooser_dialog_new("Color", owner);
  if (dialog == nullptr) throw ToolkitError("the colour dialog could not be shown");
  g_object_ref_sink(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(dialog), FALSE);
  const Colour start = (flags & kRgbInit) != 0 ? (current & 0x00FFFFFFU) : 0;
  const GdkRGBA rgba{Unit(start, 0), Unit(start, 8), Unit(start, 16), 1.0};
  gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(dialog), &rgba);
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  std::optional<Colour> chosen;
  if (response == GTK_RESPONSE_OK) {
    GdkRGBA picked{};
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &picked);
    auto byte = [](double unit) {
      return static_cast<std::uint8_t>(std::clamp(std::lround(unit * 255.0), 0L, 255L));
    };
    chosen = Rgb(byte(picked.red), byte(picked.green), byte(picked.blue));
  }
  gtk_widget_destroy(dialog);
  g_object_unref(dialog);
  return chosen;
}

}  // namespace vimo::x11

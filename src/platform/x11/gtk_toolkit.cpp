#include "platform/x11/gtk_toolkit.h"

#include <gdk/gdkx.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/green_pointer.h"
#include "platform/units.h"
#include "platform/x11/gtk_form.h"
#include "platform/x11/x11_monitors.h"
#include "version.h"

namespace vimo::x11 {
namespace {

constexpr double kDefaultDpi = 96.0;
constexpr int kIconExclamation = 0x30;
constexpr int kIconHand = 0x10;
constexpr int kIconQuestion = 0x20;
constexpr int kIconAsterisk = 0x40;

// The text with each "\r\n" (and lone "\r") as one line break.
std::string LineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out.push_back('\n');
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

GtkMessageType MessageType(int style) {
  switch (style & 0xF0) {
    case kIconHand:
      return GTK_MESSAGE_ERROR;
    case kIconQuestion:
      return GTK_MESSAGE_QUESTION;
    case kIconExclamation:
      return GTK_MESSAGE_WARNING;
    case kIconAsterisk:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

}  // namespace

double XftDpi(const char* resources) {
  if (resources == nullptr) return 0.0;
  static constexpr char kKey[] = "Xft.dpi:";
  const char* line = resources;
  while (*line != '\0') {
    if (std::strncmp(line, kKey, sizeof(kKey) - 1) == 0) {
      char* end = nullptr;
      const double dpi = std::strtod(line + sizeof(kKey) - 1, &end);
      if (end != line + sizeof(kKey) - 1 && std::isfinite(dpi) && dpi > 0.0) return dpi;
      return 0.0;
    }
    const char* next = std::strchr(line, '\n');
    if (next == nullptr) break;
    line = next + 1;
  }
  return 0.0;
}

// --- Screen ------------------------------------------------------------------------

GkScreen::GkScreen(Display* display) : display_(display) {
  double dpi = XftDpi(XResourceManagerString(display));
  if (!(dpi > 0.0)) {
    gint xftDpi = -1;
    if (GtkSettings* settings = gtk_settings_get_default()) {
      g_object_get(settings, "gtk-xft-dpi", &xftDpi, nullptr);
    }
    if (xftDpi > 0) dpi = static_cast<double>(xftDpi) / 1024.0;
  }
  dpi_ = dpi > 0.0 ? dpi : kDefaultDpi;
  twipsPerPixel_ = static_cast<float>(1440.0 / dpi_);
}

float GkScreen::Width() const {
  const Rect m = ReadMonitors(display_).primary;
  return TwipsFromPixels(m.right - m.left, twipsPerPixel_);
}

float GkScreen::Height() const {
  const Rect m = ReadMonitors(display_).primary;
  return TwipsFromPixels(m.bottom - m.top, twipsPerPixel_);
}

// --- Pointer and icon --------------------------------------------------------------

GdkCursor* CreateGreenPointer(GdkDisplay* display) {
  using namespace green_pointer;
  GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, kSize, kSize);
  if (image == nullptr) return nullptr;
  gdk_pixbuf_fill(image, 0x00000000U);  // transparent everywhere
  guchar* pixels = gdk_pixbuf_get_pixels(image);
  guchar* green = pixels +
                  static_cast<std::ptrdiff_t>(kHotSpot.y) * gdk_pixbuf_get_rowstride(image) +
                  static_cast<std::ptrdiff_t>(kHotSpot.x) * 4;
  green[0] = static_cast<guchar>(kColour & 0xFFU);
  green[1] = static_cast<guchar>((kColour >> 8) & 0xFFU);
  green[2] = static_cast<guchar>((kColour >> 16) & 0xFFU);
  green[3] = 0xFF;
  GdkCursor* cursor = gdk_cursor_new_from_pixbuf(display, image, kHotSpot.x, kHotSpot.y);
  g_object_unref(image);
  return cursor;
}

// A round lens with a light glass, a dark rim and a handle to the lower right.
GdkPixbuf* CreateVimoIcon(int size) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  const double s = size;
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_source_rgb(cr, 0.25, 0.2, 0.15);
  cairo_set_line_width(cr, s * 0.14);
  cairo_move_to(cr, s * 0.62, s * 0.62);
  cairo_line_to(cr, s * 0.9, s * 0.9);
  cairo_stroke(cr);
  cairo_arc(cr, s * 0.4, s * 0.4, s * 0.3, 0.0, 2.0 * G_PI);
  cairo_set_source_rgb(cr, 0.78, 0.9, 1.0);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.1, 0.25, 0.55);
  cairo_set_line_width(cr, s * 0.08);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.0, 0.6, 0.0);
  cairo_rectangle(cr, s * 0.37, s * 0.37, s * 0.06, s * 0.06);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  GdkPixbuf* icon = gdk_pixbuf_get_from_surface(surface, 0, 0, size, size);
  cairo_surface_destroy(surface);
  return icon;
}

// --- Toolkit -----------------------------------------------------------------------

GkToolkit::GkToolkit()
    : display_(gdk_x11_display_get_xdisplay(gdk_display_get_default())), screen_(display_) {
  greenPointer_ = CreateGreenPointer(gdk_display_get_default());
  GList* icons = nullptr;
  for (const int size : {16, 32, 48, 64}) {
    if (GdkPixbuf* icon = CreateVimoIcon(size)) icons = g_list_append(icons, icon);
  }
  gtk_window_set_default_icon_list(icons);
  g_list_free_full(icons, g_object_unref);
}

GkToolkit::~GkToolkit() {
  CloseAll();
  forms_.clear();
  if (greenPointer_ != nullptr) g_object_unref(greenPointer_);
  if (loop_ != nullptr) g_main_loop_unref(loop_);
}

void GkToolkit::CloseAll() {
  delivering_ = false;
  for (const auto& form : forms_) form->Discard();
}

// Failures the dispatcher catches show with G_MESSAGES_DEBUG=all (or =Vimo).
void GkToolkit::DebugLog(std::string_view what) {
  const std::string text(what);
  g_log("Vimo", G_LOG_LEVEL_DEBUG, "an event handler failed: %s", text.c_str());
}

Form& GkToolkit::LoadForm(const FormDesign& design, FormEvents& events) {
  forms_.push_back(std::make_unique<GkForm>(*this, design, events));
  GkForm& form = *forms_.back();
  form.Create(design);
  if (main_ == nullptr) main_ = &form;
  form.Load();
  return form;
}

int GkToolkit::VersionMajor() const { return VIMO_VERSION_MAJOR; }
int GkToolkit::VersionMinor() const { return VIMO_VERSION_MINOR; }

int GkToolkit::CurrentYear() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return 1900;
  return local.tm_year + 1900;
}

GtkWindow* GkToolkit::ActiveWindow() const {
  for (const auto& form : forms_) {
    GtkWindow* window = form->Window();
    if (window != nullptr && gtk_window_is_active(window) != FALSE) return window;
  }
  return main_ != nullptr ? main_->Window() : nullptr;
}

int GkToolkit::MsgBox(std::string_view text, int style, std::string_view title) {
  GtkWindow* owner = ActiveWindow();
  const std::string message = LineBreaks(text);
  GtkWidget* dialog = gtk_message_dialog_new(
      owner, owner != nullptr ? GTK_DIALOG_DESTROY_WITH_PARENT : static_cast<GtkDialogFlags>(0),
      MessageType(style), GTK_BUTTONS_OK, "%s", message.c_str());
  if (dialog == nullptr) return 1;
  g_object_ref_sink(dialog);
  const std::string caption(title);
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  g_object_unref(dialog);
  return 1;
}

GkForm* GkToolkit::FormOf(Handle hwnd) const {
  if (hwnd == 0) return nullptr;
  for (const auto& form : forms_) {
    if (form->Loaded() && form->Xid() == hwnd) return form.get();
  }
  return nullptr;
}

bool GkToolkit::HasLiveForms() const {
  for (const auto& form : forms_) {
    if (form->Loaded()) return true;
  }
  return false;
}

void GkToolkit::FormGone(const GkForm& form) {
  if (!IsMainForm(form)) return;
  mainGone_ = true;
  if (loop_ != nullptr && g_main_loop_is_running(loop_) != FALSE) g_main_loop_quit(loop_);
}

int GkToolkit::Run() {
  if (main_ == nullptr || mainGone_) return 0;
  if (loop_ == nullptr) loop_ = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop_);
  // What Vimo put on the clipboard goes to the clipboard manager, where one runs, before
  // Vimo ends (nothing happens otherwise).
  gtk_clipboard_store(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
  return 0;
}

// --- WindowHost --------------------------------------------------------------------

bool GkToolkit::OuterRect(Handle hwnd, Rect* rect) {
  GkForm* form = FormOf(hwnd);
  if (form == nullptr || rect == nullptr) return false;
  *rect = form->OuterPixels();
  return true;
}

bool GkToolkit::Place(Handle hwnd, Handle insertAfter, int x, int y, int cx, int cy,
                      std::uint32_t flags) {
  GkForm* form = FormOf(hwnd);
  if (form == nullptr) return false;
  return form->Place(insertAfter, x, y, cx, cy, flags);
}

Overdrawn GkToolkit::TakeOverdrawn(Handle hwnd) {
  GkForm* form = FormOf(hwnd);
  if (form == nullptr) return Overdrawn{.all = true};
  return form->TakeOverdrawn();
}

void GkToolkit::PutOver(Handle hwnd, const Overdrawn& put) {
  if (GkForm* form = FormOf(hwnd); form != nullptr) form->PutOver(put);
}

bool GkToolkit::OpenUri(Handle owner, std::string_view uri) {
  GkForm* form = FormOf(owner);
  const std::string address(uri);
  GError* error = nullptr;
  const gboolean opened = gtk_show_uri_on_window(form != nullptr ? form->Window() : nullptr,
                                                 address.c_str(), GDK_CURRENT_TIME, &error);
  if (error != nullptr) g_error_free(error);
  return opened != FALSE;
}

}  // namespace vimo::x11

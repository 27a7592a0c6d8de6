// vimo_pattern_wayland: the test pattern of the end-to-end driver's Wayland target
// (run_e2e.py --target wayland) as a native Wayland window (GTK 3, GDK_BACKEND=wayland).
//
// A Wayland client cannot place its window, so `vimo_pattern_wayland X Y W H` covers the
// monitor with an undecorated, maximized window in which each pixel is the screen's: the
// pattern inside the rect at (X, Y), W x H, black elsewhere (as the root of an X screen
// without a window manager's background is). It prints {"shown": true} once it has drawn
// the monitor's size, then answers each line of stdin with {"ok": true} or {"ok": false}:
//   move X Y   the pattern's rect, with its colours, drawn at (X, Y) from the next frame on
// The pointer over it is GTK's default one. It ends when stdin closes.
//
// The pattern gives every screen pixel its own colour (as pattern_x11.cpp and pattern.cpp):
//   R = (x * 37) mod 256, G = (y * 59) mod 256,
//   B = 0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3)

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Pattern {
  int x0, y0, w, h;  // where the pattern's colours belong
  int x, y;          // where its rect is drawn now
  bool shown = false;
  GtkWidget* window = nullptr;
};

gboolean Draw(GtkWidget* area, cairo_t* cr, gpointer data) {
  Pattern& p = *static_cast<Pattern*>(data);
  const int width = gtk_widget_get_allocated_width(area);
  const int height = gtk_widget_get_allocated_height(area);
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(image));
  const int stride = cairo_image_surface_get_stride(image) / 4;
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      const bool inside = i >= p.x && i < p.x + p.w && j >= p.y && j < p.y + p.h;
      const auto x = static_cast<unsigned>(i - p.x + p.x0);
      const auto y = static_cast<unsigned>(j - p.y + p.y0);
      pixels[j * stride + i] = inside ? ((x * 37) & 0xFFU) << 16 | ((y * 59) & 0xFFU) << 8 | 0x80U |
                                            ((x >> 8) & 7U) | ((y >> 8) & 7U) << 3
                                      : 0U;
    }
  }
  cairo_surface_mark_dirty(image);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(image);
  GdkRectangle monitor{};
  GdkDisplay* display = gtk_widget_get_display(area);
  gdk_monitor_get_geometry(gdk_display_get_monitor_at_window(display, gtk_widget_get_window(area)),
                           &monitor);
  if (!p.shown && width == monitor.width && height == monitor.height) {
    p.shown = true;
    std::printf("{\"shown\": true}\n");
    std::fflush(stdout);
  }
  return TRUE;
}

gboolean Command(GIOChannel* in, GIOCondition, gpointer data) {
  Pattern& p = *static_cast<Pattern*>(data);
  gchar* line = nullptr;
  if (g_io_channel_read_line(in, &line, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
    gtk_main_quit();
    return FALSE;
  }
  int x = 0;
  int y = 0;
  if (std::sscanf(line, "move %d %d", &x, &y) == 2) {
    p.x = x;
    p.y = y;
    gtk_widget_queue_draw(p.window);
  }
  std::printf("{\"ok\": %s}\n", p.x == x && p.y == y ? "true" : "false");
  std::fflush(stdout);
  g_free(line);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 5) return 2;
  Pattern p{std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), 0, 0};
  p.x = p.x0;
  p.y = p.y0;
  p.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(p.window), "vimo_pattern");
  gtk_window_set_decorated(GTK_WINDOW(p.window), FALSE);
  gtk_window_maximize(GTK_WINDOW(p.window));
  GtkWidget* area = gtk_drawing_area_new();
  gtk_container_add(GTK_CONTAINER(p.window), area);
  g_signal_connect(area, "draw", G_CALLBACK(Draw), &p);
  g_signal_connect(p.window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(p.window);
  GIOChannel* in = g_io_channel_unix_new(0);
  g_io_add_watch(in, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), Command, &p);
  gtk_main();
  return 0;
}

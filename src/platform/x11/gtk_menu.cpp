// The menu tree shown as a GtkMenu popup, built afresh from the tree each time it opens,
// so that it always shows the items' present captions, check marks and states.
#include "platform/win32_constants.h"
#include "platform/x11/gtk_form.h"

namespace vimo::x11 {
namespace {

// One open popup: its nested loop and the item chosen in it.
struct Popup {
  GMainLoop* loop = nullptr;
  const MenuNode* chosen = nullptr;
};

constexpr const char* kNodeKey = "vimo-menu-node";

void ItemActivated(GtkMenuItem* item, gpointer data) {
  auto* popup = static_cast<Popup*>(data);
  popup->chosen = static_cast<const MenuNode*>(g_object_get_data(G_OBJECT(item), kNodeKey));
}

void MenuClosed(GtkMenuShell* /*menu*/, gpointer data) {
  auto* popup = static_cast<Popup*>(data);
  if (g_main_loop_is_running(popup->loop) != FALSE) g_main_loop_quit(popup->loop);
}

// The visible items below `parent`, each with its check mark, state and submenu.
GtkWidget* BuildMenu(const MenuNode& parent, Popup& popup) {
  GtkWidget* menu = gtk_menu_new();
  for (const MenuNode* node : parent.Children()) {
    if (!node->Visible()) continue;
    GtkWidget* item = nullptr;
    if (node->Separator()) {
      item = gtk_separator_menu_item_new();
    } else if (!node->Children().empty()) {
      const std::string caption = node->Caption();
      item = gtk_menu_item_new_with_label(caption.c_str());
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), BuildMenu(*node, popup));
    } else {
      // A check mark where the item is checked, nothing where it is not, as on Windows.
      const std::string caption = node->Caption();
      if (node->Checked()) {
        item = gtk_check_menu_item_new_with_label(caption.c_str());
        // Set before the handler is connected: a change of the mark activates the item.
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
      } else {
        item = gtk_menu_item_new_with_label(caption.c_str());
      }
      g_object_set_data(G_OBJECT(item), kNodeKey, const_cast<MenuNode*>(node));
      g_signal_connect(item, "activate", G_CALLBACK(&ItemActivated), &popup);
    }
    gtk_widget_set_sensitive(item, node->Enabled() ? TRUE : FALSE);
    gtk_widget_show(item);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
  }
  return menu;
}

}  // namespace

// Opens at the pointer (centred on it under TPM_CENTERALIGN) and runs until the menu
// closes; the item chosen then runs its menu-click event before this returns, unless a
// handler in the menu's loop unloaded the form.
void GkForm::PopupMenu(MenuItem& menu, int flags) {
  LiveWindow();
  const MenuNode* item = menus_.Find(menu);
  if (item == nullptr) throw ToolkitError("the menu is not one of " + name_);
  if (item->Children().empty()) {
    throw ToolkitError("the menu " + std::string(item->Name()) + " has no items to show");
  }
  router_.Reset();  // the open menu takes the mouse

  Popup popup;
  GtkWidget* shown = BuildMenu(*item, popup);
  g_object_ref_sink(shown);
  gtk_menu_attach_to_widget(GTK_MENU(shown), window_, nullptr);
  g_signal_connect(shown, "deactivate", G_CALLBACK(&MenuClosed), &popup);

  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  GdkDisplay* display = gdk_window_get_display(gdkWindow);
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  int x = 0;
  int y = 0;
  gdk_window_get_device_position(gdkWindow, pointer, &x, &y, nullptr);
  // Where the system side knows the pointer better (a screen cast: Xwayland's answer is
  // stale over Wayland windows), its place.
  if (Point at; toolkit_.PointerAt(&at)) {
    int left = 0;
    int top = 0;
    gdk_window_get_origin(gdkWindow, &left, &top);
    x = at.x - left;
    y = at.y - top;
  }
  const GdkRectangle at{x, y, 1, 1};
  const GdkGravity anchor =
      (flags & win::TPM_CENTERALIGN) != 0 ? GDK_GRAVITY_NORTH : GDK_GRAVITY_NORTH_WEST;
  GdkEvent* trigger = gtk_get_current_event();
  gtk_menu_popup_at_rect(GTK_MENU(shown), gdkWindow, &at, GDK_GRAVITY_NORTH_WEST, anchor, trigger);
  if (trigger != nullptr) gdk_event_free(trigger);

  if (gtk_widget_get_visible(shown) != FALSE) {
    popup.loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(popup.loop);
    g_main_loop_unref(popup.loop);
    popup.loop = nullptr;
  }
  g_signal_handlers_disconnect_by_data(shown, &popup);
  gtk_widget_destroy(shown);
  g_object_unref(shown);

  const MenuNode* chosen = popup.chosen;
  if (chosen != nullptr && window_ != nullptr && chosen->ClickableIn(*item)) {
    Deliver([&] { events_.OnMenuClick(chosen->Name(), chosen->Index()); });
  }
}

}  // namespace vimo::x11

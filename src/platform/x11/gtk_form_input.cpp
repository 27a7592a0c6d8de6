// A form's input: the mouse routed to the form and its labels, keys, command buttons and
// timers, each delivered as an event through the dispatcher.
#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "platform/x11/gtk_form.h"

namespace vimo::x11 {
namespace {

// Shift 1, Ctrl 2, Alt 4.
std::int16_t ShiftBits(guint state) {
  std::int16_t shift = 0;
  if ((state & GDK_SHIFT_MASK) != 0) shift |= 1;
  if ((state & GDK_CONTROL_MASK) != 0) shift |= 2;
  if ((state & GDK_MOD1_MASK) != 0) shift |= 4;
  return shift;
}

std::int16_t HeldButtons(guint state) {
  std::int16_t buttons = 0;
  if ((state & GDK_BUTTON1_MASK) != 0) buttons |= kLeftButton;
  if ((state & GDK_BUTTON3_MASK) != 0) buttons |= kRightButton;
  if ((state & GDK_BUTTON2_MASK) != 0) buttons |= kMiddleButton;
  return buttons;
}

// X buttons 1, 2, 3 are left, middle, right; 0 for the wheel and the rest.
std::int16_t ButtonCode(guint button) {
  switch (button) {
    case 1:
      return kLeftButton;
    case 2:
      return kMiddleButton;
    case 3:
      return kRightButton;
    default:
      return 0;
  }
}

Point At(double x, double y) {
  return {static_cast<std::int32_t>(std::floor(x)), static_cast<std::int32_t>(std::floor(y))};
}

// The character code a key press types, as Windows' WM_CHAR gives it; -1 for none.
int AsciiOf(const GdkEventKey& event) {
  switch (event.keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
      return 13;
    case GDK_KEY_Escape:
      return 27;
    case GDK_KEY_BackSpace:
      return 8;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return 9;
    default:
      break;
  }
  const guint32 code = gdk_keyval_to_unicode(event.keyval);
  if (code == 0 || code > 127) return -1;
  if ((event.state & GDK_CONTROL_MASK) != 0) {
    if ((code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z')) {
      return static_cast<int>(code & 0x1FU);
    }
  }
  return static_cast<int>(code);
}

// The Windows virtual-key code of the key, whatever the shift state: the key's own symbol
// is looked up without modifiers. 255 for a key Windows has no code for.
int VirtualKeyOf(const GdkEventKey& event) {
  guint keyval = event.keyval;
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_window_get_display(event.window));
  guint plain = 0;
  if (keymap != nullptr && gdk_keymap_translate_keyboard_state(
                               keymap, event.hardware_keycode, static_cast<GdkModifierType>(0), 0,
                               &plain, nullptr, nullptr, nullptr) != FALSE) {
    keyval = plain;
  }
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z)
    return static_cast<int>('A' + (keyval - GDK_KEY_a));
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z)
    return static_cast<int>('A' + (keyval - GDK_KEY_A));
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9)
    return static_cast<int>('0' + (keyval - GDK_KEY_0));
  if (keyval >= GDK_KEY_KP_0 && keyval <= GDK_KEY_KP_9)
    return static_cast<int>(96 + (keyval - GDK_KEY_KP_0));
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24)
    return static_cast<int>(112 + (keyval - GDK_KEY_F1));
  switch (keyval) {
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return 37;
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return 38;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return 39;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return 40;
    case GDK_KEY_BackSpace:
      return 8;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      return 9;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return 13;
    case GDK_KEY_Shift_L:
    case GDK_KEY_Shift_R:
      return 16;
    case GDK_KEY_Control_L:
    case GDK_KEY_Control_R:
      return 17;
    case GDK_KEY_Alt_L:
    case GDK_KEY_Alt_R:
      return 18;
    case GDK_KEY_Pause:
      return 19;
    case GDK_KEY_Caps_Lock:
      return 20;
    case GDK_KEY_Escape:
      return 27;
    case GDK_KEY_space:
      return 32;
    case GDK_KEY_Page_Up:
    case GDK_KEY_KP_Page_Up:
      return 33;
    case GDK_KEY_Page_Down:
    case GDK_KEY_KP_Page_Down:
      return 34;
    case GDK_KEY_End:
    case GDK_KEY_KP_End:
      return 35;
    case GDK_KEY_Home:
    case GDK_KEY_KP_Home:
      return 36;
    case GDK_KEY_Insert:
    case GDK_KEY_KP_Insert:
      return 45;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      return 46;
    case GDK_KEY_KP_Multiply:
      return 106;
    case GDK_KEY_KP_Add:
      return 107;
    case GDK_KEY_KP_Subtract:
      return 109;
    case GDK_KEY_KP_Decimal:
      return 110;
    case GDK_KEY_KP_Divide:
      return 111;
    case GDK_KEY_semicolon:
      return 186;
    case GDK_KEY_equal:
      return 187;
    case GDK_KEY_comma:
      return 188;
    case GDK_KEY_minus:
      return 189;
    case GDK_KEY_period:
      return 190;
    case GDK_KEY_slash:
      return 191;
    case GDK_KEY_grave:
      return 192;
    case GDK_KEY_bracketleft:
      return 219;
    case GDK_KEY_backslash:
      return 220;
    case GDK_KEY_bracketright:
      return 221;
    case GDK_KEY_apostrophe:
      return 222;
    default:
      return 255;
  }
}

}  // namespace

// Only presses on the form's own window count: a command button handles its own.
bool GkForm::MouseDown(const GdkEventButton& event) {
  if (event.type != GDK_BUTTON_PRESS || event.window != gtk_widget_get_window(window_)) {
    return false;
  }
  const std::int16_t button = ButtonCode(event.button);
  if (button == 0) return false;
  const Point at = At(event.x, event.y);
  // The X server holds the pointer for this window until the last button is up, as
  // SetCapture does on Windows.
  Raise(router_.Down(button, ShiftBits(event.state), at, HitAt(at)));
  return true;
}

bool GkForm::MouseUp(const GdkEventButton& event) {
  if (event.type != GDK_BUTTON_RELEASE || event.window != gtk_widget_get_window(window_)) {
    return false;
  }
  const std::int16_t button = ButtonCode(event.button);
  if (button == 0) return false;
  const Point at = At(event.x, event.y);
  Raise(router_.Up(button, ShiftBits(event.state), at, HitAt(at)));
  return true;
}

bool GkForm::MouseMove(const GdkEventMotion& event) {
  if (event.window != gtk_widget_get_window(window_)) return false;
  const Point at = At(event.x, event.y);
  FollowTooltip(at);
  Raise(router_.Move(HeldButtons(event.state), ShiftBits(event.state), at, HitAt(at)));
  return true;
}

MouseHit GkForm::HitAt(Point at) const {
  const bool inClient = at.x >= 0 && at.y >= 0 && at.x < clientWidth_ && at.y < clientHeight_;
  return HitLabels(labels_, at, inClient);
}

void GkForm::Raise(const MouseEvents& events) {
  for (const MouseEvent& event : events) Deliver([&] { vimo::Raise(events_, event); });
}

// The window shows the tooltip of the label under the pointer, if it has one.
void GkForm::FollowTooltip(Point at) {
  if (window_ == nullptr) return;
  const GkLabel* under = nullptr;
  for (const auto& label : labels_) {
    if (label->Hit(at)) {
      under = label.get();
      break;
    }
  }
  if (under != nullptr && under->Tooltip().empty()) under = nullptr;
  if (under == tipLabel_) return;
  tipLabel_ = under;
  if (under == nullptr) {
    gtk_widget_set_tooltip_text(window_, nullptr);
  } else {
    const std::string text(under->Tooltip());
    gtk_widget_set_tooltip_text(window_, text.c_str());
  }
}

// In a form with command buttons, Enter and Escape press the default and the cancel
// button and the other keys go to the focused button, as in a Windows dialog box.
bool GkForm::KeyTyped(const GdkEventKey& event) {
  if (!buttons_.empty()) {
    const bool enter = event.keyval == GDK_KEY_Return || event.keyval == GDK_KEY_KP_Enter ||
                       event.keyval == GDK_KEY_ISO_Enter;
    const bool escape = event.keyval == GDK_KEY_Escape;
    for (const auto& button : buttons_) {
      if ((enter && button->isDefault) || (escape && button->isCancel)) {
        ButtonClicked(*button);
        return true;
      }
    }
    return false;
  }
  const int ascii = AsciiOf(event);
  if (ascii < 0) return true;
  auto key = static_cast<std::int16_t>(ascii);
  Deliver([&] { events_.OnKeyPress(key); });
  return true;
}

bool GkForm::KeyUp(const GdkEventKey& event) {
  if (!buttons_.empty()) return false;
  const auto key = static_cast<std::int16_t>(VirtualKeyOf(event));
  // The state is that before the event: a released Shift no longer counts.
  guint state = event.state;
  if (key == 16) state &= ~static_cast<guint>(GDK_SHIFT_MASK);
  if (key == 17) state &= ~static_cast<guint>(GDK_CONTROL_MASK);
  if (key == 18) state &= ~static_cast<guint>(GDK_MOD1_MASK);
  const std::int16_t shift = ShiftBits(state);
  Deliver([&] { events_.OnKeyUp(key, shift); });
  return true;
}

// A notch is 120, as WHEEL_DELTA; a smooth scroll's delta_y is in notches, negative away
// from the user.
bool GkForm::Wheel(const GdkEventScroll& event) {
  if (!buttons_.empty()) return false;
  std::int32_t delta = 0;
  // A wheel with smooth scrolling (Xwayland's) sends each notch twice: smoothly, and as
  // an emulated button. The emulated one counts only where the smooth one said nothing
  // (the first notch after the pointer came in has a smooth delta of 0).
  const bool emulated = gdk_event_get_pointer_emulated(
      reinterpret_cast<GdkEvent*>(const_cast<GdkEventScroll*>(&event)));
  switch (event.direction) {
    case GDK_SCROLL_UP:
      delta = emulated && smoothSaid_ ? 0 : 120;
      break;
    case GDK_SCROLL_DOWN:
      delta = emulated && smoothSaid_ ? 0 : -120;
      break;
    case GDK_SCROLL_SMOOTH:
      delta = static_cast<std::int32_t>(std::lround(std::clamp(-event.delta_y, -1e6, 1e6) * 120.0));
      smoothSaid_ = delta != 0;
      break;
    default:
      return false;
  }
  if (delta != 0) Deliver([&] { events_.OnMouseWheel(delta); });
  return true;
}

// The clipboard is an X selection that GTK serves while Vimo runs, and that a clipboard
// manager may keep once it has ended; claiming it cannot be refused.
bool GkForm::SetClipboardText(std::string_view text) {
  GtkClipboard* board = gtk_widget_get_clipboard(GTK_WIDGET(LiveWindow()), GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(board, text.data(), static_cast<gint>(text.size()));
  gtk_clipboard_set_can_store(board, nullptr, 0);
  return true;
}

// GTK offers the picture as image/png (and the other formats it can write).
bool GkForm::SetClipboardImage(const PixelRows& image) {
  GtkClipboard* board = gtk_widget_get_clipboard(GTK_WIDGET(LiveWindow()), GDK_SELECTION_CLIPBOARD);
  if (image.width <= 0 || image.height <= 0) return true;
  GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, image.width, image.height);
  if (pixbuf == nullptr) throw ToolkitError("cannot make the picture for the clipboard");
  guchar* bytes = gdk_pixbuf_get_pixels(pixbuf);
  const int stride = gdk_pixbuf_get_rowstride(pixbuf);
  for (int y = 0; y < image.height; ++y) {
    guchar* out = bytes + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t v = image.Rgb(image.Row(y)[x]);
      *out++ = static_cast<guchar>(v >> 16);
      *out++ = static_cast<guchar>(v >> 8);
      *out++ = static_cast<guchar>(v);
    }
  }
  gtk_clipboard_set_image(board, pixbuf);
  gtk_clipboard_set_can_store(board, nullptr, 0);
  g_object_unref(pixbuf);
  return true;
}

void GkForm::ButtonClicked(const Button& button) {
  const std::string name = button.name;  // the handler may unload the form
  Deliver([&] { events_.OnControlClick(name); });
}

void GkForm::TimerFired(Timer& timer) {
  if (timer.running) return;
  timer.running = true;
  const std::string_view name = timer.name;  // timers_ never changes after load
  Deliver([&] { events_.OnTimer(name); });
  timer.running = false;
}

}  // namespace vimo::x11

// What every backend's forms and controls share: the twips geometry of the window over
// its pixel rectangle, the state of labels, shapes and the colour chooser in whole client
// pixels, and the lookups by design name. A backend adds how they are drawn and shown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/design.h"
#include "platform/menu_tree.h"
#include "platform/mouse_routing.h"
#include "platform/toolkit.h"
#include "platform/types.h"
#include "platform/units.h"

namespace vimo {

// A form's outer size and position in twips over the backend's pixel rectangle,
// converted as platform/units.h does at the window's own scale.
class TwipsForm : public Form {
 public:
  float Width() const final;
  void SetWidth(float twips) final;
  float Height() const final;
  void SetHeight(float twips) final;
  float Left() const final;
  void SetLeft(float twips) final;
  float Top() const final;
  void SetTop(float twips) final;

  // A design's twips as whole pixels of this form's screen.
  int PixelsFromTwipsX(double twips) const;
  int PixelsFromTwipsY(double twips) const;

  // The window's scale: the screen's when it was made, then that of each monitor of another
  // scale it is moved to.
  float TwipsPerPixelX() const { return tppX_; }
  float TwipsPerPixelY() const { return tppY_; }

 protected:
  explicit TwipsForm(const Screen& screen)
      : tppX_(screen.TwipsPerPixelX()), tppY_(screen.TwipsPerPixelY()) {}
  // The window is now on a monitor of this scale; false where it had it already. Nothing
  // moves: only its twips change.
  bool Rescale(float tppX, float tppY);

  // The outer rectangle in screen pixels; while minimised, that of the normal state.
  virtual Rect NormalRect() const = 0;
  // Moves and sizes the window (the resize event runs when the size changes).
  // ToolkitError for a minimised or maximised window or a negative size.
  virtual void MoveOuter(const Rect& outer) = 0;

 private:
  float tppX_;
  float tppY_;
};

// A label's design data and state. Geometry is whole client pixels (rounded as
// WholePixels does); a negative size raises ToolkitError. Each change reaches the backend
// through Changed() after the state has changed; a font the backend cannot make (Changed
// raises for kFont) leaves the size as it was. The font is made for the window's scale
// when its size is set: a new scale alone leaves it as many pixels high as it was.
class BasicLabel : public Label {
 public:
  BasicLabel(const ControlDesign& design, const TwipsForm& form);

  std::string Caption() const final { return caption_; }
  void SetCaption(std::string_view text) final;
  float Top() const final { return static_cast<float>(top_); }
  void SetTop(float top) final;
  float Width() const final { return static_cast<float>(width_); }
  void SetWidth(float width) final;
  float Height() const final { return static_cast<float>(height_); }
  void SetHeight(float height) final;
  bool Visible() const final { return visible_; }
  void SetVisible(bool visible) final;
  float FontSize() const final { return fontSize_; }
  void SetFontSize(float points) final;

  std::string_view Name() const { return name_; }
  std::string_view Tooltip() const { return tooltip_; }
  // The font's character height, whole pixels.
  int FontPixels() const { return PixelsFromPoints(fontSize_, fontTpp_); }
  Rect Bounds() const { return {left_, top_, left_ + width_, top_ + height_}; }
  bool Hit(Point at) const { return visible_ && PtInRect(Bounds(), at); }

 protected:
  enum class Change { kCaption, kPlace, kVisible, kFont };
  const std::string& Text() const { return caption_; }
  virtual void Changed(Change /*what*/, const Rect& /*before*/) {}

 private:
  void Place(int& side, float pixels, bool isSize);

  std::string name_;
  std::string caption_;
  std::string tooltip_;
  int left_;
  int top_;
  int width_;
  int height_;
  bool visible_;
  const TwipsForm& form_;
  float fontSize_;
  float fontTpp_;  // the window's twips per pixel (vertical) when the font was made
};

// A 1-pixel outline rectangle in whole client pixels; Changed() follows a new size.
class BasicShape : public Shape {
 public:
  BasicShape(const ControlDesign& design, float tppX, float tppY);

  float Left() const final { return static_cast<float>(left_); }
  float Top() const final { return static_cast<float>(top_); }
  float Width() const final { return static_cast<float>(width_); }
  void SetWidth(float width) final;
  float Height() const final { return static_cast<float>(height_); }
  void SetHeight(float height) final;

  std::string_view Name() const { return name_; }
  Rect Bounds() const { return {left_, top_, left_ + width_, top_ + height_}; }
  // The 1-pixel edges of the outline at `before` and where it is now: what a change of
  // size must draw again. How many of the eight there are.
  int ChangedEdges(const Rect& before, Rect (&edges)[8]) const;

 protected:
  virtual void Changed(const Rect& /*before*/) {}

 private:
  void Resize(int& side, float pixels);

  std::string name_;
  int left_;
  int top_;
  int width_;
  int height_;
};

// The four 1-pixel edges of an outline rectangle; none (0) for an empty one.
int OutlineEdges(const Rect& r, Rect* edges);

// A picture box's design name, its size in whole pixels and its foreground colour, with
// the checks every change makes; the backend makes the image and the pen.
class BasicPictureBox : public PictureBox {
 public:
  BasicPictureBox(const ControlDesign& design, const TwipsForm& form);

  // Only a colour value (no system colour) can become the drawing colour.
  void SetForeColor(Colour colour) final;
  Colour ForeColor() const final { return foreColour_; }
  float Width() const final { return width_; }
  void SetWidth(float width) final;
  float Height() const final { return height_; }
  void SetHeight(float height) final;
  const std::string& Name() const { return name_; }
  Colour BackColor() const { return backColour_; }

 protected:
  // An image of width x height pixels (at least 1 x 1) of the back colour with as much of
  // the old one as fits; ToolkitError where none can be made. Only a new size makes one.
  virtual void Allocate(int width, int height) = 0;
  // The pen (and text) colour becomes `colour`.
  virtual void Recolour(Colour colour) = 0;
  // ToolkitError once the form's window is gone.
  virtual void CheckLive() const = 0;

 private:
  float Resized(float size) const;

  std::string name_;
  float width_;
  float height_;
  Colour foreColour_;
  Colour backColour_;
};

// The colour chooser's state: it keeps its current colour between uses.
class BasicColourDialog : public CommonDialog {
 public:
  explicit BasicColourDialog(std::string_view name) : name_(name) {}

  void SetFlags(std::int32_t flags) final { flags_ = flags; }
  void SetCancelError(bool raise) final { cancelError_ = raise; }
  void ShowColor() final;
  Colour Color() const final { return colour_; }
  std::string_view Name() const { return name_; }

 protected:
  static constexpr std::int32_t kRgbInit = 1;  // CC_RGBINIT: open with the colour selected
  // Shows the dialog; the colour chosen with OK, or nothing for Cancel.
  virtual std::optional<Colour> Choose(std::int32_t flags, Colour current) = 0;

 private:
  std::string name_;
  std::int32_t flags_ = 0;
  bool cancelError_ = false;
  Colour colour_ = 0;
};

// The control of that design name in a list of owned controls; ToolkitError for none.
template <class Controls>
auto& Named(const Controls& controls, std::string_view name, std::string_view form,
            const char* kind) {
  for (const auto& control : controls) {
    if (control->Name() == name) return *control;
  }
  throw ToolkitError(std::string(form) + " has no " + kind + " " + std::string(name));
}

// The first visible label of the design under the point, as Windows hit-tests them.
template <class Labels>
MouseHit HitLabels(const Labels& labels, Point at, bool inClient) {
  MouseHit hit;
  hit.inClient = inClient;
  for (const auto& label : labels) {
    if (label->Hit(at)) {
      hit.label = label->Name();
      break;
    }
  }
  return hit;
}

// A form's controls and menu tree as its design made them, and their lookups by design
// name; the backend makes the controls, of its own types.
template <class LabelType, class ShapeType, class PictureType, class DialogType>
class DesignForm : public TwipsForm {
 public:
  DesignForm(const FormDesign& design, MenuListener* menus, const Screen& screen)
      : TwipsForm(screen), name_(design.name), menus_(design.menus, design.name, menus) {}

  std::string_view Name() const final { return name_; }
  PictureType& Picture(std::string_view name) final {
    return Named(pictures_, name, name_, "picture box");
  }
  LabelType& LabelControl(std::string_view name) final {
    return Named(labels_, name, name_, "label");
  }
  ShapeType& ShapeControl(std::string_view name) final {
    return Named(shapes_, name, name_, "shape");
  }
  DialogType& Dialog(std::string_view name) final {
    return Named(dialogs_, name, name_, "common dialog");
  }
  MenuNode& Menu(std::string_view name) final { return menus_.Menu(name); }
  MenuGroup& MenuArray(std::string_view name) final { return menus_.Group(name); }

 protected:
  std::string name_;
  std::vector<std::unique_ptr<LabelType>> labels_;
  std::vector<std::unique_ptr<ShapeType>> shapes_;
  std::vector<std::unique_ptr<PictureType>> pictures_;
  std::vector<std::unique_ptr<DialogType>> dialogs_;
  MenuTree menus_;
};

}  // namespace vimo

// A frame of the view, drawn when it is put rather than call by call: the enlargement of
// the captured area, the pointer over it and straight lines over both are kept as a plan,
// and Render() draws them band by band into a small buffer that stays in the processor's
// cache, then writes into the image only the pixels that differ from what it holds.
//
// The image is shared with the X server, which has just read all of it for the last
// put; every write takes a line of it back from the server's core. Drawn call by call,
// the grid's pixels were written twice a frame (the enlargement, then the line) even
// when nothing on the screen had moved. Drawn here, a band whose inputs are those of the
// frame before (the same source rows, pointer and lines, at the same places) already
// holds its pixels and is not drawn at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace vimo::x11 {

class FramePlan {
 public:
  // Rows drawn at a time: 64 rows of a 1000-pixel view are 256 KiB.
  static constexpr int kBandRows = 64;

  // Starts a plan: `src` enlarged at (x, y), w x h, as StretchNearest does. `src` must
  // stay as it is until the plan is rendered or dropped.
  void Stretch(int x, int y, int w, int h, const PixelRows& src);
  // The pointer image over the enlargement, as BlendCursor does; the pixels are copied.
  // False where it cannot be planned (no plan, or lines or a pointer planned already):
  // the caller renders the plan and draws it at once.
  bool Cursor(const std::uint32_t* argb, int w, int h, int x, int y, int factor);
  // Lines over both, as WriteStraightLines does; the points are copied. False without a
  // plan.
  bool Lines(const Point* points, std::size_t lines, Colour colour);
  // Whether a plan was started and not yet rendered.
  bool Pending() const { return now_.pending; }

  // Draws the plan into `target` and ends it. Bands whose inputs equal those of the last
  // frame rendered (into a target of the same size, not touched since: see Forget) are
  // left as they are; the others are drawn and only their changed pixels written.
  // `sourceSame`: the source's pixels are known to be those of the last frame (nothing
  // on the screen changed there), so they are not compared. `written`, where given, has
  // a byte per target row, set to 1 for each row written.
  void Render(const PixelRows& target, bool sourceSame = false, std::uint8_t* written = nullptr);
  // Ends the plan without drawing it.
  void Drop() { now_.pending = false; }
  // The target was written by other means since the last Render: the next frame is
  // drawn whole.
  void Forget() { lastValid_ = false; }

 private:
  struct Frame {
    bool pending = false;
    Rect stretch;  // x, y, x + w, y + h
    int srcWidth = 0;
    int srcHeight = 0;
    bool cursor = false;
    Rect cursorRect;  // the enlarged pointer's place
    int cursorW = 0;
    int cursorH = 0;
    int factor = 1;
    std::vector<std::uint32_t> cursorPixels;
    std::vector<Point> points;
    struct LineSet {
      std::size_t first;
      std::size_t lines;
      Colour colour;
    };
    std::vector<LineSet> sets;
  };

  // Whether everything but the source's pixels and the pointer is as in the last frame,
  // and the pointer lies inside the enlargement, so that a band's pixels depend on
  // nothing else.
  bool SameShape(const PixelRows& target) const;
  bool SameCursor() const;
  // Rows [top, bottom) of the target drawn anew: straight into it (`direct`), or into
  // band_ and then only the rows that differ written.
  void DrawBand(const PixelRows& target, int top, int bottom, bool direct, std::uint8_t* written);
  // The plan drawn into `band`, the picture's rows from `top`.
  void Draw(const PixelRows& band, int top);

  Frame now_;
  Frame last_;
  bool lastValid_ = false;
  int lastTargetW_ = 0;
  int lastTargetH_ = 0;
  PixelRows src_;
  std::vector<std::uint32_t> lastSrc_;     // the source pixels of the last frame, row by row
  std::vector<std::uint8_t> changedRows_;  // per source row: differs from lastSrc_
  std::vector<std::uint32_t> band_;
};

}  // namespace vimo::x11

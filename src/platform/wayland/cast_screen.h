// The screen as a desktop's screen cast shows it (GNOME and KDE on Wayland): one stream a
// monitor, each with its newest frame held in the stream's own memory, and the pointer
// from the streams' cursor metadata. The pixel work is here, in plain C++; the stream
// side (pipewire_cast.h) fills it in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/types.h"

namespace vimo::wayland {

// One monitor: where it lies on the desktop and its newest frame, 32-bit pixels held as
// 0x00RRGGBB in memory (BGRx / BGRA bytes).
struct CastMonitor {
  Point origin;                          // from the stream's properties
  int width = 0;                         // the monitor's size: the frames' once one came,
  int height = 0;                        // else the properties'
  const std::uint8_t* pixels = nullptr;  // row 0 of the newest frame; none before the first
  std::ptrdiff_t stride = 0;             // bytes from a row to the next
  int frameWidth = 0;                    // the newest frame's size
  int frameHeight = 0;

  Rect Place() const { return {origin.x, origin.y, origin.x + width, origin.y + height}; }
};

// The pointer as the cursor metadata last gave it.
struct CastPointer {
  bool known = false;  // a stream has told where it is
  Point at;            // on the desktop: the hot spot's place
  Point hotSpot;
  int width = 0;  // 0 x 0: no image (a hidden pointer)
  int height = 0;
  std::vector<std::uint32_t> argb;  // premultiplied 0xAARRGGBB, row by row; grows only
  Handle id = 1;                    // changes with the image
};

// How the bytes of a pointer image hold a pixel.
enum class ImageBytes { kRgba, kBgra, kArgb, kAbgr };

class CastScreen {
 public:
  virtual ~CastScreen() = default;

  // Takes in what the streams have delivered since; nothing here.
  virtual void Refresh() {}

  std::vector<CastMonitor>& Monitors() { return monitors_; }
  const std::vector<CastMonitor>& Monitors() const { return monitors_; }
  // The union of the monitors.
  Rect Desktop() const;
  // Changes each time a pixel may have changed (a frame came, a monitor went).
  std::uint64_t Version() const { return version_; }
  void Changed() { ++version_; }

  // The desktop's `area` into `rows` (the area's size or less, from its top-left): each
  // pixel from the newest frame of the monitor holding it, black where none does.
  void CopyInto(const Rect& area, const PixelRows& rows) const;
  // The pixel at `at` as 0x00RRGGBB; none outside every monitor or before its first frame.
  std::optional<std::uint32_t> Pixel(Point at) const;

  // Cursor metadata of monitor `index`: the hot spot at `at` of the monitor.
  void PointerAt(std::size_t index, Point at, Point hotSpot);
  // A new pointer image, w x h with `stride` bytes a row, in `layout`, straight alpha
  // where `premultiplied` is false. An image of no size hides the pointer.
  void PointerImage(const std::uint8_t* bits, int w, int h, std::ptrdiff_t stride,
                    ImageBytes layout, bool premultiplied);
  const CastPointer& Pointer() const { return pointer_; }

 private:
  std::vector<CastMonitor> monitors_;
  std::uint64_t version_ = 1;
  CastPointer pointer_;
};

}  // namespace vimo::wayland

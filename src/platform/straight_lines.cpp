#include "platform/straight_lines.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/toolkit.h"

namespace vimo {
namespace {

// The pixels one segment covers along its row or column: `first` to `last` of the line
// numbered `at`. Empty when first > last.
struct Run {
  int at;
  int first;
  int last;
};

// From `from` towards `to`, `to` left out, clipped to a line of `size` pixels.
Run Along(int at, int from, int to, int size) {
  return {at, std::max(0, from < to ? from : to + 1),
          std::min(size - 1, from < to ? to - 1 : from)};
}

// Gathers up to a batch of horizontal and of vertical runs, then writes them in one walk
// down the surface: each row's horizontal runs, then the columns crossing it. Every run
// has the one colour, so the order of writing makes no difference to the pixels.
class Writer {
 public:
  Writer(const PixelRows& surface, std::uint32_t colour) : s_(surface), colour_(colour) {}

  void AddRow(const Run& run) {
    rows_[rowCount_++] = run;
    if (rowCount_ == kBatch) Flush();
  }
  void AddColumn(const Run& run) {
    columns_[columnCount_++] = run;
    if (columnCount_ == kBatch) Flush();
  }

  void Flush() {
    if (rowCount_ == 0 && columnCount_ == 0) return;
    const auto byRow = [](const Run& a, const Run& b) { return a.at < b.at; };
    const auto rowsEnd = rows_.begin() + static_cast<std::ptrdiff_t>(rowCount_);
    if (!std::is_sorted(rows_.begin(), rowsEnd, byRow)) std::sort(rows_.begin(), rowsEnd, byRow);

    // The columns' extent, and whether they are alike as in a grid: all over the same rows
    // and evenly spaced, so that a row crosses them as one strided run.
    int top = s_.height;
    int bottom = -1;
    int left = s_.width;
    int right = -1;
    const int step = columnCount_ > 1 ? columns_[1].at - columns_[0].at : 1;
    bool alike = step > 0;
    for (std::size_t c = 0; c < columnCount_; ++c) {
      const Run& column = columns_[c];
      top = std::min(top, column.first);
      bottom = std::max(bottom, column.last);
      left = std::min(left, column.at);
      right = std::max(right, column.at);
      alike = alike && column.first == columns_[0].first && column.last == columns_[0].last &&
              column.at == columns_[0].at + static_cast<int>(c) * step;
    }

    const int first = rowCount_ > 0 ? std::min(top, rows_[0].at) : top;
    const int last = rowCount_ > 0 ? std::max(bottom, rows_[rowCount_ - 1].at) : bottom;
    // A horizontal run like one written before (as every line of a grid is) is copied
    // from it: a copy of memory close at hand beats filling it again.
    const std::uint32_t* written = nullptr;
    Run writtenRun{0, 0, -1};
    std::size_t r = 0;
    for (int y = first; y <= last; ++y) {
      std::uint32_t* line = s_.Row(y);
      bool crossed = false;  // a horizontal run already covers every column on this row
      for (; r < rowCount_ && rows_[r].at == y; ++r) {
        const Run& run = rows_[r];
        const std::size_t length = static_cast<std::size_t>(run.last - run.first) + 1;
        if (written != nullptr && written != line && run.first == writtenRun.first &&
            run.last == writtenRun.last) {
          std::memcpy(line + run.first, written + run.first, length * sizeof(std::uint32_t));
        } else {
          std::fill_n(line + run.first, length, colour_);
          written = line;
          writtenRun = run;
        }
        crossed = crossed || (run.first <= left && run.last >= right);
      }
      if (crossed || y < top || y > bottom) continue;
      if (alike) {
        WriteEvery(line, left, right, step);
        continue;
      }
      for (std::size_t c = 0; c < columnCount_; ++c) {
        if (y >= columns_[c].first && y <= columns_[c].last) line[columns_[c].at] = colour_;
      }
    }
    rowCount_ = 0;
    columnCount_ = 0;
  }

 private:
  // Pixels from..to (inclusive), `step` apart, four to a turn of the loop.
  void WriteEvery(std::uint32_t* line, int from, int to, int step) const {
    int x = from;
    for (; x <= to - 3 * step; x += 4 * step) {
      line[x] = colour_;
      line[x + step] = colour_;
      line[x + 2 * step] = colour_;
      line[x + 3 * step] = colour_;
    }
    for (; x <= to; x += step) line[x] = colour_;
  }

  static constexpr std::size_t kBatch = 512;
  const PixelRows& s_;
  std::uint32_t colour_;
  std::array<Run, kBatch> rows_;
  std::array<Run, kBatch> columns_;
  std::size_t rowCount_ = 0;
  std::size_t columnCount_ = 0;
};

}  // namespace

void WriteStraightLines(const PixelRows& surface, const Point* points, std::size_t lines,
                        Colour colour, int top) {
  Writer writer(surface, surface.Native(colour));
  for (std::size_t i = 0; i < lines; ++i) {
    const Point a{points[2 * i].x, points[2 * i].y - top};
    const Point b{points[2 * i + 1].x, points[2 * i + 1].y - top};
    if (a.x != b.x && a.y != b.y) continue;
    if (a.y == b.y) {
      if (a.y < 0 || a.y >= surface.height) continue;
      const Run run = Along(a.y, a.x, b.x, surface.width);
      if (run.first <= run.last) writer.AddRow(run);
    } else {
      if (a.x < 0 || a.x >= surface.width) continue;
      const Run run = Along(a.x, a.y, b.y, surface.height);
      if (run.first <= run.last) writer.AddColumn(run);
    }
  }
  writer.Flush();
}

void PictureBox::StraightLines(const Point* points, std::size_t lines, Colour colour) {
  WriteStraightLines(Pixels(), points, lines, colour);
}

}  // namespace vimo

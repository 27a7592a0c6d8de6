// What the Win32 calls want, made once: UTF-16 texts from and to the logic's UTF-8, the
// header of a 32-bit top-down DIB, and a font of a point size.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/design.h"
#include "platform/types.h"

namespace vimo::win32 {

std::wstring Widen(std::string_view utf8);
// Converts into `wide`, reusing its storage: no allocation once it is large enough.
void WidenInto(std::string_view utf8, std::wstring& wide);
std::string Narrow(std::wstring_view wide);

// A 32-bit BI_RGB DIB whose first row in memory is the top one.
BITMAPINFO DibHeader(int width, int height);
// The design's face with characters `pixels` high; null on failure.
HFONT DesignFont(const FontDesign& font, int pixels);

inline RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
inline Rect FromRECT(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

}  // namespace vimo::win32

#include "platform/win32/win32_support.h"

namespace vimo::win32 {

std::wstring Widen(std::string_view utf8) {
  std::wstring wide;
  WidenInto(utf8, wide);
  return wide;
}

void WidenInto(std::string_view utf8, std::wstring& wide) {
  const int length = static_cast<int>(utf8.size());
  const int needed =
      utf8.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  wide.resize(static_cast<std::size_t>(needed > 0 ? needed : 0));
  if (needed > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

BITMAPINFO DibHeader(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

HFONT DesignFont(const FontDesign& font, int pixels) {
  return CreateFontW(-pixels, 0, 0, 0, font.weight, FALSE, font.underline ? TRUE : FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, Widen(font.name).c_str());
}

}  // namespace vimo::win32

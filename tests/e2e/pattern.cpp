// vimo_pattern.exe: the helper the end-to-end driver (run_e2e.py) runs next to vimo.exe.
//
//   vimo_pattern show X Y W H         borderless popup at screen (X,Y), W x H, filled with
//                                     the test pattern; stays until killed
//   vimo_pattern probe "<prefix>"     one line of JSON about the first visible top-level
//                                     window whose title starts with <prefix>
//   vimo_pattern menus                one line of JSON: the visible popup menu windows
//   vimo_pattern cursor               one line of JSON: GetCursorPos
//   vimo_pattern move "<prefix>" X Y  moves that window's outer rect to (X,Y)
//   vimo_pattern size "<prefix>" W H  gives that window a client area of W x H
//   vimo_pattern close "<prefix>" [minimized]
//                                     posts WM_CLOSE to that window (minimised first)
//   vimo_pattern dialog "<title>"     one line of JSON: the texts of the static controls
//                                     and the buttons (with their screen rects) of the
//                                     visible top-level window titled exactly <title>
//   vimo_pattern hold PATH            opens the file without sharing it, as a program
//                                     that has it open does; stays until killed
//
// The pattern gives every screen pixel its own colour, so a view that is off by a single
// pixel shows different colours. run_e2e.py computes the same function; keep them equal:
//   R = (x * 37) mod 256, G = (y * 59) mod 256,
//   B = 0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3)
// with (x, y) the screen pixel. The map is one-to-one for 0 <= x, y < 2048, and B lies
// in 0x80..0xBF, so no pattern pixel is black (no window) or the grid's 0xC0C0C0.
//
// Exit codes: 0 done, 1 window not found / nothing to report, 2 bad usage, 3 Win32 error.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kPatternClass[] = L"VimoE2EPattern";
constexpr wchar_t kPatternTitle[] = L"vimo_pattern";

COLORREF PatternColour(int x, int y) {
  const auto r = static_cast<unsigned>(x * 37) & 0xFFU;
  const auto g = static_cast<unsigned>(y * 59) & 0xFFU;
  const auto b =
      0x80U | (static_cast<unsigned>(x >> 8) & 7U) | ((static_cast<unsigned>(y >> 8) & 7U) << 3);
  return RGB(r, g, b);
}

// Writes bytes to stdout unchanged and flushes, so the driver reads whole lines at once.
void Emit(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string JsonString(const std::wstring& text) {
  std::string utf8;
  if (!text.empty()) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                        nullptr, nullptr);
  }
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

std::string JsonRect(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "[%ld, %ld, %ld, %ld]", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  return buf;
}

std::wstring WindowTitle(HWND hwnd) {
  const int len = GetWindowTextLengthW(hwnd);
  std::wstring title(static_cast<std::size_t>(len) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, title.data(), len + 1);
  title.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return title;
}

std::wstring ClassNameOf(HWND hwnd) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, static_cast<std::size_t>(n > 0 ? n : 0));
}

bool ParseInt(const wchar_t* text, int* value) {
  wchar_t* end = nullptr;
  const long v = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0') return false;
  *value = static_cast<int>(v);
  return true;
}

// ---- show ----------------------------------------------------------------------------

struct PatternWindow {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  HBITMAP bitmap = nullptr;
};

PatternWindow g_pattern;

HBITMAP MakePatternBitmap(int x0, int y0, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return nullptr;
  auto* px = static_cast<DWORD*>(bits);
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      const COLORREF c = PatternColour(x0 + i, y0 + j);
      // A 32-bit DIB pixel is 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
      px[static_cast<std::size_t>(j) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(i)] = (static_cast<DWORD>(GetRValue(c)) << 16) |
                                        (static_cast<DWORD>(GetGValue(c)) << 8) |
                                        static_cast<DWORD>(GetBValue(c));
    }
  }
  return bitmap;
}

LRESULT CALLBACK PatternProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(mem, g_pattern.bitmap);
      BitBlt(dc, 0, 0, g_pattern.width, g_pattern.height, mem, 0, 0, SRCCOPY);
      SelectObject(mem, old);
      DeleteDC(mem);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

int Show(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return 2;
  g_pattern = PatternWindow{x, y, width, height, MakePatternBitmap(x, y, width, height)};
  if (g_pattern.bitmap == nullptr) return 3;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = PatternProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = kPatternClass;
  if (RegisterClassExW(&wc) == 0) return 3;

  HWND hwnd =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPatternClass, kPatternTitle, WS_POPUP,
                      x, y, width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd == nullptr) return 3;
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd);

  RECT r{};
  GetWindowRect(hwnd, &r);
  char buf[64];
  std::snprintf(buf, sizeof buf, "{\"shown\": true, \"hwnd\": %llu, \"window\": ",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
  Emit(std::string(buf) + JsonRect(r) + "}");

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DeleteObject(g_pattern.bitmap);
  return 0;
}

// ---- probe, move, size -----------------------------------------------------------------

struct FindByTitle {
  std::wstring title;
  bool exact = false;  // the whole title, or only its start
  HWND found = nullptr;
};

BOOL CALLBACK FindByTitleProc(HWND hwnd, LPARAM lparam) {
  auto* find = reinterpret_cast<FindByTitle*>(lparam);
  if (!IsWindowVisible(hwnd)) return TRUE;
  const std::wstring title = WindowTitle(hwnd);
  if (find->exact ? title == find->title : title.starts_with(find->title)) {
    find->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The first visible top-level window whose title starts with (or is) `title`.
HWND FindWindowByTitle(const wchar_t* title, bool exact) {
  FindByTitle find{title, exact, nullptr};
  EnumWindows(FindByTitleProc, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

HWND FindWindowByPrefix(const wchar_t* prefix) { return FindWindowByTitle(prefix, false); }

RECT ClientRectOnScreen(HWND hwnd) {
  RECT client{};
  GetClientRect(hwnd, &client);
  POINT tl{client.left, client.top};
  POINT br{client.right, client.bottom};
  ClientToScreen(hwnd, &tl);
  ClientToScreen(hwnd, &br);
  return RECT{tl.x, tl.y, br.x, br.y};
}

int Probe(const wchar_t* prefix) {
  HWND hwnd = FindWindowByPrefix(prefix);
  if (hwnd == nullptr) {
    Emit("{\"found\": false}");
    return 1;
  }
  RECT window{};
  GetWindowRect(hwnd, &window);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  const LONG_PTR exstyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  char buf[160];
  std::snprintf(buf, sizeof buf,
                ", \"hwnd\": %llu, \"pid\": %lu, \"style\": %llu, \"exstyle\": %llu, "
                "\"foreground\": %s, \"topmost\": %s",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
                static_cast<unsigned long>(pid), static_cast<unsigned long long>(style),
                static_cast<unsigned long long>(exstyle),
                GetForegroundWindow() == hwnd ? "true" : "false",
                (exstyle & WS_EX_TOPMOST) != 0 ? "true" : "false");
  Emit("{\"found\": true, \"title\": " + JsonString(WindowTitle(hwnd)) +
       ", \"class\": " + JsonString(ClassNameOf(hwnd)) + ", \"window\": " + JsonRect(window) +
       ", \"client\": " + JsonRect(ClientRectOnScreen(hwnd)) + buf + "}");
  return 0;
}

int Move(const wchar_t* prefix, int x, int y) {
  HWND hwnd = FindWindowByPrefix(prefix);
  if (hwnd == nullptr) return 1;
  if (!SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    return 3;
  }
  return Probe(prefix);
}

int SizeClient(const wchar_t* prefix, int width, int height) {
  HWND hwnd = FindWindowByPrefix(prefix);
  if (hwnd == nullptr) return 1;
  RECT window{};
  RECT client{};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  // Keep the frame as it is now and change only what lies inside it.
  const int outerW = (window.right - window.left) - (client.right - client.left) + width;
  const int outerH = (window.bottom - window.top) - (client.bottom - client.top) + height;
  if (!SetWindowPos(hwnd, nullptr, 0, 0, outerW, outerH,
                    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    return 3;
  }
  return Probe(prefix);
}

int Close(const wchar_t* prefix, bool minimizeFirst) {
  HWND hwnd = FindWindowByPrefix(prefix);
  if (hwnd == nullptr) return 1;
  if (minimizeFirst && !ShowWindow(hwnd, SW_MINIMIZE) && !IsIconic(hwnd)) return 3;
  if (!PostMessageW(hwnd, WM_CLOSE, 0, 0)) return 3;
  Emit("{\"closed\": true}");
  return 0;
}

// ---- dialog, hold ----------------------------------------------------------------------

BOOL CALLBACK CollectChildrenProc(HWND hwnd, LPARAM lparam) {
  reinterpret_cast<std::vector<HWND>*>(lparam)->push_back(hwnd);
  return TRUE;
}

int Dialog(const wchar_t* title) {
  HWND dialog = FindWindowByTitle(title, true);
  if (dialog == nullptr) {
    Emit("{\"found\": false}");
    return 1;
  }
  std::vector<HWND> children;
  EnumChildWindows(dialog, CollectChildrenProc, reinterpret_cast<LPARAM>(&children));
  std::string texts;
  std::string buttons;
  for (HWND child : children) {
    if (!IsWindowVisible(child)) continue;
    const std::wstring kind = ClassNameOf(child);
    if (_wcsicmp(kind.c_str(), L"Static") == 0 && GetWindowTextLengthW(child) > 0) {
      texts += (texts.empty() ? "" : ", ") + JsonString(WindowTitle(child));
    } else if (_wcsicmp(kind.c_str(), L"Button") == 0) {
      RECT r{};
      GetWindowRect(child, &r);
      buttons += (buttons.empty() ? "" : ", ") + std::string("{\"text\": ") +
                 JsonString(WindowTitle(child)) + ", \"rect\": " + JsonRect(r) + "}";
    }
  }
  RECT window{};
  GetWindowRect(dialog, &window);
  Emit("{\"found\": true, \"window\": " + JsonRect(window) + ", \"texts\": [" + texts +
       "], \"buttons\": [" + buttons + "]}");
  return 0;
}

int Hold(const wchar_t* path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  Emit("{\"held\": true}");
  Sleep(INFINITE);
  return 0;
}

// ---- menus, cursor -------------------------------------------------------------------

BOOL CALLBACK CollectMenusProc(HWND hwnd, LPARAM lparam) {
  auto* menus = reinterpret_cast<std::vector<HWND>*>(lparam);
  if (IsWindowVisible(hwnd) && ClassNameOf(hwnd) == L"#32768") menus->push_back(hwnd);
  return TRUE;
}

int Menus() {
  std::vector<HWND> menus;
  EnumWindows(CollectMenusProc, reinterpret_cast<LPARAM>(&menus));
  std::string out = "{\"menus\": [";
  for (std::size_t i = 0; i < menus.size(); ++i) {
    RECT r{};
    GetWindowRect(menus[i], &r);
    if (i > 0) out += ", ";
    out += JsonRect(r);
  }
  out += "]}";
  Emit(out);
  return 0;
}

int Cursor() {
  POINT p{};
  if (!GetCursorPos(&p)) return 3;
  char buf[64];
  std::snprintf(buf, sizeof buf, "{\"x\": %ld, \"y\": %ld}", static_cast<long>(p.x),
                static_cast<long>(p.y));
  Emit(buf);
  return 0;
}

int Usage() {
  std::fputs(
      "usage: vimo_pattern show X Y W H | probe PREFIX | menus | cursor |\n"
      "                    move PREFIX X Y | size PREFIX W H | close PREFIX [minimized] |\n"
      "                    dialog TITLE | hold PATH\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDPIAware();
  if (argc < 2) return Usage();
  const std::wstring cmd = argv[1];
  int a = 0;
  int b = 0;
  int c = 0;
  int d = 0;
  if (cmd == L"show" && argc == 6 && ParseInt(argv[2], &a) && ParseInt(argv[3], &b) &&
      ParseInt(argv[4], &c) && ParseInt(argv[5], &d)) {
    return Show(a, b, c, d);
  }
  if (cmd == L"probe" && argc == 3) return Probe(argv[2]);
  if (cmd == L"menus" && argc == 2) return Menus();
  if (cmd == L"cursor" && argc == 2) return Cursor();
  if (cmd == L"move" && argc == 5 && ParseInt(argv[3], &a) && ParseInt(argv[4], &b)) {
    return Move(argv[2], a, b);
  }
  if (cmd == L"size" && argc == 5 && ParseInt(argv[3], &a) && ParseInt(argv[4], &b)) {
    return SizeClient(argv[2], a, b);
  }
  if (cmd == L"close" && argc == 3) return Close(argv[2], false);
  if (cmd == L"close" && argc == 4 && std::wstring(argv[3]) == L"minimized") {
    return Close(argv[2], true);
  }
  if (cmd == L"dialog" && argc == 3) return Dialog(argv[2]);
  if (cmd == L"hold" && argc == 3) return Hold(argv[2]);
  return Usage();
}

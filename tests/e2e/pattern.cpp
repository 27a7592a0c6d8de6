// vimo_pattern.exe: the helper the end-to-end driver (run_e2e.py) runs next to vimo.exe.
//
// `vimo_pattern X Y W H` shows a borderless window at screen (X, Y), W x H, filled with the
// test pattern, prints {"shown": true} and then answers each line of stdin, a command with
// its arguments separated by tabs, with one line of JSON: the state after the command.
//   state                    only the state
//   move TITLE X Y           moves the first visible window whose title starts with TITLE
//   size TITLE W H           gives that window a client area of W x H
//   close TITLE [minimized]  posts WM_CLOSE to that window (minimises it first)
//   hold PATH, release       opens the file without sharing, as another program holding it
//                            does, and closes it again
// The state: "ok" (the command succeeded), "cursor" (GetCursorPos) and "windows", every
// visible top-level window from the top down with its title, class, outer and client
// rects on the screen, topmost and foreground flags and visible child windows (class,
// text, rect). It ends when stdin closes.
//
// The pattern gives every screen pixel its own colour, so a view that is off by a single
// pixel shows different colours. run_e2e.py computes the same function; keep them equal:
//   R = (x * 37) mod 256, G = (y * 59) mod 256,
//   B = 0x80 | ((x >> 8) & 7) | (((y >> 8) & 7) << 3)
// with (x, y) the screen pixel. The map is one-to-one for 0 <= x, y < 2048, and B lies
// in 0x80..0xBF, so no pattern pixel is black or the grid's 0xC0C0C0.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

HWND g_pattern = nullptr;
BITMAPINFO g_info{};
std::vector<DWORD> g_pixels;
HANDLE g_held = INVALID_HANDLE_VALUE;

LRESULT CALLBACK PatternProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const LONG w = g_info.bmiHeader.biWidth;
    const LONG h = -g_info.bmiHeader.biHeight;
    StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, g_pixels.data(), &g_info, DIB_RGB_COLORS, SRCCOPY);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

std::wstring TextOf(HWND hwnd) {
  wchar_t buf[1024] = {};
  return std::wstring(buf, static_cast<std::size_t>(GetWindowTextW(hwnd, buf, 1024)));
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  return std::wstring(buf, static_cast<std::size_t>(GetClassNameW(hwnd, buf, 256)));
}

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (const wchar_t c : text) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Json(const RECT& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "[%ld, %ld, %ld, %ld]", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  return buf;
}

const char* Json(bool b) { return b ? "true" : "false"; }

RECT WindowRect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

RECT ClientOnScreen(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Top-level windows (parent nullptr) or a window's descendants, visible ones only.
std::vector<HWND> Windows(HWND parent) {
  std::vector<HWND> found;
  const auto add = [](HWND hwnd, LPARAM list) -> BOOL {
    if (IsWindowVisible(hwnd)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
  };
  if (parent == nullptr) {
    EnumWindows(add, reinterpret_cast<LPARAM>(&found));
  } else {
    EnumChildWindows(parent, add, reinterpret_cast<LPARAM>(&found));
  }
  return found;
}

HWND FindByTitle(const std::wstring& prefix) {
  for (HWND hwnd : Windows(nullptr)) {
    if (TextOf(hwnd).starts_with(prefix)) return hwnd;
  }
  return nullptr;
}

std::string State(bool ok) {
  POINT cursor{};
  GetCursorPos(&cursor);
  char head[96];
  std::snprintf(head, sizeof head, "{\"ok\": %s, \"cursor\": [%ld, %ld], \"windows\": [", Json(ok),
                static_cast<long>(cursor.x), static_cast<long>(cursor.y));
  std::string out = head;
  for (HWND hwnd : Windows(nullptr)) {
    const bool topmost = (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    std::string children;
    for (HWND child : Windows(hwnd)) {
      children += (children.empty() ? "" : ", ") + std::string("{\"class\": ") +
                  Json(ClassOf(child)) + ", \"text\": " + Json(TextOf(child)) +
                  ", \"rect\": " + Json(WindowRect(child)) + "}";
    }
    out += (out.back() == '[' ? "" : ", ") + std::string("{\"title\": ") + Json(TextOf(hwnd)) +
           ", \"class\": " + Json(ClassOf(hwnd)) + ", \"window\": " + Json(WindowRect(hwnd)) +
           ", \"client\": " + Json(ClientOnScreen(hwnd)) + ", \"topmost\": " + Json(topmost) +
           ", \"foreground\": " + Json(GetForegroundWindow() == hwnd) + ", \"children\": [" +
           children + "]}";
  }
  return out + "]}";
}

bool Run(const std::vector<std::wstring>& arg) {
  const std::wstring& cmd = arg[0];
  if (cmd == L"state") return true;
  if (cmd == L"release") return CloseHandle(g_held) != 0;
  if (cmd == L"hold" && arg.size() == 2) {
    g_held = CreateFileW(arg[1].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    return g_held != INVALID_HANDLE_VALUE;
  }
  HWND hwnd = arg.size() > 1 ? FindByTitle(arg[1]) : nullptr;
  if (hwnd == nullptr) return false;
  if (cmd == L"close") {
    if (arg.size() > 2) ShowWindow(hwnd, SW_MINIMIZE);
    return (arg.size() == 2 || IsIconic(hwnd)) && PostMessageW(hwnd, WM_CLOSE, 0, 0) != 0;
  }
  if (arg.size() != 4) return false;
  const int a = std::wcstol(arg[2].c_str(), nullptr, 10);
  const int b = std::wcstol(arg[3].c_str(), nullptr, 10);
  if (cmd == L"move") {
    return SetWindowPos(hwnd, nullptr, a, b, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (cmd != L"size") return false;
  // Keep the frame as it is and change only what lies inside it.
  const RECT window = WindowRect(hwnd);
  const RECT client = ClientOnScreen(hwnd);
  const int w = window.right - window.left - (client.right - client.left) + a;
  const int h = window.bottom - window.top - (client.bottom - client.top) + b;
  return SetWindowPos(hwnd, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Emit(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

DWORD WINAPI Serve(void*) {
  char line[2048];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    wchar_t wide[2048] = {};
    MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, 2048);
    std::vector<std::wstring> arg(1);
    for (const wchar_t* c = wide; *c != L'\0' && *c != L'\r' && *c != L'\n'; ++c) {
      if (*c == L'\t') {
        arg.emplace_back();
      } else {
        arg.back() += *c;
      }
    }
    Emit(State(Run(arg)));
  }
  PostMessageW(g_pattern, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  SetProcessDPIAware();
  if (argc != 5) return 2;
  const int x = std::wcstol(argv[1], nullptr, 10);
  const int y = std::wcstol(argv[2], nullptr, 10);
  const int w = std::wcstol(argv[3], nullptr, 10);
  const int h = std::wcstol(argv[4], nullptr, 10);
  g_info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  for (int j = y; j < y + h; ++j) {
    for (int i = x; i < x + w; ++i) {
      const auto r = static_cast<DWORD>(i * 37) & 0xFFU;
      const auto g = static_cast<DWORD>(j * 59) & 0xFFU;
      const auto b =
          0x80U | (static_cast<DWORD>(i >> 8) & 7U) | ((static_cast<DWORD>(j >> 8) & 7U) << 3);
      g_pixels.push_back((r << 16) | (g << 8) | b);  // a 32-bit DIB pixel is 0x00RRGGBB
    }
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = PatternProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = L"VimoE2EPattern";
  RegisterClassW(&wc);
  g_pattern =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"vimo_pattern",
                      WS_POPUP, x, y, w, h, nullptr, nullptr, wc.hInstance, nullptr);
  if (g_pattern == nullptr) return 3;
  ShowWindow(g_pattern, SW_SHOWNOACTIVATE);
  UpdateWindow(g_pattern);
  Emit("{\"shown\": true}");
  CloseHandle(CreateThread(nullptr, 0, Serve, nullptr, 0, nullptr));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

#include "platform/win32/win32_toolkit.h"

#include <commctrl.h>

#include <cstring>

#include "platform/green_pointer.h"
#include "platform/units.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_support.h"
#include "version.h"

namespace vimo::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"VimoForm";
constexpr wchar_t kPointerFormClass[] = L"VimoFormGreenPointer";
constexpr wchar_t kOwnerClass[] = L"VimoOwner";
constexpr int kAppIcon = 1;

}  // namespace

HCURSOR CreateGreenPointer() {
  using namespace green_pointer;
  // Colour: a DIB with alpha, transparent black but for the one pixel.
  const BITMAPINFO info = DibHeader(kSize, kSize);
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (colour == nullptr || bits == nullptr) return nullptr;
  auto* pixels = static_cast<std::uint32_t*>(bits);
  std::memset(pixels, 0, kSize * kSize * sizeof(std::uint32_t));
  const PixelRows rows{pixels, kSize, kSize, kSize, true};
  rows.Row(kHotSpot.y)[kHotSpot.x] = 0xFF000000U | rows.Native(kColour);
  GdiFlush();

  // Mask: 1 keeps the screen, 0 shows the colour. Rows are two bytes, most significant
  // bit leftmost.
  std::uint8_t mask[kSize * 2];
  std::memset(mask, 0xFF, sizeof(mask));
  mask[kHotSpot.y * 2 + kHotSpot.x / 8] =
      static_cast<std::uint8_t>(0xFFU & ~(0x80U >> (kHotSpot.x % 8)));
  HBITMAP maskBitmap = CreateBitmap(kSize, kSize, 1, 1, mask);
  if (maskBitmap == nullptr) {
    DeleteObject(colour);
    return nullptr;
  }

  ICONINFO icon{};
  icon.fIcon = FALSE;
  icon.xHotspot = static_cast<DWORD>(kHotSpot.x);
  icon.yHotspot = static_cast<DWORD>(kHotSpot.y);
  icon.hbmMask = maskBitmap;
  icon.hbmColor = colour;
  HCURSOR cursor = CreateIconIndirect(&icon);
  DeleteObject(maskBitmap);
  DeleteObject(colour);
  return cursor;
}

// --- Screen ------------------------------------------------------------------------

Win32Screen::Win32Screen() {
  if (HDC screen = GetDC(nullptr)) {
    const int x = GetDeviceCaps(screen, LOGPIXELSX);
    const int y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (x > 0) twipsPerPixelX_ = TwipsPerPixelAt(x);
    if (y > 0) twipsPerPixelY_ = TwipsPerPixelAt(y);
  }
}

float Win32Screen::Width() const {
  return TwipsFromPixels(GetSystemMetrics(SM_CXSCREEN), twipsPerPixelX_);
}

float Win32Screen::Height() const {
  return TwipsFromPixels(GetSystemMetrics(SM_CYSCREEN), twipsPerPixelY_);
}

// --- Toolkit -----------------------------------------------------------------------

Win32Toolkit::Win32Toolkit(HINSTANCE instance)
    : instance_(instance != nullptr ? instance : GetModuleHandleW(nullptr)) {
  RegisterClasses();
}

Win32Toolkit::~Win32Toolkit() {
  delivering_ = false;
  for (const auto& form : forms_) form->Discard();
  forms_.clear();
  if (hiddenOwner_ != nullptr) DestroyWindow(hiddenOwner_);
  UnregisterClassW(kFormClass, instance_);
  UnregisterClassW(kPointerFormClass, instance_);
  UnregisterClassW(kOwnerClass, instance_);
  if (greenPointer_ != nullptr) DestroyCursor(greenPointer_);
}

void Win32Toolkit::RegisterClasses() {
  greenPointer_ = CreateGreenPointer();
  auto* bigIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), LR_SHARED));
  auto* smallIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.style = CS_HREDRAW | CS_VREDRAW;
  form.lpfnWndProc = &Win32Form::WindowProc;
  form.hInstance = instance_;
  form.hIcon = bigIcon;
  form.hIconSm = smallIcon;
  form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  form.hbrBackground = nullptr;  // each form erases with its own colour
  form.lpszClassName = kFormClass;
  RegisterClassExW(&form);

  form.lpszClassName = kPointerFormClass;
  if (greenPointer_ != nullptr) form.hCursor = greenPointer_;
  RegisterClassExW(&form);

  WNDCLASSEXW owner{};
  owner.cbSize = sizeof(owner);
  owner.lpfnWndProc = &DefWindowProcW;
  owner.hInstance = instance_;
  owner.hIcon = bigIcon;
  owner.hIconSm = smallIcon;
  owner.lpszClassName = kOwnerClass;
  RegisterClassExW(&owner);
}

const wchar_t* Win32Toolkit::WindowClass(bool greenPointer) const {
  return greenPointer ? kPointerFormClass : kFormClass;
}

void Win32Toolkit::DebugLog(std::string_view what) {
  OutputDebugStringW((L"Vimo: an event handler failed: " + Widen(what) + L"\n").c_str());
}

int Win32Toolkit::MsgBox(std::string_view text, int style, std::string_view title) {
  return MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(title).c_str(),
                     static_cast<UINT>(style));
}

Form& Win32Toolkit::LoadForm(const FormDesign& design, FormEvents& events) {
  forms_.push_back(std::make_unique<Win32Form>(*this, design, events));
  Win32Form& form = *forms_.back();
  form.Create(design);
  if (main_ == nullptr) main_ = &form;
  form.Load();
  return form;
}

int Win32Toolkit::VersionMajor() const { return VIMO_VERSION_MAJOR; }
int Win32Toolkit::VersionMinor() const { return VIMO_VERSION_MINOR; }

int Win32Toolkit::CurrentYear() const {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now.wYear;
}

HWND Win32Toolkit::OwnerFor(const Win32Form& form) {
  if (main_ != nullptr && main_ != &form && main_->Window() != nullptr) return main_->Window();
  if (hiddenOwner_ == nullptr) {
    hiddenOwner_ = CreateWindowExW(0, kOwnerClass, L"Vimo", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   instance_, nullptr);
  }
  return hiddenOwner_;
}

bool Win32Toolkit::HasLiveForms() const {
  for (const auto& form : forms_) {
    if (form->Window() != nullptr) return true;
  }
  return false;
}

bool Win32Toolkit::TooltipsAvailable() {
  if (tooltipState_ == 0) {
    tooltipState_ = -1;
    // Loaded at run time: the manifest makes this version 6 where the system has it.
    if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
      using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
      if (FARPROC proc = GetProcAddress(comctl, "InitCommonControlsEx")) {
        auto init = reinterpret_cast<InitFn>(reinterpret_cast<void (*)()>(proc));
        INITCOMMONCONTROLSEX classes{};
        classes.dwSize = sizeof(classes);
        classes.dwICC = ICC_WIN95_CLASSES;
        if (init(&classes) != FALSE) tooltipState_ = 1;
      }
    }
  }
  return tooltipState_ == 1;
}

// Enter, Escape and Tab in a form with command buttons work as in a dialog box.
bool Win32Toolkit::IsDialogKey(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || msg.hwnd == nullptr) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  for (const auto& form : forms_) {
    if (form->Window() == root && form->HasButtons()) return IsDialogMessageW(root, &msg) != FALSE;
  }
  return false;
}

int Win32Toolkit::Run() {
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got == -1) return 1;
    if (IsDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace vimo::win32

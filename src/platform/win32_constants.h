// Win32 values the logic passes through the platform interface, spelled as Win32 does.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace vimo::win {

// GetSystemMetrics indices.
inline constexpr int SM_XVIRTUALSCREEN = 76;
inline constexpr int SM_YVIRTUALSCREEN = 77;
inline constexpr int SM_CXVIRTUALSCREEN = 78;
inline constexpr int SM_CYVIRTUALSCREEN = 79;
inline constexpr int SM_CMONITORS = 80;

// SetWindowPos.
inline constexpr Handle HWND_TOP = 0;
inline constexpr Handle HWND_TOPMOST = static_cast<Handle>(-1);
inline constexpr Handle HWND_NOTOPMOST = static_cast<Handle>(-2);
inline constexpr std::uint32_t SWP_NOSIZE = 0x0001;
inline constexpr std::uint32_t SWP_NOMOVE = 0x0002;
inline constexpr std::uint32_t SWP_NOZORDER = 0x0004;
inline constexpr std::uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;

// Window styles.
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr std::int32_t WS_EX_LAYERED = 0x00080000;
inline constexpr std::uint32_t LWA_ALPHA = 2;

// Raster operations and icon drawing.
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020;
inline constexpr Colour CLR_INVALID = 0xFFFFFFFFU;
inline constexpr std::uint32_t DI_NORMAL = 3;

// Popup menu flags.
inline constexpr int TPM_CENTERALIGN = 4;
inline constexpr int TPM_LEFTBUTTON = 0;

// Virtual keys.
inline constexpr int VK_LEFT = 37;
inline constexpr int VK_DOWN = 40;

}  // namespace vimo::win

// The magnifier window: its state, its event handlers and its procedures.
#pragma once

#include "app/magnifier_state.h"
#include "platform/toolkit.h"
#include "platform/win32_api.h"

namespace vimo {

class MainWindow;  // defined in app/main_window.h once the logic lands

}  // namespace vimo

// The application's view of the Qt window: the Window interface over MainWindow, message
// boxes, the clipboard and detached threads. Created once by the program's start-up.
#pragma once

#include <memory>

#include "main_window.h"
#include "platform/window.h"

namespace quorvel {

// A Window backed by mainWindow, which must outlive it. Create it on the GUI thread.
std::unique_ptr<Window> CreateQtWindow(MainWindow& mainWindow);

}  // namespace quorvel

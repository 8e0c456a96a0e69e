// The program's one kind of message box: caption "信息：", one OK button, no icon, no owner
// window, modal for nobody. Callable from any thread once the QApplication exists.
#pragma once

#include <QString>

namespace quorvel {

// Shows text in a message box and returns when the user has closed it (OK, Enter, Esc or
// the close button). Only the caller waits: on a worker the box is shown by the GUI thread
// while the worker blocks; on the GUI thread a local event loop runs until the box closes,
// so the main window and other boxes stay usable meanwhile. Returns early, with the box
// left open, when the application's event loop is told to quit.
void ShowInformationBox(const QString& text);

}  // namespace quorvel

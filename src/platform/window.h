// What the application asks of its window and of the desktop: the edit boxes, the open-file
// dialog, message boxes, the clipboard and detached threads. Texts cross as GBK; the backend
// converts at the toolkit's edge.
#pragma once

#include <functional>

#include "text/text.h"

namespace quorvel {

enum class EditBox { 编辑框1, 编辑框2, 编辑框3 };

class Window {
 public:
  virtual ~Window() = default;

  // The whole text of an edit box, read or replaced from any thread. On a worker the access
  // runs on the GUI thread while the worker waits; on the GUI thread it runs directly.
  virtual Text EditText(EditBox box) = 0;
  virtual void SetEditText(EditBox box, const Text& text) = 0;

  // 通用对话框1: shows the open-file dialog modally over the window, offering the remembered
  // file name; true when the user confirmed a file, which then becomes the remembered name.
  // GUI thread only.
  virtual bool OpenFileDialog() = 0;
  // The remembered full path of the last confirmed file; empty until the first confirmation.
  virtual Text DialogFileName() = 0;

  // A message box with the caption "信息：", one OK button and no icon, owned by no window.
  // Callable from any thread; it blocks only the caller until the user closes it.
  virtual void ShowMessageBox(const Text& text) = 0;

  // Puts text on the clipboard; false when the clipboard could not be had.
  virtual bool SetClipboardText(const Text& text) = 0;

  // Starts routine on a new thread that nothing keeps or waits for; false when it could not
  // be started.
  virtual bool StartThread(std::function<void()> routine) = 0;
};

}  // namespace quorvel

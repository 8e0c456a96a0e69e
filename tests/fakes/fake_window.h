// A recording window for tests of the application: scripted open-file dialog, edit boxes,
// clipboard, message boxes a test closes one by one, and real worker threads it joins.
// Thread-safe: workers and the test thread call it at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "text/text.h"

namespace quorvel {

// One call on the window. name is the member ("EditText", "SetEditText", "OpenFileDialog",
// "DialogFileName", "ShowMessageBox", "SetClipboardText", "StartThread"); box is 1 to 3 for
// the edit-box calls and 0 otherwise; text is the text read, written, shown or returned.
struct WindowCall {
  std::string name;
  int box = 0;
  Text text;

  friend bool operator==(const WindowCall&, const WindowCall&) = default;
};

std::ostream& operator<<(std::ostream& out, const WindowCall& call);

class FakeWindow : public Window {
 public:
  // How long the waiting helpers wait before they give up and report failure.
  static constexpr std::chrono::seconds kWaitLimit{20};

  FakeWindow() = default;
  // Finishes the threads (see FinishThreads).
  ~FakeWindow() override;
  FakeWindow(const FakeWindow&) = delete;
  FakeWindow& operator=(const FakeWindow&) = delete;

  // --- Priming ---
  // The next OpenFileDialog answers this: confirm with path, or cancel. Without a queued
  // answer the dialog is cancelled.
  void QueueDialogAnswer(bool confirm, const Text& path = {});
  // Sets an edit box without recording a call.
  void PrimeEditText(EditBox box, const Text& text);
  // When false, SetClipboardText fails and leaves the clipboard as it is.
  void SetClipboardAvailable(bool available);
  // When false, StartThread fails and runs nothing.
  void SetThreadsAvailable(bool available);
  // When true (the default) a message box closes as soon as it is shown. When false each box
  // blocks its caller until the test closes it with CloseMessageBox.
  void SetMessageBoxesCloseAtOnce(bool atOnce);

  // --- Observing ---
  std::vector<WindowCall> Calls() const;
  std::vector<WindowCall> CallsNamed(const std::string& name) const;
  // The box's text, without recording a call.
  Text EditBoxText(EditBox box) const;
  // The last text put on the clipboard; nullopt until one was.
  std::optional<Text> ClipboardText() const;
  // Every message shown so far, in order.
  std::vector<Text> Messages() const;
  // Waits until at least count message boxes are open at once; false after kWaitLimit.
  bool WaitForOpenMessageBoxes(int count = 1);
  // Texts of the boxes open now, oldest first.
  std::vector<Text> OpenMessageBoxes() const;
  // Closes the oldest open box (its caller returns); false when none is open.
  bool CloseMessageBox();
  // Waits until every started thread has finished; false after kWaitLimit.
  bool WaitForThreads();
  // Waits until at least count calls named name were made; false after kWaitLimit.
  bool WaitForCalls(const std::string& name, int count);
  // Closes every open message box, lets no later box block or thread start, and joins every
  // started thread. Call it before anything the threads use goes away.
  void FinishThreads();

  // --- Window ---
  Text EditText(EditBox box) override;
  void SetEditText(EditBox box, const Text& text) override;
  bool OpenFileDialog() override;
  Text DialogFileName() override;
  void ShowMessageBox(const Text& text) override;
  bool SetClipboardText(const Text& text) override;
  bool StartThread(std::function<void()> routine) override;

 private:
  struct Box {
    Text text;
    bool closed = false;
  };
  struct Answer {
    bool confirm;
    Text path;
  };

  void RecordLocked(std::string name, int box, Text text);
  template <typename Predicate>
  bool WaitLocked(std::unique_lock<std::mutex>& lock, Predicate done);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<WindowCall> calls_;
  Text editBoxes_[3];
  std::deque<Answer> dialogAnswers_;
  Text dialogFileName_;
  bool clipboardAvailable_ = true;
  std::optional<Text> clipboard_;
  bool threadsAvailable_ = true;
  bool boxesCloseAtOnce_ = true;
  std::vector<Text> messages_;
  std::deque<Box*> openBoxes_;
  std::vector<std::thread> threads_;
  int runningThreads_ = 0;
};

}  // namespace quorvel

// The recording window of fake_window.h.
#include "fakes/fake_window.h"

#include <utility>

namespace quorvel {
namespace {

int BoxNumber(EditBox box) {
  return static_cast<int>(box) + 1;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const WindowCall& call) {
  out << call.name << "(";
  if (call.box != 0) out << "box " << call.box << ", ";
  out << '"';
  for (unsigned char c : call.text) {
    if (c >= 0x20 && c < 0x7F) {
      out << c;
    } else {
      static const char kHex[] = "0123456789ABCDEF";
      out << "\\x" << kHex[c >> 4] << kHex[c & 0xF];
    }
  }
  return out << "\")";
}

FakeWindow::~FakeWindow() {
  FinishThreads();
}

void FakeWindow::FinishThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    boxesCloseAtOnce_ = true;
    threadsAvailable_ = false;
    for (Box* box : openBoxes_)
      box->closed = true;
    openBoxes_.clear();
    threads.swap(threads_);
  }
  changed_.notify_all();
  for (std::thread& thread : threads)
    thread.join();
}

void FakeWindow::QueueDialogAnswer(bool confirm, const Text& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  dialogAnswers_.push_back({confirm, path});
}

void FakeWindow::PrimeEditText(EditBox box, const Text& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  editBoxes_[BoxNumber(box) - 1] = text;
}

void FakeWindow::SetClipboardAvailable(bool available) {
  std::lock_guard<std::mutex> lock(mutex_);
  clipboardAvailable_ = available;
}

void FakeWindow::SetThreadsAvailable(bool available) {
  std::lock_guard<std::mutex> lock(mutex_);
  threadsAvailable_ = available;
}

void FakeWindow::SetMessageBoxesCloseAtOnce(bool atOnce) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxesCloseAtOnce_ = atOnce;
}

std::vector<WindowCall> FakeWindow::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<WindowCall> FakeWindow::CallsNamed(const std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<WindowCall> named;
  for (const WindowCall& call : calls_) {
    if (call.name == name) named.push_back(call);
  }
  return named;
}

Text FakeWindow::EditBoxText(EditBox box) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return editBoxes_[BoxNumber(box) - 1];
}

std::optional<Text> FakeWindow::ClipboardText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return clipboard_;
}

std::vector<Text> FakeWindow::Messages() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messages_;
}

template <typename Predicate>
bool FakeWindow::WaitLocked(std::unique_lock<std::mutex>& lock, Predicate done) {
  return changed_.wait_for(lock, kWaitLimit, done);
}

bool FakeWindow::WaitForOpenMessageBoxes(int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return WaitLocked(lock, [&] { return static_cast<int>(openBoxes_.size()) >= count; });
}

std::vector<Text> FakeWindow::OpenMessageBoxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Text> texts;
  for (const Box* box : openBoxes_)
    texts.push_back(box->text);
  return texts;
}

bool FakeWindow::CloseMessageBox() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (openBoxes_.empty()) return false;
    openBoxes_.front()->closed = true;
    openBoxes_.pop_front();
  }
  changed_.notify_all();
  return true;
}

bool FakeWindow::WaitForThreads() {
  std::unique_lock<std::mutex> lock(mutex_);
  return WaitLocked(lock, [&] { return runningThreads_ == 0; });
}

bool FakeWindow::WaitForCalls(const std::string& name, int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return WaitLocked(lock, [&] {
    int seen = 0;
    for (const WindowCall& call : calls_)
      seen += call.name == name ? 1 : 0;
    return seen >= count;
  });
}

void FakeWindow::RecordLocked(std::string name, int box, Text text) {
  calls_.push_back({std::move(name), box, std::move(text)});
  changed_.notify_all();
}

Text FakeWindow::EditText(EditBox box) {
  std::lock_guard<std::mutex> lock(mutex_);
  Text text = editBoxes_[BoxNumber(box) - 1];
  RecordLocked("EditText", BoxNumber(box), text);
  return text;
}

void FakeWindow::SetEditText(EditBox box, const Text& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  editBoxes_[BoxNumber(box) - 1] = text;
  RecordLocked("SetEditText", BoxNumber(box), text);
}

bool FakeWindow::OpenFileDialog() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool confirmed = false;
  if (!dialogAnswers_.empty()) {
    confirmed = dialogAnswers_.front().confirm;
    if (confirmed) dialogFileName_ = dialogAnswers_.front().path;
    dialogAnswers_.pop_front();
  }
  RecordLocked("OpenFileDialog", 0, confirmed ? dialogFileName_ : Text());
  return confirmed;
}

Text FakeWindow::DialogFileName() {
  std::lock_guard<std::mutex> lock(mutex_);
  RecordLocked("DialogFileName", 0, dialogFileName_);
  return dialogFileName_;
}

void FakeWindow::ShowMessageBox(const Text& text) {
  std::unique_lock<std::mutex> lock(mutex_);
  messages_.push_back(text);
  RecordLocked("ShowMessageBox", 0, text);
  if (boxesCloseAtOnce_) return;
  Box box{text};
  openBoxes_.push_back(&box);
  changed_.notify_all();
  changed_.wait(lock, [&] { return box.closed; });
}

bool FakeWindow::SetClipboardText(const Text& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  RecordLocked("SetClipboardText", 0, text);
  if (!clipboardAvailable_) return false;
  clipboard_ = text;
  return true;
}

bool FakeWindow::StartThread(std::function<void()> routine) {
  std::lock_guard<std::mutex> lock(mutex_);
  RecordLocked("StartThread", 0, {});
  if (!threadsAvailable_) return false;
  ++runningThreads_;
  threads_.emplace_back([this, routine = std::move(routine)] {
    routine();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      --runningThreads_;
    }
    changed_.notify_all();
  });
  return true;
}

}  // namespace quorvel

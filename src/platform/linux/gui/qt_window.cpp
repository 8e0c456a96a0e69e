// Window over Qt 6 Widgets: every widget access runs on the GUI thread, directly when the
// caller is that thread and otherwise while the calling worker waits. Texts cross as GBK.
#include "qt_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QThread>
#include <system_error>
#include <thread>
#include <utility>

#include "gbk_qstring.h"
#include "message_box.h"

namespace quorvel {
namespace {

class QtWindow final : public Window {
 public:
  explicit QtWindow(MainWindow& mainWindow) : mainWindow_(mainWindow) {}

  Text EditText(EditBox box) override {
    QString text;
    OnGuiThread([&] { text = mainWindow_.Edit(box)->text(); });
    return QStringToGbk(text);
  }

  void SetEditText(EditBox box, const Text& text) override {
    const QString converted = GbkToQString(text);
    OnGuiThread([&] { mainWindow_.Edit(box)->setText(converted); });
  }

  bool OpenFileDialog() override { return mainWindow_.OpenFileDialog(); }

  Text DialogFileName() override {
    QString name;
    OnGuiThread([&] { name = mainWindow_.DialogFileName(); });
    return QStringToGbk(name);
  }

  void ShowMessageBox(const Text& text) override { ShowInformationBox(GbkToQString(text)); }

  // Qt owns the clipboard for the program and serves it as UTF-8 (and UTF-16) text.
  bool SetClipboardText(const Text& text) override {
    const QString converted = GbkToQString(text);
    bool placed = false;
    OnGuiThread([&] {
      if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(converted);
        placed = true;
      }
    });
    return placed;
  }

  bool StartThread(std::function<void()> routine) override {
    try {
      std::thread(std::move(routine)).detach();
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

 private:
  // Runs access on the GUI thread and returns when it has run. On the GUI thread it runs at
  // once; a worker waits while the GUI thread's event loop runs it, in order with its own
  // work. If that loop has ended (the program is closing), the worker waits until the
  // process ends.
  template <typename Access>
  void OnGuiThread(Access access) {
    if (QThread::currentThread() == mainWindow_.thread()) {
      access();
    } else {
      QMetaObject::invokeMethod(&mainWindow_, access, Qt::BlockingQueuedConnection);
    }
  }

  MainWindow& mainWindow_;
};

}  // namespace

std::unique_ptr<Window> CreateQtWindow(MainWindow& mainWindow) {
  return std::make_unique<QtWindow>(mainWindow);
}

}  // namespace quorvel

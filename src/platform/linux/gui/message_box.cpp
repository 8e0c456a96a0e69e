// Message boxes for the Qt window backend: built and shown on the GUI thread, awaited by the
// thread that asked for them. Any thread may call ShowInformationBox.
#include "message_box.h"

#include <QApplication>
#include <QEventLoop>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <future>
#include <memory>

#include "gbk_qstring.h"

namespace quorvel {
namespace {

const Text kCaption = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息：

// A parentless, non-modal box that deletes itself when closed and runs onClosed once then.
// GUI thread only.
template <typename OnClosed>
void OpenBox(const QString& text, OnClosed onClosed) {
  auto* box = new QMessageBox();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->setIcon(QMessageBox::NoIcon);
  box->setWindowTitle(GbkToQString(kCaption));
  box->setTextFormat(Qt::PlainText);
  box->setText(text);
  QPushButton* ok = box->addButton(QMessageBox::Ok);
  ok->setIcon(QIcon());       // a plain OK, whatever the style likes to decorate buttons with
  box->setDefaultButton(ok);  // Enter
  box->setEscapeButton(ok);   // Esc and the close button
  QObject::connect(box, &QMessageBox::finished, box, onClosed, Qt::SingleShotConnection);
  box->show();
}

}  // namespace

void ShowInformationBox(const QString& text) {
  QCoreApplication* application = QCoreApplication::instance();
  if (application == nullptr) return;
  if (QThread::currentThread() == application->thread()) {
    QEventLoop loop;
    OpenBox(text, [&loop] { loop.quit(); });
    loop.exec();
    return;
  }
  // The GUI thread may finish with the box after this worker has woken up and returned, so
  // both sides hold the promise.
  auto closed = std::make_shared<std::promise<void>>();
  std::future<void> done = closed->get_future();
  QMetaObject::invokeMethod(
      application, [text, closed] { OpenBox(text, [closed] { closed->set_value(); }); },
      Qt::QueuedConnection);
  done.wait();
}

}  // namespace quorvel

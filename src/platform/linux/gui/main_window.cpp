// MainWindow: builds the window and its controls from one table of positions and texts, keeps
// its outer size at 380 x 250 once the window manager has told the frame, and runs the
// open-file dialog. GUI thread only; the program's start-up creates it.
#include "main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <limits>

#include "gbk_qstring.h"

namespace quorvel {
namespace {

// The window's own texts, as GBK.
const Text kCaption = "quorvel(Tessmoor)";
const Text kPackageFilter = "\xD0\xA1\xB3\xCC\xD0\xF2\xB0\xFC(*.wxapkg)";  // 小程序包(*.wxapkg)

struct Control {
  enum Kind { kLabel, kEdit, kButton } kind;
  int left, top, width, height;
  const char* text;  // GBK
};

// In creation order, which is also the reading order; client-area coordinates.
const Control kControls[] = {
    {Control::kLabel, 6, 14, 32, 30, "\xCE\xC4\xBC\xFE"},                     // 标签1 文件
    {Control::kEdit, 40, 16, 216, 24, ""},                                    // 编辑框1
    {Control::kButton, 272, 16, 80, 24, "\xD1\xA1\xD4\xF1\xCE\xC4\xBC\xFE"},  // 按钮1 选择文件
    {Control::kLabel, 7, 53, 32, 30, "\xB1\xE0\xBA\xC5"},                     // 标签2 编号
    {Control::kEdit, 40, 56, 216, 24, ""},                                    // 编辑框2
    {Control::kButton, 272, 56, 80, 24, "\xCC\xE1\xBD\xBB"},                  // 按钮2 提交
    {Control::kButton, 107, 103, 80, 29, "\xB2\xE9\xD1\xAF"},                 // 按钮3 查询
    {Control::kLabel, 5, 148, 32, 30, "\xD7\xB4\xCC\xAC"},                    // 标签3 状态
    {Control::kEdit, 40, 152, 216, 24, ""},                                   // 编辑框3
    {Control::kButton, 274, 151, 80, 24, "\xB8\xB4\xD6\xC6"},                 // 按钮4 复制
};

// Where the outer top-left corner goes so that the window sits centred on the primary screen.
QPoint CentredOrigin() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect area = screen->geometry();
  return {area.x() + (area.width() - MainWindow::kOuterWidth) / 2,
          area.y() + (area.height() - MainWindow::kOuterHeight) / 2};
}

}  // namespace

MainWindow::MainWindow()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
  setWindowTitle(GbkToQString(kCaption));

  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  setAutoFillBackground(true);

  int edits = 0;
  int buttons = 0;
  for (const Control& control : kControls) {
    const QString text = GbkToQString(control.text);
    QWidget* widget = nullptr;
    if (control.kind == Control::kLabel) {
      widget = new QLabel(text, this);
    } else if (control.kind == Control::kEdit) {
      auto* edit = new QLineEdit(this);
      edit->setReadOnly(true);
      // Qt would cut a text at 32767 characters; the program's texts (a long path, a long
      // answer) must stay whole.
      edit->setMaxLength(std::numeric_limits<int>::max());
      edit->setFocusPolicy(Qt::ClickFocus);  // selectable with the mouse, skipped by Tab
      QPalette white = edit->palette();
      white.setColor(QPalette::Base, Qt::white);
      white.setColor(QPalette::Text, Qt::black);
      edit->setPalette(white);
      edits_[edits++] = edit;
      widget = edit;
    } else {
      auto* button = new QPushButton(text, this);
      button->setAutoDefault(false);
      buttons_[buttons++] = button;
      widget = button;
    }
    widget->setGeometry(control.left, control.top, control.width, control.height);
  }
  for (int i = 0; i + 1 < 4; ++i)
    setTabOrder(buttons_[i], buttons_[i + 1]);
  buttons_[0]->setFocus();

  // With no frame known yet the client area takes the whole outer size; FitToFrame shrinks
  // it once the window manager has framed the window.
  setFixedSize(kOuterWidth, kOuterHeight);
  move(CentredOrigin());
}

QLineEdit* MainWindow::Edit(EditBox box) const {
  return edits_[static_cast<int>(box)];
}

QPushButton* MainWindow::Button(int number) const {
  return number >= 1 && number <= 4 ? buttons_[number - 1] : nullptr;
}

bool MainWindow::OpenFileDialog() {
  QFileDialog dialog(this);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);  // the file and its folder must exist
  dialog.setNameFilter(GbkToQString(kPackageFilter));
  if (!dialogFileName_.isEmpty()) dialog.selectFile(dialogFileName_);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  dialogFileName_ = QDir::toNativeSeparators(QFileInfo(chosen.first()).absoluteFilePath());
  return true;
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The frame becomes known when the window manager has reparented the window, which shows
  // up as a move or an activation after the first show.
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::WindowActivate:
    case QEvent::UpdateRequest:
      FitToFrame();
      break;
    default:
      break;
  }
  return handled;
}

// Keeps the outer size at kOuterWidth x kOuterHeight: the client area is what the frame
// leaves. Runs again only when the frame changes, so it never fights the user's moves.
void MainWindow::FitToFrame() {
  QWindow* handle = windowHandle();
  if (handle == nullptr) return;
  const QMargins margins = handle->frameMargins();
  if (margins == fittedMargins_) return;
  fittedMargins_ = margins;
  const QSize client(kOuterWidth - margins.left() - margins.right(),
                     kOuterHeight - margins.top() - margins.bottom());
  if (client.width() > 0 && client.height() > 0) setFixedSize(client);
}

// Enter presses the focused button, as Space does.
void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget());
        button && button->parent() == this) {
      button->click();
      return;
    }
  }
  QWidget::keyPressEvent(event);
}

// Closing the window ends the message loop, whatever other windows (message boxes of
// workers) are still open.
void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  QCoreApplication::quit();
}

}  // namespace quorvel

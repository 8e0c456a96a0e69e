// MainWindow: the program's one window with its eleven controls at fixed pixel positions, and
// 通用对话框1, the open-file dialog it owns. GUI thread only.
#pragma once

#include <QMargins>
#include <QString>
#include <QWidget>

#include "platform/window.h"

class QLineEdit;
class QPushButton;

namespace quorvel {

class MainWindow final : public QWidget {
 public:
  // The outer size, frame and title bar included, as far as the window manager tells it.
  static constexpr int kOuterWidth = 380;
  static constexpr int kOuterHeight = 250;

  // Builds the window with its controls, sized and centred on the primary screen; not shown.
  MainWindow();

  QLineEdit* Edit(EditBox box) const;
  // 按钮1 to 按钮4 for number 1 to 4; nullptr for any other number.
  QPushButton* Button(int number) const;

  // 通用对话框1 "open": shows the open-file dialog modally over this window, offering the
  // remembered full path; true when the user confirmed a file, which is then remembered.
  bool OpenFileDialog();
  // 通用对话框1 "file name": the remembered full path; empty until the first confirmation.
  QString DialogFileName() const { return dialogFileName_; }

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FitToFrame();

  QLineEdit* edits_[3] = {};
  QPushButton* buttons_[4] = {};
  QString dialogFileName_;
  QMargins fittedMargins_;
};

}  // namespace quorvel

// The program on Linux: starts Qt, shows MainWindow with its buttons bound to the workflow,
// runs the message loop and ends the process as soon as the window is closed.
#include <QApplication>
#include <QIcon>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "main_window.h"
#include "qt_window.h"

int main(int argc, char** argv) {
  using namespace quorvel;

  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName("quorvel");
  QApplication::setWindowIcon(QIcon(":/quorvel.png"));
  // Message boxes of workers may still be open when MainWindow closes; closing MainWindow is
  // what ends the loop.
  QApplication::setQuitOnLastWindowClosed(false);

  // The package text starts empty; ReleasePackage runs when the process ends.
  std::at_quick_exit(ReleasePackage);

  MainWindow mainWindow;
  const std::unique_ptr<Window> window = CreateQtWindow(mainWindow);
  AttachWindow(window.get());
  QObject::connect(mainWindow.Button(1), &QPushButton::clicked, [] { SelectPackage(); });
  QObject::connect(mainWindow.Button(2), &QPushButton::clicked, [] { StartSubmission(); });
  QObject::connect(mainWindow.Button(3), &QPushButton::clicked, [] { QueryResult(); });
  QObject::connect(mainWindow.Button(4), &QPushButton::clicked, [] { CopyResult(); });
  mainWindow.show();

  application.exec();

  // Workers may still be waiting for a reply, for the GUI thread or for a message box: end
  // the process without unwinding, so that none of them ever touches a destroyed Qt object
  // or shows anything. Only ReleasePackage runs.
  std::fflush(nullptr);
  std::quick_exit(EXIT_SUCCESS);
}

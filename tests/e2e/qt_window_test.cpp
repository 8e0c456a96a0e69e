// The Qt window backend in-process, on Qt's offscreen platform: MainWindow's layout and keys,
// and the Window interface (edit boxes, file dialog, message boxes, clipboard, threads) as
// the workflow uses it from the GUI thread and from workers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <future>
#include <thread>

#include "gbk_qstring.h"
#include "main_window.h"
#include "qt_window.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 10000;

QString Q(const char16_t* text) {
  return QString::fromUtf16(text);
}

// Runs the GUI thread's event loop until done() holds; false after kWaitMs.
bool WaitFor(const std::function<bool()>& done) {
  return QTest::qWaitFor(done, kWaitMs);
}

// The visible message boxes, oldest first.
QList<QMessageBox*> OpenBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes << box;
  }
  return boxes;
}

class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mainWindow_.show();
    mainWindow_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow_));
  }
  void TearDown() override {
    for (QMessageBox* box : OpenBoxes())
      box->close();
    QTest::qWait(0);
  }

  MainWindow mainWindow_;
  std::unique_ptr<Window> window_ = CreateQtWindow(mainWindow_);
};

TEST(GbkQStringTest, ConvertsBothWays) {
  struct Case {
    Text gbk;
    QString unicode;
  };
  const Case cases[] = {
      {"", ""},
      {"C:\\a b/x.wxapkg", "C:\\a b/x.wxapkg"},
      {"\xD0\xC5\xCF\xA2\xA3\xBA", Q(u"信息：")},
      {"\xD7\xB4\xCC\xAC 32 \xB1\xE0\xBA\xC5", Q(u"状态 32 编号")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToQString(c.gbk), c.unicode) << c.gbk;
    EXPECT_EQ(QStringToGbk(c.unicode), c.gbk) << c.unicode.toStdString();
  }
  // A character GBK lacks cannot name a file the text layer could open again: it becomes "?".
  EXPECT_EQ(QStringToGbk(Q(u"/tmp/\U0001F4E6.wxapkg")), "/tmp/?.wxapkg");
}

TEST_F(QtWindowTest, WindowMatchesTheDesign) {
  EXPECT_EQ(mainWindow_.windowTitle(), "quorvel(Tessmoor)");
  // The outer size is fixed at 380 x 250 and the client area is what the frame leaves (this
  // platform draws a thin frame of its own), centred on the screen.
  const QMargins frame = mainWindow_.windowHandle()->frameMargins();
  const QSize client(380 - frame.left() - frame.right(), 250 - frame.top() - frame.bottom());
  EXPECT_EQ(mainWindow_.minimumSize(), client);
  EXPECT_EQ(mainWindow_.maximumSize(), client);
  EXPECT_EQ(mainWindow_.size(), client);
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(mainWindow_.frameGeometry(),
            QRect((screen.width() - 380) / 2, (screen.height() - 250) / 2, 380, 250));
  const Qt::WindowFlags flags = mainWindow_.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(mainWindow_.palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Button));

  struct Expected {
    QWidget* widget;
    QRect geometry;
    QString text;
  };
  const QList<QLabel*> labels = mainWindow_.findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
  ASSERT_EQ(labels.size(), 3);
  const Expected controls[] = {
      {labels[0], {6, 14, 32, 30}, Q(u"文件")},
      {mainWindow_.Edit(EditBox::编辑框1), {40, 16, 216, 24}, ""},
      {mainWindow_.Button(1), {272, 16, 80, 24}, Q(u"选择文件")},
      {labels[1], {7, 53, 32, 30}, Q(u"编号")},
      {mainWindow_.Edit(EditBox::编辑框2), {40, 56, 216, 24}, ""},
      {mainWindow_.Button(2), {272, 56, 80, 24}, Q(u"提交")},
      {mainWindow_.Button(3), {107, 103, 80, 29}, Q(u"查询")},
      {labels[2], {5, 148, 32, 30}, Q(u"状态")},
      {mainWindow_.Edit(EditBox::编辑框3), {40, 152, 216, 24}, ""},
      {mainWindow_.Button(4), {274, 151, 80, 24}, Q(u"复制")},
  };
  for (const Expected& control : controls) {
    SCOPED_TRACE(control.text.toStdString());
    EXPECT_EQ(control.widget->geometry(), control.geometry);
    EXPECT_TRUE(control.widget->isVisible());
    EXPECT_TRUE(control.widget->isEnabled());
    if (auto* label = qobject_cast<QLabel*>(control.widget)) {
      EXPECT_EQ(label->text(), control.text);
    }
    if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
      EXPECT_EQ(button->text(), control.text);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control.widget)) {
      EXPECT_TRUE(edit->text().isEmpty());
      EXPECT_TRUE(edit->isReadOnly());
      EXPECT_TRUE(edit->hasFrame());
      EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
      EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
    }
  }
}

TEST_F(QtWindowTest, TabWalksTheFourButtonsAndEnterOrSpacePressesTheFocusedOne) {
  mainWindow_.Button(1)->setFocus();
  ASSERT_TRUE(WaitFor([&] { return mainWindow_.Button(1)->hasFocus(); }));
  for (int next : {2, 3, 4, 1}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), mainWindow_.Button(next)) << "after Tab to " << next;
  }
  for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
    int clicks[5] = {};
    std::vector<QMetaObject::Connection> connections;
    for (int i = 1; i <= 4; ++i) {
      connections.push_back(QObject::connect(mainWindow_.Button(i), &QPushButton::clicked,
                                             [&clicks, i] { ++clicks[i]; }));
    }
    mainWindow_.Button(3)->setFocus();
    QTest::keyClick(mainWindow_.Button(3), key);
    EXPECT_EQ(clicks[3], 1) << "key " << key;
    EXPECT_EQ(clicks[1] + clicks[2] + clicks[4], 0) << "key " << key;
    for (const auto& connection : connections)
      QObject::disconnect(connection);
  }
}

TEST_F(QtWindowTest, EditBoxesAreReadAndReplacedFromAnyThreadAsGbk) {
  const Text id = "0123456789abcdef0123456789ABCDEF";
  const Text answer = "\xD7\xB4\xCC\xAC: \xB8\xB4\xD6\xC6";  // 状态: 复制
  window_->SetEditText(EditBox::编辑框1, answer);
  EXPECT_EQ(mainWindow_.Edit(EditBox::编辑框1)->text(), Q(u"状态: 复制"));
  EXPECT_EQ(window_->EditText(EditBox::编辑框1), answer);

  // A worker's accesses run on the GUI thread while it waits, in order with each other.
  std::atomic<bool> workerDone = false;
  Text readBack;
  std::thread worker([&] {
    window_->SetEditText(EditBox::编辑框2, id);
    window_->SetEditText(EditBox::编辑框3, answer);
    readBack = window_->EditText(EditBox::编辑框2);
    workerDone = true;
  });
  EXPECT_TRUE(WaitFor([&] { return workerDone.load(); }));
  worker.join();
  EXPECT_EQ(readBack, id);
  EXPECT_EQ(mainWindow_.Edit(EditBox::编辑框2)->text(), QString::fromStdString(id));
  EXPECT_EQ(mainWindow_.Edit(EditBox::编辑框3)->text(), Q(u"状态: 复制"));
  EXPECT_EQ(mainWindow_.Edit(EditBox::编辑框1)->text(), Q(u"状态: 复制"));

  window_->SetEditText(EditBox::编辑框3, "");
  EXPECT_TRUE(mainWindow_.Edit(EditBox::编辑框3)->text().isEmpty());

  // Long texts stay whole (a line edit's default limit is 32767 characters).
  Text longAnswer;
  for (int i = 0; i < 20000; ++i)
    longAnswer += "×´";  // 状 x 20000
  longAnswer += "end";
  window_->SetEditText(EditBox::编辑框3, longAnswer);
  EXPECT_EQ(window_->EditText(EditBox::编辑框3), longAnswer);
}

TEST_F(QtWindowTest, WorkerBoxesBlockOnlyTheirOwnWorker) {
  // 提交成功... and 提交失败, from two workers at once.
  const Text first = "\xCC\xE1\xBD\xBB\xB3\xC9\xB9\xA6";
  const Text second = "\xCC\xE1\xBD\xBB\xCA\xA7\xB0\xDC";
  std::atomic<int> returned[2] = {0, 0};
  std::thread firstWorker([&] {
    window_->ShowMessageBox(first);
    returned[0] = 1;
  });
  ASSERT_TRUE(WaitFor([] { return OpenBoxes().size() == 1; }));
  std::thread secondWorker([&] {
    window_->ShowMessageBox(second);
    returned[1] = 1;
  });
  ASSERT_TRUE(WaitFor([] { return OpenBoxes().size() == 2; }));

  for (QMessageBox* box : OpenBoxes()) {
    EXPECT_EQ(box->windowTitle(), Q(u"信息："));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    EXPECT_EQ(box->parentWidget(), nullptr);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
  }
  // The main window stays usable: no modal window, and its buttons still click.
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  int clicks = 0;
  QObject::connect(mainWindow_.Button(3), &QPushButton::clicked, [&clicks] { ++clicks; });
  QTest::mouseClick(mainWindow_.Button(3), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);

  QMessageBox* firstBox =
      OpenBoxes()[0]->text() == Q(u"提交成功") ? OpenBoxes()[0] : OpenBoxes()[1];
  QMessageBox* secondBox = firstBox == OpenBoxes()[0] ? OpenBoxes()[1] : OpenBoxes()[0];
  ASSERT_EQ(firstBox->text(), Q(u"提交成功"));
  ASSERT_EQ(secondBox->text(), Q(u"提交失败"));

  // Esc closes the first box and frees only its worker; Enter closes the second.
  QTest::keyClick(firstBox, Qt::Key_Escape);
  EXPECT_TRUE(WaitFor([&] { return returned[0].load() == 1; }));
  QTest::qWait(50);
  EXPECT_EQ(returned[1].load(), 0);
  ASSERT_EQ(OpenBoxes().size(), 1);
  QTest::keyClick(secondBox, Qt::Key_Return);
  EXPECT_TRUE(WaitFor([&] { return returned[1].load() == 1; }));
  EXPECT_TRUE(OpenBoxes().isEmpty());
  firstWorker.join();
  secondWorker.join();
}

TEST_F(QtWindowTest, GuiThreadBoxWaitsWhileTheWindowAndWorkersCarryOn) {
  // While CopyResult's box is open on the GUI thread, a worker still writes an edit box and
  // shows its own box, and the main window still takes clicks.
  std::atomic<bool> workerWrote = false;
  std::thread worker;
  int clicks = 0;
  QObject::connect(mainWindow_.Button(1), &QPushButton::clicked, [&clicks] { ++clicks; });
  bool sawBothBoxes = false;
  QTimer::singleShot(0, [&] {
    worker = std::thread([&] {
      window_->SetEditText(EditBox::编辑框3, "x");
      workerWrote = true;
      window_->ShowMessageBox("worker");
    });
    sawBothBoxes = WaitFor([] { return OpenBoxes().size() == 2; });
    QTest::mouseClick(mainWindow_.Button(1), Qt::LeftButton);
    for (QMessageBox* box : OpenBoxes())
      box->button(QMessageBox::Ok)->click();
  });
  window_->ShowMessageBox("\xB8\xB4\xD6\xC6\xCD\xEA\xB1\xCF");  // 复制完毕
  EXPECT_TRUE(sawBothBoxes);
  EXPECT_TRUE(workerWrote);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(mainWindow_.Edit(EditBox::编辑框3)->text(), "x");
  worker.join();
}

// Runs act on the file dialog once it is open and modal.
void WithDialog(std::function<void(QFileDialog*)> act) {
  QTimer::singleShot(0, [act] {
    QFileDialog* dialog = nullptr;
    WaitFor([&] {
      dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      return dialog != nullptr;
    });
    ASSERT_NE(dialog, nullptr);
    act(dialog);
  });
}

// Types name (ASCII) into the dialog's file name box as a user would.
void TypeFileName(QFileDialog* dialog, const QString& name) {
  auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, name);
}

TEST_F(QtWindowTest, FileDialogRemembersTheConfirmedPathAndKeepsItOnCancel) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString chosen = folder.filePath(Q(u"小程序包.wxapkg"));
  QFile file(chosen);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  // Before any confirmation: cancelling leaves no name.
  WithDialog([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->parentWidget(), &mainWindow_);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(), QStringList{Q(u"小程序包(*.wxapkg)")});
    dialog->reject();
  });
  EXPECT_FALSE(window_->OpenFileDialog());
  EXPECT_EQ(window_->DialogFileName(), "");

  WithDialog([&](QFileDialog* dialog) {
    dialog->setDirectory(folder.path());
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(Q(u"小程序包.wxapkg"));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_TRUE(window_->OpenFileDialog());
  const Text expected = QStringToGbk(QDir::toNativeSeparators(chosen));
  EXPECT_EQ(window_->DialogFileName(), expected);
  EXPECT_NE(expected.find("\xD0\xA1\xB3\xCC\xD0\xF2\xB0\xFC.wxapkg"), Text::npos);

  // The next dialog offers the remembered path; cancelling keeps it.
  WithDialog([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->selectedFiles(), QStringList{chosen});
    dialog->reject();
  });
  EXPECT_FALSE(window_->OpenFileDialog());
  EXPECT_EQ(window_->DialogFileName(), expected);

  // A name that does not exist is not accepted.
  WithDialog([&](QFileDialog* dialog) {
    dialog->setDirectory(folder.path());
    TypeFileName(dialog, "missing.wxapkg");
    static_cast<QDialog*>(dialog)->accept();
    QTimer::singleShot(0, [] {
      for (QMessageBox* box : OpenBoxes())
        box->close();  // Qt's "file not found" warning
    });
    EXPECT_TRUE(dialog->isVisible());
    dialog->reject();
  });
  EXPECT_FALSE(window_->OpenFileDialog());
  EXPECT_EQ(window_->DialogFileName(), expected);
}

TEST_F(QtWindowTest, ClipboardReceivesTheTextAsUnicodeFromAnyThread) {
  EXPECT_TRUE(window_->SetClipboardText("\xD7\xB4\xCC\xAC ok"));  // 状态 ok
  EXPECT_EQ(QGuiApplication::clipboard()->text(), Q(u"状态 ok"));

  std::future<bool> placed =
      std::async(std::launch::async, [&] { return window_->SetClipboardText(""); });
  EXPECT_TRUE(WaitFor([&] { return placed.wait_for(0s) == std::future_status::ready; }));
  EXPECT_TRUE(placed.get());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
}

TEST_F(QtWindowTest, StartThreadRunsTheRoutineOnAnotherThread) {
  std::promise<std::thread::id> ranOn;
  std::future<std::thread::id> ran = ranOn.get_future();
  EXPECT_TRUE(window_->StartThread([&ranOn] { ranOn.set_value(std::this_thread::get_id()); }));
  ASSERT_EQ(ran.wait_for(10s), std::future_status::ready);
  EXPECT_NE(ran.get(), std::this_thread::get_id());
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

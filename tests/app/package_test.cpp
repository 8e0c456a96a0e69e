// SelectPackage, ReleasePackage and the upload text they keep, with real files and the
// recording window.
#include <atomic>
#include <string>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app.h"
#include "support/app_harness.h"
#include "support/scratch_dir.h"

namespace quorvel {
namespace {

using test::AppHarness;
using test::ScratchDir;

TEST(SelectPackageTest, KeepsTheBase64OfTheFileWithPlusSignsEscaped) {
  struct Case {
    const char* name;
    std::string bytes;
    Text expected;
  };
  const Case cases[] = {
      {"one byte 0xFB", "\xFB", "%2Bw=="},
      {"three 0xFF", "\xFF\xFF\xFF", "////"},
      {"empty file", "", ""},
      {"only plus signs", "\xFB\xEF\xBE\xFB\xEF\xBE", "%2B%2B%2B%2B%2B%2B%2B%2B"},
      {"zero byte inside", std::string("a\0b", 3), "YQBi"},
      {"slash and pad kept", "\xFB\xFF", "%2B/8="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    AppHarness app;
    const std::string path = dir.Write("package.wxapkg", c.bytes);
    app.window.QueueDialogAnswer(true, path);
    SelectPackage();
    EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框1), path);
    EXPECT_EQ(CopyEncodedPackage(), c.expected);
  }
}

TEST(SelectPackageTest, CancelBeforeAnyChoiceLeavesPathAndPackageEmpty) {
  AppHarness app;
  SelectPackage();
  EXPECT_THAT(app.window.CallsNamed("SetEditText"),
              testing::ElementsAre(WindowCall{"SetEditText", 1, ""}));
  EXPECT_EQ(CopyEncodedPackage(), "");
}

TEST(SelectPackageTest, CancelRereadsTheLastChosenFileAsItNowIs) {
  ScratchDir dir;
  AppHarness app;
  const std::string path = dir.Write("a.wxapkg", "abc");
  app.window.QueueDialogAnswer(true, path);
  SelectPackage();
  ASSERT_EQ(CopyEncodedPackage(), "YWJj");

  dir.Write("a.wxapkg", "\xFB");
  app.window.QueueDialogAnswer(false);
  SelectPackage();
  EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框1), path);
  EXPECT_EQ(CopyEncodedPackage(), "%2Bw==");
}

TEST(SelectPackageTest, UnreadableChoiceReplacesTheOldPackageWithEmpty) {
  ScratchDir dir;
  AppHarness app;
  app.window.QueueDialogAnswer(true, dir.Write("a.wxapkg", "abc"));
  SelectPackage();
  ASSERT_EQ(CopyEncodedPackage(), "YWJj");

  for (const std::string& path : {dir.PathOf("missing.wxapkg"), dir.PathOf("")}) {
    SCOPED_TRACE(path);
    app.window.QueueDialogAnswer(true, path);
    SelectPackage();
    EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框1), path);
    EXPECT_EQ(CopyEncodedPackage(), "");
  }
}

TEST(SelectPackageTest, ReleaseEmptiesThePackage) {
  ScratchDir dir;
  AppHarness app;
  app.window.QueueDialogAnswer(true, dir.Write("a.wxapkg", "abc"));
  SelectPackage();
  ReleasePackage();
  EXPECT_EQ(CopyEncodedPackage(), "");
}

// A reader on another thread sees only whole values while the GUI thread keeps replacing the
// package (ThreadSanitizer also watches the lock here).
TEST(SelectPackageTest, CopiesTakenDuringReplacementsAreWhole) {
  ScratchDir dir;
  AppHarness app;
  const std::string first = dir.Write("a.wxapkg", std::string(3000, 'a'));
  const std::string second = dir.Write("b.wxapkg", std::string(1500, '\xFB'));
  Text expected[2];
  for (int i = 0; i < 2; ++i) {
    app.window.QueueDialogAnswer(true, i == 0 ? first : second);
    SelectPackage();
    expected[i] = CopyEncodedPackage();
  }
  ASSERT_EQ(expected[0].size(), 4000u);
  ASSERT_EQ(expected[1].size(), 3000u);

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const Text copy = CopyEncodedPackage();
      if (copy != expected[0] && copy != expected[1]) ++torn;
    }
  });
  for (int i = 0; i < 200; ++i) {
    app.window.QueueDialogAnswer(true, i % 2 == 0 ? first : second);
    SelectPackage();
  }
  done.store(true);
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace quorvel

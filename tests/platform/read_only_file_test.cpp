// ReadFileBytes over the Linux read-only file: what it gives for paths that cannot be read,
// exact bytes of ordinary and GBK-named files, and writers kept out while a file is open.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>

#include "platform/read_only_file.h"
#include "support/scratch_dir.h"
#include "text/text.h"

namespace quorvel {
namespace {

ByteArray BytesOf(const std::string& text) {
  return ByteArray(text.begin(), text.end());
}

// True when the kernel grants this process a read lease on path (owner or CAP_LEASE, and a
// file system that has leases); the tests of lease refusals need that.
bool LeasesWork(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  const bool granted = fd >= 0 && fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
  if (fd >= 0) close(fd);
  return granted;
}

TEST(ReadFileBytes, GivesEmptyArrayForWhatCannotBeRead) {
  test::ScratchDir dir;
  const std::string empty = dir.Write("empty.wxapkg", "");
  const std::string folder = dir.PathOf("folder");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  struct Case {
    const char* name;
    Text path;
  };
  for (const Case& c : {Case{"empty path", ""}, Case{"missing file", dir.PathOf("missing")},
                        Case{"zero-length file", empty}, Case{"directory", folder},
                        Case{"invalid GBK in the path", dir.PathOf("\x81")}}) {
    EXPECT_EQ(ReadFileBytes(c.path), ByteArray()) << c.name;
  }
}

TEST(ReadFileBytes, NeverWaitsOnFifo) {
  test::ScratchDir dir;
  const std::string fifo = dir.PathOf("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  auto result = std::async(std::launch::async, [&fifo] { return ReadFileBytes(fifo); });
  if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    // Blocked in open: a writer arriving releases it, so the test still ends.
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ADD_FAILURE() << "ReadFileBytes blocked on a FIFO";
    result.wait();
    if (writer >= 0) close(writer);
    return;
  }
  EXPECT_EQ(result.get(), ByteArray());
}

TEST(ReadFileBytes, ReadsExactBytesWithSpareCapacity) {
  test::ScratchDir dir;
  std::string content("\0\x01\xFF\0 MZ\0", 8);
  for (int i = 0; i < (3 << 20) / 8; ++i)
    content += content.substr(0, 8);  // several chunks
  const ByteArray bytes = ReadFileBytes(dir.Write("zeros.wxapkg", content));
  EXPECT_TRUE(bytes == BytesOf(content));
  EXPECT_GE(bytes.capacity(), bytes.size() + 2);  // room to pad without moving

  const ByteArray small = ReadFileBytes(dir.Write("one", std::string(1, '\0')));
  EXPECT_EQ(small, ByteArray{0});
  EXPECT_GE(small.capacity(), 3u);
}

TEST(ReadFileBytes, OpensGbkNamedFiles) {
  test::ScratchDir dir;
  // On disk the name is UTF-8 "中文.wxapkg"; the caller names it in GBK.
  dir.Write("\xE4\xB8\xAD\xE6\x96\x87.wxapkg", "package");
  const Text gbkPath = dir.PathOf("") + "\xD6\xD0\xCE\xC4.wxapkg";
  EXPECT_EQ(ReadFileBytes(gbkPath), BytesOf("package"));
}

TEST(ReadFileBytes, RefusesFileWhileAWriterHoldsIt) {
  test::ScratchDir dir;
  const std::string path = dir.Write("busy.wxapkg", "content");

  // A cooperating writer's exclusive lock.
  const int locker = open(path.c_str(), O_RDONLY);
  ASSERT_GE(locker, 0);
  ASSERT_EQ(flock(locker, LOCK_EX), 0);
  EXPECT_EQ(ReadFileBytes(path), ByteArray());
  close(locker);
  EXPECT_EQ(ReadFileBytes(path), BytesOf("content"));

  if (!LeasesWork(path)) GTEST_SKIP() << "no read leases here; open writers go unnoticed";
  // Another process that has the file open for writing, without any lock. It waits on a pipe
  // for the test to finish, and gives up by itself after a while.
  int ready[2];
  int release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(30);
    close(release[1]);
    close(ready[0]);
    const int fd = open(path.c_str(), O_WRONLY);
    char byte = fd >= 0 ? 'y' : 'n';
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    static_cast<void>(read(release[0], &byte, 1));
    _exit(0);
  }
  close(ready[1]);
  close(release[0]);
  char opened = 'n';
  ASSERT_EQ(read(ready[0], &opened, 1), 1);
  ASSERT_EQ(opened, 'y');
  EXPECT_EQ(ReadFileBytes(path), ByteArray());
  close(release[1]);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  EXPECT_EQ(ReadFileBytes(path), BytesOf("content"));
}

TEST(ReadOnlyFile, KeepsWritersOutWhileOpenAndLetsThemInAfter) {
  test::ScratchDir dir;
  const std::string path = dir.Write("held.wxapkg", "content");
  if (!LeasesWork(path)) GTEST_SKIP() << "no read leases here";
  {
    std::unique_ptr<ReadOnlyFile> file = OpenReadOnlyFile(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Length(), 7);
    // A writer that will not wait is turned away. That also starts the kernel's notice to the
    // lease holder, which must not end this process.
    errno = 0;
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    EXPECT_EQ(writer, -1);
    EXPECT_EQ(errno, EWOULDBLOCK);
    if (writer >= 0) close(writer);
    std::uint8_t buffer[16];
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 7);
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 0);
  }
  // Closed: writers get in at once.
  const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
  EXPECT_GE(writer, 0);
  if (writer >= 0) close(writer);
}

}  // namespace
}  // namespace quorvel

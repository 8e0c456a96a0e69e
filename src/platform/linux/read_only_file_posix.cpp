// Linux backend of ReadOnlyFile: a regular file opened read-only under a shared advisory lock
// and, where the kernel grants one, a read lease. Only the portable ReadFileBytes calls it.
#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/read_only_file.h"

namespace quorvel {
namespace {

// The GBK path as UTF-8, the file-name encoding of the desktop; empty when it cannot be
// converted (an invalid GBK sequence or a zero byte).
std::string PathToUtf8(const Text& path) {
  if (path.find('\0') != Text::npos) return std::string();
  iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::string();
  // A GBK character of two bytes becomes at most three UTF-8 bytes, an ASCII byte one.
  std::string utf8(path.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(path.data());
  std::size_t inLeft = path.size();
  char* out = utf8.data();
  std::size_t outLeft = utf8.size();
  const bool converted =
      iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
      iconv(converter, nullptr, nullptr, &out, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  if (!converted || inLeft != 0) return std::string();
  utf8.resize(utf8.size() - outLeft);
  return utf8;
}

class PosixReadOnlyFile final : public ReadOnlyFile {
 public:
  explicit PosixReadOnlyFile(int fd) : fd_(fd) {}
  ~PosixReadOnlyFile() override { close(fd_); }  // also drops the lock and the lease
  PosixReadOnlyFile(const PosixReadOnlyFile&) = delete;
  PosixReadOnlyFile& operator=(const PosixReadOnlyFile&) = delete;

  std::int64_t Length() override {
    struct stat status {};
    if (fstat(fd_, &status) != 0) return -1;
    return static_cast<std::int64_t>(status.st_size);
  }

  std::int64_t Read(std::uint8_t* buffer, std::int64_t count) override {
    if (count <= 0) return 0;
    // Linux moves at most about 2 GiB per call; the caller loops for the rest.
    const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 30));
    for (;;) {
      const ssize_t got = read(fd_, buffer, chunk);
      if (got >= 0) return got;
      if (errno != EINTR) return -1;
    }
  }

 private:
  int fd_;
};

// False while a writer is known: a cooperating writer holds an exclusive flock, or some
// process has the file open for writing (the kernel then refuses a read lease). Both locks
// stay until the descriptor is closed. A lease is only granted to the file's owner or with
// CAP_LEASE and not on every file system, so refusals for those reasons are ignored, as is a
// file system without flock.
bool KeepWritersOut(int fd) {
  if (flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK) return false;
  // While the lease is held, a process that opens the file for writing waits until it is
  // closed (or the kernel's lease-break time runs out), and the kernel signals the lease
  // holder, by default with SIGIO, which would end this process. The signal is made SIGURG
  // (ignored unless handled) before the lease exists, and dropped altogether once the lease
  // is in place by leaving the descriptor without an owner.
  fcntl(fd, F_SETSIG, SIGURG);
  if (fcntl(fd, F_SETLEASE, F_RDLCK) != 0) return errno != EAGAIN;
  fcntl(fd, F_SETOWN, 0);
  return true;
}

}  // namespace

std::unique_ptr<ReadOnlyFile> OpenReadOnlyFile(const Text& path) {
  const std::string utf8 = PathToUtf8(path);
  if (utf8.empty()) return nullptr;
  // Non-blocking so that a FIFO or device can never hold the caller up; only regular files
  // are read, so the flag changes nothing else.
  const int fd = open(utf8.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !KeepWritersOut(fd)) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixReadOnlyFile>(fd);
}

}  // namespace quorvel

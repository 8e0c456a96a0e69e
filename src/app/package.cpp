// The package chosen for upload: the process-wide upload text, its lock, and the file
// button's handler that prepares it. SelectPackage and ReleasePackage run on the GUI thread;
// the snapshots are taken from any thread.
#include <memory>
#include <mutex>
#include <utility>

#include "app/app.h"
#include "app/app_internal.h"
#include "text/base64.h"
#include "text/text.h"

namespace quorvel {
namespace {

// EncodedPackage. Each value is one immutable buffer: a snapshot shares it instead of copying
// hundreds of megabytes, and a replacement never touches a buffer a worker still reads.
std::mutex packageMutex;
std::shared_ptr<const Text> EncodedPackage;

// Replaces the upload text; the previous buffer is freed outside the lock, once no snapshot
// holds it any more.
void StoreEncodedPackage(std::shared_ptr<const Text> value) {
  {
    std::lock_guard<std::mutex> lock(packageMutex);
    EncodedPackage.swap(value);
  }
  value.reset();
}

// The upload text of the file at path: its Base64 text with every "+" written as "%2B". An
// empty path or a file that cannot be read gives the empty text. The file's bytes are freed
// before the escaping, which rewrites the Base64 text within its own spare capacity, so at
// most two large buffers are alive at any step and only one during the escaping.
Text EncodeFile(const Text& path) {
  Text base64;
  {
    ByteArray bytes = ReadFileBytes(path);
    base64 = Base64Encode(bytes);
  }
  return TextReplace(std::move(base64), "+", "%2B", 1, kNoLimit, true);
}

}  // namespace

std::shared_ptr<const Text> ShareEncodedPackage() {
  std::lock_guard<std::mutex> lock(packageMutex);
  return EncodedPackage;
}

Text CopyEncodedPackage() {
  std::shared_ptr<const Text> package = ShareEncodedPackage();
  return package ? *package : Text();
}

void SelectPackage() {
  Window* window = AttachedWindow();
  if (window == nullptr) return;
  // Whether the user confirmed or cancelled, the remembered name is shown and read again, so
  // a cancel re-reads the last chosen file as it now is on disk.
  window->OpenFileDialog();
  Text path = window->DialogFileName();
  window->SetEditText(EditBox::编辑框1, path);
  StoreEncodedPackage(std::make_shared<const Text>(EncodeFile(path)));
}

void ReleasePackage() {
  StoreEncodedPackage(nullptr);
}

}  // namespace quorvel

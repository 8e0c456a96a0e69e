// The service's fixed paths and browser identification, the program's three messages, and
// the service host in force. Used by the workflow and by tests.
#include <mutex>

#include "app/app.h"
#include "app/app_internal.h"

namespace quorvel {

const Text kSubmitPath = "/quorvel/submit.php";
const Text kSelectPath = "/quorvel/select.php";
const Text ServiceUserAgent =
    "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/50.0.2661.87 Safari/537.36";

// 提交成功,如果在排队中请每隔30秒查询一次
const Text kSubmitSucceededMessage =
    "\xCC\xE1\xBD\xBB\xB3\xC9\xB9\xA6,\xC8\xE7\xB9\xFB\xD4\xDA\xC5\xC5\xB6\xD3\xD6\xD0\xC7\xEB"
    "\xC3\xBF\xB8\xF4"
    "30"
    "\xC3\xEB\xB2\xE9\xD1\xAF\xD2\xBB\xB4\xCE";
// 提交失败
const Text kSubmitFailedMessage = "\xCC\xE1\xBD\xBB\xCA\xA7\xB0\xDC";
// 复制完毕
const Text kCopiedMessage = "\xB8\xB4\xD6\xC6\xCD\xEA\xB1\xCF";

namespace {

std::mutex hostMutex;
Text hostOverride;  // empty: the build's ServiceHost

}  // namespace

void SetServiceHostForTesting(const Text& host) {
  std::lock_guard<std::mutex> lock(hostMutex);
  hostOverride = host;
}

Text ServiceUrl(const Text& path) {
  std::lock_guard<std::mutex> lock(hostMutex);
  return TextConcat("https://", hostOverride.empty() ? ServiceHost : hostOverride, path);
}

}  // namespace quorvel

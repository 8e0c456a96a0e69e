// The program's own logic: the package chosen for upload, and the submit, query and copy
// commands with their conversation with the service. The window backend calls these from
// its click handlers; they talk back to the window only through the attached Window.
#pragma once

#include "platform/window.h"
#include "text/text.h"

namespace quorvel {

// The service, fixed at build time: HTTPS on ServiceHost (host or host:port), from the CMake
// cache variable QUORVEL_SERVICE_HOST. A program built for another host compiles
// service_host.cpp itself with its own value (CMake: quorvel_use_service_host).
extern const Text ServiceHost;
extern const Text kSubmitPath;  // "/quorvel/submit.php"
extern const Text kSelectPath;  // "/quorvel/select.php"
extern const Text ServiceUserAgent;

// For tests: talk to host (host or host:port, HTTPS) instead of ServiceHost from now on; the
// empty text restores ServiceHost. Safe while other threads run requests.
void SetServiceHostForTesting(const Text& host);

// The three things the program ever says, as GBK bytes.
extern const Text kSubmitSucceededMessage;  // "提交成功,如果在排队中请每隔30秒查询一次"
extern const Text kSubmitFailedMessage;  // "提交失败"
extern const Text kCopiedMessage;        // "复制完毕"

// The window every routine below talks to; set once at start-up, before the first click.
void AttachWindow(Window* window);

// A message box with the caption "信息：" that blocks only the calling thread.
void ShowMessage(const Text& text);

// The upload text of the chosen package: Base64 with every "+" written as "%2B". Replaced,
// released and copied under one lock, so a copy always sees one whole value.
Text CopyEncodedPackage();

// Click handler of 按钮1: asks for a package, shows its path and prepares its upload text.
void SelectPackage();
// Releases the upload text at program end.
void ReleasePackage();
// Click handler of 按钮2: starts SubmitPackage on a new detached thread and returns.
void StartSubmission();
// Uploads a snapshot of the package; on a 32-byte answer shows it and queries the job.
void SubmitPackage();
// Click handler of 按钮3 (and the end of a successful submission): asks for the state of the
// job in 编辑框2 and shows the answer, converted to GBK, in 编辑框3.
void QueryResult();
// Click handler of 按钮4: puts the text of 编辑框3 on the clipboard.
void CopyResult();

}  // namespace quorvel

// The conversation with the service and the submit, query and copy buttons, plus the link to
// the window. Click handlers run on the GUI thread; SubmitPackage runs on its own worker.
#include <atomic>
#include <memory>
#include <utility>

#include "app/app.h"
#include "app/app_internal.h"
#include "http/http_request.h"
#include "text/code_page.h"
#include "text/name_value_list.h"
#include "text/text.h"

namespace quorvel {
namespace {

std::atomic<Window*> attachedWindow{nullptr};

// A job identifier is a reply of exactly this many bytes.
constexpr int kIdentifierLength = 32;

struct Reply {
  ByteArray body;
  int status = 0;  // 0 when no response was read
};

// The form body name=value, value unencoded. The list is gone before the body travels, so
// the value is not held twice while the request runs.
Text FormBody(const Text& name, const Text& value) {
  NameValueList form;
  form.Add(name, value);
  return form.ToFormData();
}

// The one header line the workflow gives: its browser identification.
Text UserAgentBlock() {
  NameValueList headers;
  headers.Add("User-Agent", ServiceUserAgent);
  return headers.ToHeaderBlock();
}

// POSTs body to the service's path with the request routine's defaults for everything else.
// A failed exchange gives an empty body and status 0.
Reply PostToService(const Text& path, Text body) {
  HttpRequestArgs args;
  args.url = ServiceUrl(path);
  args.method = kHttpPost;
  args.bodyText = std::move(body);
  args.headers = UserAgentBlock();
  Reply reply;
  reply.body = HttpRequest(args);
  reply.status = args.statusCode;
  return reply;
}

// A 4xx or 5xx answer is the service saying no, whatever its body looks like.
bool IsErrorStatus(int status) {
  return status >= 400;
}

}  // namespace

void AttachWindow(Window* window) {
  attachedWindow.store(window);
}

Window* AttachedWindow() {
  return attachedWindow.load();
}

void ShowMessage(const Text& text) {
  if (Window* window = AttachedWindow()) window->ShowMessageBox(text);
}

void StartSubmission() {
  // A thread that cannot be started is silently no submission.
  if (Window* window = AttachedWindow()) window->StartThread(SubmitPackage);
}

void SubmitPackage() {
  Window* window = AttachedWindow();
  if (window == nullptr) return;
  Text body;
  {
    // The snapshot shares the package buffer; a file chosen meanwhile does not change it.
    static const Text kNoPackage;
    std::shared_ptr<const Text> package = ShareEncodedPackage();
    body = FormBody("data", package ? *package : kNoPackage);  // both lvalues: no copy
  }
  Reply reply = PostToService(kSubmitPath, std::move(body));
  Text identifier = BytesToText(reply.body);
  if (TextLength(identifier) != kIdentifierLength || IsErrorStatus(reply.status)) {
    ShowMessage(kSubmitFailedMessage);
    return;
  }
  // The identifier appears only once the user has closed the message.
  ShowMessage(kSubmitSucceededMessage);
  window->SetEditText(EditBox::编辑框2, identifier);
  QueryResult();
}

void QueryResult() {
  Window* window = AttachedWindow();
  if (window == nullptr) return;
  Text identifier = window->EditText(EditBox::编辑框2);
  Reply reply = PostToService(kSelectPath, FormBody("uuid", identifier));
  window->SetEditText(EditBox::编辑框3, BytesToText(ConvertCharset(reply.body)));
}

void CopyResult() {
  Window* window = AttachedWindow();
  if (window == nullptr) return;
  // "Copied" only when the clipboard really took the text.
  if (window->SetClipboardText(window->EditText(EditBox::编辑框3))) ShowMessage(kCopiedMessage);
}

}  // namespace quorvel

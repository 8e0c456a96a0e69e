// The recording request object and its factory installer; see fake_request_object.h.
#include "fakes/fake_request_object.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace quorvel {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Flag(bool value) {
  return value ? "true" : "false";
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const RequestCall& call) {
  out << call.name << "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    out << (i == 0 ? "" : ", ") << '"' << Escaped(call.args[i]) << '"';
  }
  return out << ")";
}

FakeResponse TextResponse(const Text& body, const Text& headers, int status) {
  return FakeResponse{ByteArray(body.begin(), body.end()), headers, status};
}

// --- FakeRequestObject ---

FakeRequestObject::FakeRequestObject(FakeResponse response) : response_(std::move(response)) {}

void FakeRequestObject::SetResponse(FakeResponse response) {
  std::lock_guard lock(mutex_);
  response_ = std::move(response);
}

void FakeRequestObject::SetResponder(
    std::function<FakeResponse(const std::vector<RequestCall>&)> responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

void FakeRequestObject::FailCall(const std::string& name, int nth) {
  std::lock_guard lock(mutex_);
  failures_.push_back({name, nth});
}

std::vector<RequestCall> FakeRequestObject::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<RequestCall> FakeRequestObject::CallsNamed(const std::string& name) const {
  std::lock_guard lock(mutex_);
  std::vector<RequestCall> named;
  for (const RequestCall& call : calls_) {
    if (call.name == name) named.push_back(call);
  }
  return named;
}

bool FakeRequestObject::RecordLocked(std::string name, std::vector<std::string> args) {
  calls_.push_back({std::move(name), std::move(args)});
  const std::string& recorded = calls_.back().name;
  const int nth = static_cast<int>(std::count_if(
      calls_.begin(), calls_.end(), [&](const RequestCall& c) { return c.name == recorded; }));
  for (const Failure& failure : failures_) {
    if (failure.name == recorded && (failure.nth == 0 || failure.nth == nth)) return false;
  }
  return true;
}

bool FakeRequestObject::SendLocked(std::vector<std::string> args) {
  answered_ = false;
  answer_ = {};
  if (!RecordLocked("Send", std::move(args))) return false;
  // The responder runs under the lock; it must not call back into this object.
  answer_ = responder_ ? responder_(calls_) : response_;
  answered_ = true;
  return true;
}

bool FakeRequestObject::SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) {
  std::lock_guard lock(mutex_);
  return RecordLocked("SetTimeouts", {std::to_string(resolveMs), std::to_string(connectMs),
                                      std::to_string(sendMs), std::to_string(receiveMs)});
}

bool FakeRequestObject::SetProxy(int proxySetting, const Text& proxy) {
  std::lock_guard lock(mutex_);
  return RecordLocked("SetProxy", {std::to_string(proxySetting), proxy});
}

bool FakeRequestObject::Open(const Text& method, const Text& url, bool async) {
  std::lock_guard lock(mutex_);
  return RecordLocked("Open", {method, url, Flag(async)});
}

bool FakeRequestObject::SetOption(int index, int value) {
  std::lock_guard lock(mutex_);
  return RecordLocked("SetOption", {std::to_string(index), std::to_string(value)});
}

bool FakeRequestObject::SetCredentials(const Text& userName, const Text& password, int flags) {
  std::lock_guard lock(mutex_);
  return RecordLocked("SetCredentials", {userName, password, std::to_string(flags)});
}

bool FakeRequestObject::SetRequestHeader(const Text& name, const Text& value) {
  std::lock_guard lock(mutex_);
  return RecordLocked("SetRequestHeader", {name, value});
}

bool FakeRequestObject::Send(const Text& body) {
  std::lock_guard lock(mutex_);
  return SendLocked({"text", body});
}

bool FakeRequestObject::Send(const ByteArray& body) {
  std::lock_guard lock(mutex_);
  return SendLocked({"bytes", std::string(body.begin(), body.end())});
}

ByteArray FakeRequestObject::ResponseBody() {
  std::lock_guard lock(mutex_);
  if (!RecordLocked("ResponseBody", {}) || !answered_) return {};
  return answer_.body;
}

Text FakeRequestObject::GetAllResponseHeaders() {
  std::lock_guard lock(mutex_);
  if (!RecordLocked("GetAllResponseHeaders", {}) || !answered_) return {};
  return answer_.headers;
}

int FakeRequestObject::Status() {
  std::lock_guard lock(mutex_);
  if (!RecordLocked("Status", {}) || !answered_) return 0;
  return answer_.status;
}

// --- FakeRequestObjectFactory ---

FakeRequestObjectFactory::FakeRequestObjectFactory() {
  OverrideRequestObjectFactory([this] { return Create(); });
}

FakeRequestObjectFactory::~FakeRequestObjectFactory() {
  OverrideRequestObjectFactory({});
}

std::shared_ptr<FakeRequestObject> FakeRequestObjectFactory::Add(FakeResponse response) {
  auto object = std::make_shared<FakeRequestObject>(std::move(response));
  std::lock_guard lock(mutex_);
  queued_.push_back(object);
  return object;
}

void FakeRequestObjectFactory::SetDefaultResponse(FakeResponse response) {
  std::lock_guard lock(mutex_);
  defaultResponse_ = std::move(response);
}

void FakeRequestObjectFactory::SetDefaultResponder(
    std::function<FakeResponse(const std::vector<RequestCall>&)> responder) {
  std::lock_guard lock(mutex_);
  defaultResponder_ = std::move(responder);
}

void FakeRequestObjectFactory::FailCreation(int nth) {
  std::lock_guard lock(mutex_);
  failingAttempts_.push_back(nth);
}

std::vector<std::shared_ptr<FakeRequestObject>> FakeRequestObjectFactory::Created() const {
  std::lock_guard lock(mutex_);
  return created_;
}

int FakeRequestObjectFactory::Attempts() const {
  std::lock_guard lock(mutex_);
  return attempts_;
}

std::shared_ptr<RequestObject> FakeRequestObjectFactory::Create() {
  std::lock_guard lock(mutex_);
  ++attempts_;
  for (int nth : failingAttempts_) {
    if (nth == 0 || nth == attempts_) return nullptr;
  }
  std::shared_ptr<FakeRequestObject> object;
  if (!queued_.empty()) {
    object = queued_.front();
    queued_.erase(queued_.begin());
  } else {
    object = std::make_shared<FakeRequestObject>(defaultResponse_);
    if (defaultResponder_) object->SetResponder(defaultResponder_);
  }
  created_.push_back(object);
  return object;
}

}  // namespace quorvel

// A recording request object for tests: primed with a response, it records every call with
// its arguments in order and can fail any call or its own creation. Thread-safe.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/request_object.h"
#include "text/text.h"

namespace quorvel {

// One call on the request object: the member name and its arguments as texts. Names are
// "SetTimeouts", "SetProxy", "Open", "SetOption", "SetCredentials", "SetRequestHeader",
// "Send", "ResponseBody", "GetAllResponseHeaders" and "Status". Numbers are written in
// decimal, booleans as "true"/"false"; Send records {"text", body} or {"bytes", body}.
struct RequestCall {
  std::string name;
  std::vector<std::string> args;

  friend bool operator==(const RequestCall&, const RequestCall&) = default;
};

// Prints a call readably (CR, LF and non-printable bytes escaped), also for gtest messages.
std::ostream& operator<<(std::ostream& out, const RequestCall& call);

// What the object answers after a successful Send.
struct FakeResponse {
  ByteArray body;
  Text headers;  // "Name: value" lines joined by CR LF
  int status = 200;
};

// Builds a response whose body is the bytes of text.
FakeResponse TextResponse(const Text& body, const Text& headers = "", int status = 200);

class FakeRequestObject : public RequestObject {
 public:
  explicit FakeRequestObject(FakeResponse response = {});

  // Answers every later successful Send with response.
  void SetResponse(FakeResponse response);
  // Computes the response at Send time from the calls recorded so far (Open and Send
  // included); overrides SetResponse.
  void SetResponder(std::function<FakeResponse(const std::vector<RequestCall>&)> responder);
  // Makes calls of this member fail: nth 0 fails every one, nth n >= 1 only the n-th.
  // A failed call is still recorded. A failed Send leaves the three reads empty.
  void FailCall(const std::string& name, int nth = 0);

  // Every call so far, in order.
  std::vector<RequestCall> Calls() const;
  // The calls of one member, in order.
  std::vector<RequestCall> CallsNamed(const std::string& name) const;

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override;
  bool SetProxy(int proxySetting, const Text& proxy) override;
  bool Open(const Text& method, const Text& url, bool async) override;
  bool SetOption(int index, int value) override;
  bool SetCredentials(const Text& userName, const Text& password, int flags) override;
  bool SetRequestHeader(const Text& name, const Text& value) override;
  bool Send(const Text& body) override;
  bool Send(const ByteArray& body) override;
  ByteArray ResponseBody() override;
  Text GetAllResponseHeaders() override;
  int Status() override;

 private:
  struct Failure {
    std::string name;
    int nth;
  };

  // Records the call and tells whether it succeeds. Caller holds mutex_.
  bool RecordLocked(std::string name, std::vector<std::string> args);
  bool SendLocked(std::vector<std::string> args);

  mutable std::mutex mutex_;
  FakeResponse response_;
  std::function<FakeResponse(const std::vector<RequestCall>&)> responder_;
  std::vector<Failure> failures_;
  std::vector<RequestCall> calls_;
  bool answered_ = false;  // a Send succeeded: the reads give the response
  FakeResponse answer_;
};

// Installs itself as the request object factory for its lifetime and restores the backend's
// factory when destroyed. Each creation hands out the next object queued with Add, or else a
// new object answering with the default response (or responder).
class FakeRequestObjectFactory {
 public:
  FakeRequestObjectFactory();
  ~FakeRequestObjectFactory();
  FakeRequestObjectFactory(const FakeRequestObjectFactory&) = delete;
  FakeRequestObjectFactory& operator=(const FakeRequestObjectFactory&) = delete;

  // Queues an object for the next creation and returns it, to be primed further.
  std::shared_ptr<FakeRequestObject> Add(FakeResponse response = {});
  // The answer of objects made when the queue is empty.
  void SetDefaultResponse(FakeResponse response);
  void SetDefaultResponder(std::function<FakeResponse(const std::vector<RequestCall>&)> responder);
  // Makes creation fail: nth 0 every time, nth n >= 1 only the n-th attempt.
  void FailCreation(int nth = 0);

  // The objects handed out so far, in order of creation.
  std::vector<std::shared_ptr<FakeRequestObject>> Created() const;
  // How many times creation was asked for, failed attempts included.
  int Attempts() const;

 private:
  std::shared_ptr<RequestObject> Create();

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<FakeRequestObject>> queued_;
  std::vector<std::shared_ptr<FakeRequestObject>> created_;
  FakeResponse defaultResponse_;
  std::function<FakeResponse(const std::vector<RequestCall>&)> defaultResponder_;
  std::vector<int> failingAttempts_;  // 0 stands for every attempt
  int attempts_ = 0;
};

}  // namespace quorvel

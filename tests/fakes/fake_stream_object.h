// A recording stream object for tests: it answers ReadText and Read with primed values,
// records every call with its argument in order, its own release included, and can fail any
// call or its own creation. Thread-safe.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/stream_object.h"
#include "text/text.h"

namespace quorvel {

// One call on a stream object: the member name ("SetType", "SetPosition", "SetCharset",
// "Open", "Write", "ReadText", "Close", "WriteText", "Read", or "Release" when the object is
// destroyed) and its argument as text: numbers in decimal, charsets and texts as they are,
// bytes as their characters; empty for calls without one.
struct StreamCall {
  std::string name;
  std::string arg;

  friend bool operator==(const StreamCall&, const StreamCall&) = default;
};

std::ostream& operator<<(std::ostream& out, const StreamCall& call);

// Installs itself as the stream object factory for its lifetime and restores the backend's
// factory when destroyed. Every object it makes records into it and answers as primed.
class FakeStreamObjectFactory {
 public:
  FakeStreamObjectFactory();
  ~FakeStreamObjectFactory();
  FakeStreamObjectFactory(const FakeStreamObjectFactory&) = delete;
  FakeStreamObjectFactory& operator=(const FakeStreamObjectFactory&) = delete;

  // What a successful ReadText, respectively Read, answers.
  void SetReadText(const Text& text);
  void SetRead(const ByteArray& bytes);
  // Makes calls of member name fail: all of them, or only those with argument arg. A failed
  // call is still recorded; a failed ReadText or Read answers empty.
  void FailCall(const std::string& name, std::optional<std::string> arg = std::nullopt);
  // Makes every later creation give nullptr.
  void FailCreation();

  // Every call on the objects made so far, in order.
  std::vector<StreamCall> Calls() const;
  // How many objects were made.
  int Created() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel

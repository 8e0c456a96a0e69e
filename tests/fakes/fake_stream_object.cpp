// The recording stream object and its factory installer; see fake_stream_object.h.
#include "fakes/fake_stream_object.h"

#include <mutex>
#include <utility>

namespace quorvel {

struct FakeStreamObjectFactory::State {
  std::mutex mutex;
  Text readText;
  ByteArray read;
  std::vector<std::pair<std::string, std::optional<std::string>>> failures;
  bool failCreation = false;
  int created = 0;
  std::vector<StreamCall> calls;

  // Records the call and tells whether it succeeds.
  bool Record(std::string name, std::string arg = {}) {
    std::lock_guard lock(mutex);
    bool fails = false;
    for (const auto& [failingName, failingArg] : failures) {
      fails = fails || (failingName == name && (!failingArg || *failingArg == arg));
    }
    calls.push_back({std::move(name), std::move(arg)});
    return !fails;
  }
};

namespace {

class FakeStreamObject : public StreamObject {
 public:
  explicit FakeStreamObject(std::shared_ptr<FakeStreamObjectFactory::State> state)
      : state_(std::move(state)) {}
  ~FakeStreamObject() override { state_->Record("Release"); }

  bool SetType(int type) override { return state_->Record("SetType", std::to_string(type)); }
  bool SetPosition(long long position) override {
    return state_->Record("SetPosition", std::to_string(position));
  }
  bool SetCharset(const Text& charset) override { return state_->Record("SetCharset", charset); }
  bool Open() override { return state_->Record("Open"); }
  bool Write(const ByteArray& bytes) override {
    return state_->Record("Write", std::string(bytes.begin(), bytes.end()));
  }
  Text ReadText() override {
    if (!state_->Record("ReadText")) return {};
    std::lock_guard lock(state_->mutex);
    return state_->readText;
  }
  bool Close() override { return state_->Record("Close"); }
  bool WriteText(const Text& text) override { return state_->Record("WriteText", text); }
  ByteArray Read() override {
    if (!state_->Record("Read")) return {};
    std::lock_guard lock(state_->mutex);
    return state_->read;
  }

 private:
  std::shared_ptr<FakeStreamObjectFactory::State> state_;
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const StreamCall& call) {
  return out << call.name << "(\"" << call.arg << "\")";
}

FakeStreamObjectFactory::FakeStreamObjectFactory() : state_(std::make_shared<State>()) {
  OverrideStreamObjectFactory([state = state_]() -> std::unique_ptr<StreamObject> {
    std::lock_guard lock(state->mutex);
    if (state->failCreation) return nullptr;
    ++state->created;
    return std::make_unique<FakeStreamObject>(state);
  });
}

FakeStreamObjectFactory::~FakeStreamObjectFactory() {
  OverrideStreamObjectFactory({});
}

void FakeStreamObjectFactory::SetReadText(const Text& text) {
  std::lock_guard lock(state_->mutex);
  state_->readText = text;
}

void FakeStreamObjectFactory::SetRead(const ByteArray& bytes) {
  std::lock_guard lock(state_->mutex);
  state_->read = bytes;
}

void FakeStreamObjectFactory::FailCall(const std::string& name, std::optional<std::string> arg) {
  std::lock_guard lock(state_->mutex);
  state_->failures.emplace_back(name, std::move(arg));
}

void FakeStreamObjectFactory::FailCreation() {
  std::lock_guard lock(state_->mutex);
  state_->failCreation = true;
}

std::vector<StreamCall> FakeStreamObjectFactory::Calls() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls;
}

int FakeStreamObjectFactory::Created() const {
  std::lock_guard lock(state_->mutex);
  return state_->created;
}

}  // namespace quorvel

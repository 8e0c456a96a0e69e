// The submit, query and copy workflow against the recording window and the recording request
// object: what goes to the service, the 32-byte rule, message order and the edit boxes.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app.h"
#include "fakes/fake_request_object.h"
#include "support/app_harness.h"
#include "support/scratch_dir.h"

namespace quorvel {
namespace {

using test::AppHarness;
using test::ScratchDir;
using testing::ElementsAre;

const Text kIdentifier = "0123456789abcdef0123456789abcdef";
// 反编译完成 in UTF-8, as the service answers, and in GBK, as the box shows it.
const Text kAnswerUtf8 = "\xE5\x8F\x8D\xE7\xBC\x96\xE8\xAF\x91\xE5\xAE\x8C\xE6\x88\x90";
const Text kAnswerGbk = "\xB7\xB4\xB1\xE0\xD2\xEB\xCD\xEA\xB3\xC9";

Text SubmitUrl() {
  return "https://" + ServiceHost + kSubmitPath;
}
Text SelectUrl() {
  return "https://" + ServiceHost + kSelectPath;
}

FakeResponse BytesResponse(const std::string& bytes, int status = 200) {
  return FakeResponse{ByteArray(bytes.begin(), bytes.end()), "", status};
}

// The URL of the request in calls.
Text OpenedUrl(const std::vector<RequestCall>& calls) {
  for (const RequestCall& call : calls) {
    if (call.name == "Open") return call.args.at(1);
  }
  return {};
}

// Answers the submission endpoint with submit and the query endpoint with query.
auto ServiceResponder(FakeResponse submit, FakeResponse query) {
  return [=](const std::vector<RequestCall>& calls) {
    return OpenedUrl(calls) == SubmitUrl() ? submit : query;
  };
}

// The header lines the request object receives for a POST to url from the workflow.
std::vector<RequestCall> ExpectedHeaders(const Text& url) {
  return {{"SetRequestHeader", {"User-Agent", ServiceUserAgent}},
          {"SetRequestHeader", {"Accept", "*/*"}},
          {"SetRequestHeader", {"Referer", url}},
          {"SetRequestHeader", {"Accept-Language", "zh-cn"}},
          {"SetRequestHeader", {"Content-Type", "application/x-www-form-urlencoded"}}};
}

class WorkflowTest : public testing::Test {
 protected:
  // Chooses a package file holding bytes through the dialog.
  void ChoosePackage(const std::string& bytes, const std::string& name = "p.wxapkg") {
    app_.window.QueueDialogAnswer(true, dir_.Write(name, bytes));
    SelectPackage();
  }

  ScratchDir dir_;
  FakeRequestObjectFactory requests_;  // outlives the window's threads
  AppHarness app_;
  FakeWindow& window_ = app_.window;
};

TEST_F(WorkflowTest, SubmissionPostsThePackageThenQueriesTheIdentifier) {
  ChoosePackage("\xFB\xFF");  // "+/8=": the "+" goes out as %2B, "/" and "=" as they are
  requests_.SetDefaultResponder(
      ServiceResponder(BytesResponse(kIdentifier), BytesResponse(kAnswerUtf8)));

  SubmitPackage();

  const auto objects = requests_.Created();
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_THAT(objects[0]->CallsNamed("Open"),
              ElementsAre(RequestCall{"Open", {"POST", SubmitUrl(), "false"}}));
  EXPECT_EQ(objects[0]->CallsNamed("SetRequestHeader"), ExpectedHeaders(SubmitUrl()));
  EXPECT_THAT(objects[0]->CallsNamed("Send"),
              ElementsAre(RequestCall{"Send", {"text", "data=%2B/8="}}));
  EXPECT_THAT(objects[1]->CallsNamed("Open"),
              ElementsAre(RequestCall{"Open", {"POST", SelectUrl(), "false"}}));
  EXPECT_EQ(objects[1]->CallsNamed("SetRequestHeader"), ExpectedHeaders(SelectUrl()));
  EXPECT_THAT(objects[1]->CallsNamed("Send"),
              ElementsAre(RequestCall{"Send", {"text", "uuid=" + kIdentifier}}));

  EXPECT_THAT(window_.Messages(), ElementsAre(kSubmitSucceededMessage));
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框2), kIdentifier);
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), kAnswerGbk);
}

TEST_F(WorkflowTest, SuccessMessageIsClosedBeforeTheIdentifierAppearsAndIsQueried) {
  const std::thread::id testThread = std::this_thread::get_id();
  std::mutex mutex;
  std::vector<std::thread::id> requestThreads;
  requests_.SetDefaultResponder([&](const std::vector<RequestCall>& calls) {
    std::lock_guard<std::mutex> lock(mutex);
    requestThreads.push_back(std::this_thread::get_id());
    return ServiceResponder(BytesResponse(kIdentifier), BytesResponse(kAnswerUtf8))(calls);
  });
  window_.PrimeEditText(EditBox::编辑框2, "previous");
  window_.SetMessageBoxesCloseAtOnce(false);

  StartSubmission();
  ASSERT_TRUE(window_.WaitForOpenMessageBoxes(1));
  EXPECT_THAT(window_.OpenMessageBoxes(), ElementsAre(kSubmitSucceededMessage));
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框2), "previous");
  EXPECT_EQ(requests_.Created().size(), 1u);

  ASSERT_TRUE(window_.CloseMessageBox());
  ASSERT_TRUE(window_.WaitForThreads());
  EXPECT_THAT(window_.Calls(), ElementsAre(WindowCall{"StartThread", 0, ""},
                                           WindowCall{"ShowMessageBox", 0, kSubmitSucceededMessage},
                                           WindowCall{"SetEditText", 2, kIdentifier},
                                           WindowCall{"EditText", 2, kIdentifier},
                                           WindowCall{"SetEditText", 3, kAnswerGbk}));
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(requestThreads.size(), 2u);
  EXPECT_NE(requestThreads[0], testThread);
  EXPECT_EQ(requestThreads[1], requestThreads[0]);
}

TEST(WorkflowRulesTest, OnlyAThirtyTwoByteReplyIsAnIdentifier) {
  const std::string twoByteChars = [] {
    std::string text;
    for (int i = 0; i < 8; ++i)
      text += "\xB1\xE0\xBA\xC5";  // 编号, 16 characters in all
    return text;
  }();
  struct Case {
    const char* name;
    FakeResponse reply;
    Text identifier;  // empty: the submission fails
  };
  const Case cases[] = {
      {"31 bytes", BytesResponse(std::string(31, 'a')), ""},
      {"32 bytes", BytesResponse(std::string(32, 'a')), std::string(32, 'a')},
      {"33 bytes", BytesResponse(std::string(33, 'a')), ""},
      {"empty", BytesResponse(""), ""},
      {"zero byte at 11", BytesResponse(kIdentifier.substr(0, 10) + '\0' + kIdentifier), ""},
      {"zero byte after 32", BytesResponse(kIdentifier + '\0' + "tail"), kIdentifier},
      {"16 two-byte characters", BytesResponse(twoByteChars), twoByteChars},
      {"32 bytes with status 202", BytesResponse(kIdentifier, 202), kIdentifier},
      {"32 bytes with status 404", BytesResponse(kIdentifier, 404), ""},
      {"32 bytes with status 500", BytesResponse(kIdentifier, 500), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRequestObjectFactory requests;
    AppHarness app;
    requests.SetDefaultResponder(ServiceResponder(c.reply, BytesResponse(kAnswerUtf8)));
    app.window.PrimeEditText(EditBox::编辑框2, "previous");
    app.window.PrimeEditText(EditBox::编辑框3, "old answer");

    SubmitPackage();

    const auto objects = requests.Created();
    if (c.identifier.empty()) {
      EXPECT_THAT(app.window.Messages(), ElementsAre(kSubmitFailedMessage));
      EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框2), "previous");
      EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框3), "old answer");
      EXPECT_EQ(objects.size(), 1u);
    } else {
      EXPECT_THAT(app.window.Messages(), ElementsAre(kSubmitSucceededMessage));
      EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框2), c.identifier);
      EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框3), kAnswerGbk);
      ASSERT_EQ(objects.size(), 2u);
      EXPECT_THAT(objects[1]->CallsNamed("Send"),
                  ElementsAre(RequestCall{"Send", {"text", "uuid=" + c.identifier}}));
    }
  }
}

TEST_F(WorkflowTest, FailedExchangeOrEmptyPackageReportsFailure) {
  // No package chosen: the empty value still goes out.
  requests_.Add(BytesResponse(kIdentifier))->FailCall("Send");
  SubmitPackage();
  requests_.FailCreation(2);
  SubmitPackage();
  requests_.Add(BytesResponse("error: empty package"));
  SubmitPackage();

  const auto objects = requests_.Created();
  ASSERT_EQ(objects.size(), 2u);
  EXPECT_THAT(objects[0]->CallsNamed("Send"), ElementsAre(RequestCall{"Send", {"text", "data="}}));
  EXPECT_THAT(objects[1]->CallsNamed("Send"), ElementsAre(RequestCall{"Send", {"text", "data="}}));
  EXPECT_THAT(window_.Messages(),
              ElementsAre(kSubmitFailedMessage, kSubmitFailedMessage, kSubmitFailedMessage));
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框2), "");
}

TEST(WorkflowRulesTest, QuerySendsTheBoxAsItStandsAndShowsTheAnswerInGbk) {
  struct Case {
    const char* name;
    Text identifier;
    FakeResponse reply;
    bool failSend;
    Text shown;
  };
  const Case cases[] = {
      {"Chinese answer", kIdentifier, BytesResponse(kAnswerUtf8), false, kAnswerGbk},
      {"empty identifier", "", BytesResponse("unknown job"), false, "unknown job"},
      {"unencoded identifier", "a&b=c d", BytesResponse("x"), false, "x"},
      {"empty answer", kIdentifier, BytesResponse(""), false, ""},
      {"failed query", kIdentifier, BytesResponse(kAnswerUtf8), true, ""},
      {"zero byte in answer", kIdentifier, BytesResponse(std::string("ab\0cd", 5)), false, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRequestObjectFactory requests;
    AppHarness app;
    auto object = requests.Add(c.reply);
    if (c.failSend) object->FailCall("Send");
    app.window.PrimeEditText(EditBox::编辑框2, c.identifier);
    app.window.PrimeEditText(EditBox::编辑框3, "old answer");

    QueryResult();

    EXPECT_THAT(object->CallsNamed("Open"),
                ElementsAre(RequestCall{"Open", {"POST", SelectUrl(), "false"}}));
    EXPECT_THAT(object->CallsNamed("Send"),
                ElementsAre(RequestCall{"Send", {"text", "uuid=" + c.identifier}}));
    EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框3), c.shown);
    EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框2), c.identifier);
    EXPECT_THAT(app.window.Messages(), testing::IsEmpty());
  }
}

TEST(WorkflowRulesTest, CopyPutsTheAnswerOnTheClipboardAndSaysSoOnlyWhenItWorked) {
  struct Case {
    const char* name;
    Text answer;
    bool clipboardAvailable;
    std::optional<Text> clipboard;
    std::vector<Text> messages;
  };
  const Case cases[] = {
      {"answer", kAnswerGbk, true, kAnswerGbk, {kCopiedMessage}},
      {"empty box", "", true, Text(), {kCopiedMessage}},
      {"clipboard unavailable", kAnswerGbk, false, std::nullopt, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness app;
    app.window.PrimeEditText(EditBox::编辑框3, c.answer);
    app.window.SetClipboardAvailable(c.clipboardAvailable);

    CopyResult();

    EXPECT_EQ(app.window.ClipboardText(), c.clipboard);
    EXPECT_EQ(app.window.Messages(), c.messages);
  }
}

TEST_F(WorkflowTest, NoThreadMeansNoSubmission) {
  window_.SetThreadsAvailable(false);
  StartSubmission();
  EXPECT_EQ(requests_.Attempts(), 0);
  EXPECT_THAT(window_.Messages(), testing::IsEmpty());
}

// Holds a request until the test lets it go; gives up after a while so a fault cannot hang.
class Gate {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void Pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(20), [&] { return open_; });
  }
  bool WaitForWaiter() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return waiting_ > 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

TEST_F(WorkflowTest, OverlappingSubmissionsEachSendTheirOwnSnapshot) {
  const Text firstId(32, '1');
  const Text secondId(32, '2');
  Gate firstGate;
  Gate secondGate;
  auto submit = [&](Gate& gate, const Text& id) {
    auto object = requests_.Add();
    object->SetResponder([&gate, id](const std::vector<RequestCall>&) {
      gate.Pass();
      return BytesResponse(id);
    });
    return object;
  };
  requests_.SetDefaultResponder([](const std::vector<RequestCall>& calls) {
    return BytesResponse("state of " + calls.back().args.at(1));
  });

  ChoosePackage("abc");  // YWJj
  auto first = submit(firstGate, firstId);
  StartSubmission();
  ASSERT_TRUE(firstGate.WaitForWaiter());
  ChoosePackage("xyz");  // eHl6
  auto second = submit(secondGate, secondId);
  StartSubmission();
  ASSERT_TRUE(secondGate.WaitForWaiter());

  // The second finishes first; the first then writes its identifier last.
  secondGate.Open();
  ASSERT_TRUE(window_.WaitForCalls("SetEditText", 4));  // 编辑框1 twice, then 2 and 3
  firstGate.Open();
  ASSERT_TRUE(window_.WaitForThreads());

  EXPECT_THAT(first->CallsNamed("Send"), ElementsAre(RequestCall{"Send", {"text", "data=YWJj"}}));
  EXPECT_THAT(second->CallsNamed("Send"), ElementsAre(RequestCall{"Send", {"text", "data=eHl6"}}));
  EXPECT_THAT(window_.Messages(), ElementsAre(kSubmitSucceededMessage, kSubmitSucceededMessage));
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框2), firstId);
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), "state of uuid=" + firstId);
}

}  // namespace
}  // namespace quorvel

// The whole workflow over the real request object against the local stand-in service on
// loopback HTTPS, including a service that is down, slow, silent or answers nonsense.
#include <openssl/evp.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/app.h"
#include "support/app_harness.h"
#include "support/scratch_dir.h"
#include "support/stand_in_service.h"

namespace quorvel {
namespace {

using test::AppHarness;
using test::ScratchDir;
using test::StandInOptions;
using test::StandInService;
using testing::ElementsAre;

// The service's answers, in GBK as 编辑框3 shows them.
// 正在排队中，请每隔30秒查询一次
const Text kQueuedGbk =
    "\xD5\xFD\xD4\xDA\xC5\xC5\xB6\xD3\xD6\xD0\xA3\xAC\xC7\xEB\xC3\xBF\xB8\xF4"
    "30"
    "\xC3\xEB\xB2\xE9\xD1\xAF\xD2\xBB\xB4\xCE";
// 任务不存在，请检查编号
const Text kUnknownGbk =
    "\xC8\xCE\xCE\xF1\xB2\xBB\xB4\xE6\xD4\xDA\xA3\xAC\xC7\xEB\xBC\xEC\xB2\xE9\xB1\xE0\xBA\xC5";
// 反编译完成：包大小 (then the size) 字节
const Text kFinishedGbk =
    "\xB7\xB4\xB1\xE0\xD2\xEB\xCD\xEA\xB3\xC9\xA3\xBA\xB0\xFC\xB4\xF3\xD0\xA1";
const Text kBytesGbk = "\xD7\xD6\xBD\xDA";
// 任务
const Text kTaskGbk = "\xC8\xCE\xCE\xF1";

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    static const char kDigits[] = "0123456789abcdef";
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0xF];
  }
  return hex;
}

// The service's log: one map of key=value fields per request.
std::vector<std::map<std::string, std::string>> ReadLog(const std::string& path) {
  std::vector<std::map<std::string, std::string>> entries;
  std::ifstream log(path);
  std::string line;
  while (std::getline(log, line)) {
    std::map<std::string, std::string> fields;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      auto equals = word.find('=');
      if (equals != std::string::npos) fields[word.substr(0, equals)] = word.substr(equals + 1);
    }
    entries.push_back(fields);
  }
  return entries;
}

std::string RandomBytes(std::size_t size) {
  std::mt19937 random(20240611);
  std::string bytes(size, '\0');
  for (char& byte : bytes)
    byte = static_cast<char>(random());
  return bytes;
}

bool IsHex32(const Text& text) {
  return text.size() == 32 && text.find_first_not_of("0123456789abcdef") == Text::npos;
}

class LoopbackTest : public testing::Test {
 protected:
  // Starts the service and points the workflow at it.
  void StartService(StandInOptions options) {
    options.logPath = dir_.PathOf("service.log");
    service_ = std::make_unique<StandInService>(options);
    ASSERT_NE(service_->Port(), 0) << "the stand-in service did not start";
    SetServiceHostForTesting(service_->Host());
  }
  void ChoosePackage(const std::string& bytes) {
    app_.window.QueueDialogAnswer(true, dir_.Write("p.wxapkg", bytes));
    SelectPackage();
  }
  std::vector<std::map<std::string, std::string>> Log() {
    return ReadLog(dir_.PathOf("service.log"));
  }

  ScratchDir dir_;
  std::unique_ptr<StandInService> service_;  // stopped after the window's threads
  AppHarness app_;
  FakeWindow& window_ = app_.window;
};

TEST_F(LoopbackTest, SubmissionOnAWorkerReachesTheServiceWhole) {
  StandInOptions options;
  options.queueSeconds = 600;
  StartService(options);
  const std::string package = RandomBytes(300000);  // many "+" signs in its Base64
  ChoosePackage(package);

  StartSubmission();
  ASSERT_TRUE(window_.WaitForThreads());

  EXPECT_THAT(window_.Messages(), ElementsAre(kSubmitSucceededMessage));
  const Text identifier = window_.EditBoxText(EditBox::编辑框2);
  EXPECT_TRUE(IsHex32(identifier)) << identifier;
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), kQueuedGbk);
  const auto log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].at("path"), kSubmitPath);
  EXPECT_EQ(log[0].at("package"), std::to_string(package.size()));
  EXPECT_EQ(log[0].at("sha256"), Sha256Hex(package));
  EXPECT_EQ(log[0].at("uuid"), identifier);
  EXPECT_EQ(log[1].at("path"), kSelectPath);
  EXPECT_EQ(log[1].at("uuid"), identifier);
}

TEST_F(LoopbackTest, QueriesFollowTheJob) {
  StandInOptions options;
  options.queueSeconds = 0;
  options.workSeconds = 0;
  StartService(options);
  ChoosePackage("abc");
  SubmitPackage();
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), kFinishedGbk + " 3 " + kBytesGbk);

  window_.PrimeEditText(EditBox::编辑框2, "no-such-job");
  QueryResult();
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), kUnknownGbk);
}

TEST_F(LoopbackTest, SlowServiceWithinTheTimeOutStillAnswers) {
  StandInOptions options;
  options.queueSeconds = 600;
  options.delaySeconds = 2;
  StartService(options);
  ChoosePackage("abc");
  SubmitPackage();
  EXPECT_THAT(window_.Messages(), ElementsAre(kSubmitSucceededMessage));
  EXPECT_EQ(window_.EditBoxText(EditBox::编辑框3), kQueuedGbk);
}

TEST_F(LoopbackTest, EmptyPackageIsRefusedByTheService) {
  StartService(StandInOptions());
  SubmitPackage();  // nothing chosen
  EXPECT_THAT(window_.Messages(), ElementsAre(kSubmitFailedMessage));
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].at("body"), "5");  // "data="
}

TEST(LoopbackFaultTest, MisbehavingServiceGivesTheFailureOutcomes) {
  struct Case {
    const char* fault;  // "down": nothing listens
    bool submitted;     // the success message, an identifier and its query
    Text shown;         // 编辑框3 after the follow-up query, or else after querying "previous"
    bool shownExactly;  // false: shown is only what 编辑框3 starts with
  };
  const Case cases[] = {
      {"down", false, "", true},
      {"garbage", false, kUnknownGbk, true},
      {"error-status", false, kUnknownGbk, true},
      {"zero-bytes", false, kTaskGbk, true},  // the answer is cut at its zero byte
      {"invalid-utf8", true, kTaskGbk.substr(0, 2), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    ScratchDir dir;
    std::unique_ptr<StandInService> service;
    AppHarness app;
    if (std::string(c.fault) == "down") {
      const int port = test::UnusedLoopbackPort();
      ASSERT_NE(port, 0);
      SetServiceHostForTesting("127.0.0.1:" + std::to_string(port));
    } else {
      StandInOptions options;
      options.fault = c.fault;
      service = std::make_unique<StandInService>(options);
      ASSERT_NE(service->Port(), 0);
      SetServiceHostForTesting(service->Host());
    }
    app.window.QueueDialogAnswer(true, dir.Write("p.wxapkg", "abc"));
    SelectPackage();
    app.window.PrimeEditText(EditBox::编辑框2, "previous");
    app.window.PrimeEditText(EditBox::编辑框3, "old answer");

    SubmitPackage();
    EXPECT_THAT(app.window.Messages(),
                ElementsAre(c.submitted ? kSubmitSucceededMessage : kSubmitFailedMessage));
    const Text identifier = app.window.EditBoxText(EditBox::编辑框2);
    if (c.submitted) {
      EXPECT_TRUE(IsHex32(identifier)) << identifier;
    } else {
      EXPECT_EQ(identifier, "previous");
      EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框3), "old answer");
      QueryResult();
    }
    const Text shown = app.window.EditBoxText(EditBox::编辑框3);
    EXPECT_EQ(c.shownExactly ? shown : shown.substr(0, c.shown.size()), c.shown);
  }
}

// A service that takes the request and never answers ends in the request's time-out.
TEST(LoopbackFaultTest, SilentServiceEndsInFailureAfterTheTimeOut) {
  StandInOptions options;
  options.fault = "silent";
  StandInService service(options);
  ASSERT_NE(service.Port(), 0);
  AppHarness app;
  SetServiceHostForTesting(service.Host());
  app.window.PrimeEditText(EditBox::编辑框2, "previous");

  SubmitPackage();

  EXPECT_THAT(app.window.Messages(), ElementsAre(kSubmitFailedMessage));
  EXPECT_EQ(app.window.EditBoxText(EditBox::编辑框2), "previous");
}

}  // namespace
}  // namespace quorvel

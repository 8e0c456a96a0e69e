// HttpRequest over the platform's request object against real loopback servers: what the
// server receives, what comes back into the record, cookies over two requests, proxy,
// certificates and hostile answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/http_request.h"
#include "support/loopback_servers.h"

namespace quorvel {
namespace {

using test::LoopbackServers;
using test::ParseEcho;
using test::ReceivedRequest;
using Lines = std::vector<std::string>;

class HttpRequestLoopbackTest : public testing::Test {
 protected:
  explicit HttpRequestLoopbackTest(bool withTls = false) : servers_(withTls) {}
  void SetUp() override { ASSERT_TRUE(servers_.Running()); }

  // A record for url with a short time-out and stale outputs that every call must overwrite.
  static HttpRequestArgs Args(const std::string& url) {
    HttpRequestArgs args;
    args.url = url;
    args.timeoutSeconds = 5;
    args.responseCookies = "stale=1";
    args.responseHeaders = "Stale: 1";
    args.statusCode = 999;
    return args;
  }

  static void ExpectFailed(const HttpRequestArgs& args, const ByteArray& body) {
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(args.statusCode, 0);
    EXPECT_EQ(args.responseHeaders, "");
    EXPECT_EQ(args.responseCookies, "");
  }

  LoopbackServers servers_;
};

TEST_F(HttpRequestLoopbackTest, DefaultHeadersAndNormalisedBlockArriveAsSent) {
  const std::string url = servers_.Url("http", "/echo");
  HttpRequestArgs args = Args(url);
  args.method = kHttpPost;
  args.bodyText = "data=\xd6\xd0\xce\xc4%2B";  // "data=中文%2B"
  args.headers = "user-agent: quorvel-test\r\nx-custom-name:  spaced  \r\nConnection: keep-alive";
  const ReceivedRequest received = ParseEcho(HttpRequest(args));

  EXPECT_EQ(args.statusCode, 200);
  EXPECT_EQ(received.method, "POST");
  EXPECT_EQ(received.body, "data=\xd6\xd0\xce\xc4%2B");
  const Lines expected = {
      "Host: " + servers_.HostPort("http"),
      "User-Agent: quorvel-test",
      "X-Custom-Name: spaced",
      "Accept: */*",
      "Referer: " + url,
      "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded",
      "Content-Length: 12",
  };
  EXPECT_EQ(received.Lines(), expected);

  // A GET gets no Content-Type and no body.
  args = Args(url);
  const ReceivedRequest get = ParseEcho(HttpRequest(args));
  EXPECT_EQ(get.method, "GET");
  EXPECT_TRUE(get.Values("Content-Type").empty());
  EXPECT_TRUE(get.Values("Content-Length").empty());
  EXPECT_EQ(get.Values("User-Agent"), Lines{"Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"});
}

TEST_F(HttpRequestLoopbackTest, EveryMethodIndexSendsItsMethod) {
  const char* methods[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE"};
  for (int index = -1; index <= 8; ++index) {
    if (index == kHttpConnect) continue;  // not something an echo server answers
    const std::string expected = index >= 0 && index < 7 ? methods[index] : "GET";
    SCOPED_TRACE(index);
    HttpRequestArgs args = Args(servers_.Url("http", "/echo"));
    args.method = index;
    args.bodyBytes = {'b', 0x00, 'y'};
    const ByteArray body = HttpRequest(args);
    EXPECT_EQ(args.statusCode, 200);
    if (expected == "HEAD") {
      EXPECT_TRUE(body.empty());
      continue;
    }
    const ReceivedRequest received = ParseEcho(body);
    EXPECT_EQ(received.method, expected);
    EXPECT_EQ(received.body, std::string("b\0y", 3));
  }
}

TEST_F(HttpRequestLoopbackTest, CookiesGoOutAndComeBackMergedOverTwoRequests) {
  HttpRequestArgs args =
      Args(servers_.Url("http", "/echo?cookie=sid%3D7%3B%20Path%3D%2F&cookie=flag%3D1"));
  args.cookies = Text();
  ReceivedRequest received = ParseEcho(HttpRequest(args));
  EXPECT_EQ(received.Values("Cookie"), Lines{""});
  EXPECT_EQ(args.responseCookies, "sid=7; flag=1");
  EXPECT_EQ(args.cookies, "sid=7; flag=1");

  args.url = servers_.Url("http", "/echo?cookie=sid%3D8&cookie=flag%3Ddeleted");
  received = ParseEcho(HttpRequest(args));
  EXPECT_EQ(received.Values("Cookie"), Lines{"sid=7; flag=1"});
  EXPECT_EQ(args.cookies, "sid=8");
  EXPECT_EQ(args.responseCookies, "sid=8");

  // Without merging the given text goes out as it is, its "Cookie:" prefix removed.
  args = Args(servers_.Url("http", "/echo?cookie=x%3D1"));
  args.cookies = "Cookie: a=1; b=2";
  args.mergeResponseCookies = false;
  received = ParseEcho(HttpRequest(args));
  EXPECT_EQ(received.Values("Cookie"), Lines{"a=1; b=2"});
  EXPECT_EQ(args.cookies, " a=1; b=2");
  EXPECT_EQ(args.responseCookies, "x=1");
}

TEST_F(HttpRequestLoopbackTest, HeaderValuesWithLineBreaksNeverReachTheServer) {
  HttpRequestArgs args = Args(servers_.Url("http", "/echo"));
  args.headers = "X-Inject: a\nX-Evil: 1\r\nX-Also: b\rX-Evil: 2\r\nX-Fine: ok";
  args.cookies = "a=1\nX-Evil: 3";
  const ReceivedRequest received = ParseEcho(HttpRequest(args));
  EXPECT_EQ(args.statusCode, 200);
  EXPECT_TRUE(received.Values("X-Evil").empty());
  EXPECT_TRUE(received.Values("X-Inject").empty());
  EXPECT_TRUE(received.Values("X-Also").empty());
  EXPECT_TRUE(received.Values("Cookie").empty());
  EXPECT_EQ(received.Values("X-Fine"), Lines{"ok"});
}

TEST_F(HttpRequestLoopbackTest, RedirectsFollowedOrReturned) {
  HttpRequestArgs args = Args(servers_.Url("http", "/redirect/3"));
  EXPECT_EQ(BytesToText(HttpRequest(args)), "arrived");
  EXPECT_EQ(args.statusCode, 200);
  EXPECT_EQ(args.responseHeaders, "Content-Length: 7\r\nX-Final: yes");

  args = Args(servers_.Url("http", "/redirect/3"));
  args.disableRedirects = true;
  EXPECT_EQ(BytesToText(HttpRequest(args)), "moving on");
  EXPECT_EQ(args.statusCode, 302);
  EXPECT_EQ(args.responseHeaders, "Content-Length: 9\r\nLocation: /redirect/2");
}

TEST_F(HttpRequestLoopbackTest, FailedExchangesLeaveEmptyOutputs) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/echo";
  const std::string cases[] = {
      refused,
      servers_.Url("http", "/slow?seconds=5"),  // beyond the time-out of one second
      servers_.Url("http", "/garbage"),
      servers_.Url("http", "/reset"),
      servers_.Url("http", "/flood"),
      servers_.Url("http", "/loop"),
  };
  for (const std::string& url : cases) {
    SCOPED_TRACE(url);
    HttpRequestArgs args = Args(url);
    args.timeoutSeconds = 1;
    const ByteArray body = HttpRequest(args);
    ExpectFailed(args, body);
  }
}

TEST_F(HttpRequestLoopbackTest, ProxyWithBasicCredentials) {
  for (const auto& [password, status] : {std::pair{"secret", 200}, {"wrong", 407}}) {
    SCOPED_TRACE(password);
    HttpRequestArgs args = Args(servers_.Url("http", "/echo"));
    args.proxy = servers_.HostPort("proxy");
    args.userName = "user";
    args.password = password;
    const ByteArray body = HttpRequest(args);
    // The proxy refuses a doubled Proxy-Authorization line with 400.
    EXPECT_EQ(args.statusCode, status);
    if (status == 200) {
      EXPECT_EQ(ParseEcho(body).Values("Via"), Lines{"1.1 loopback-proxy"});
    }
  }
}

class HttpRequestTlsLoopbackTest : public HttpRequestLoopbackTest {
 protected:
  HttpRequestTlsLoopbackTest() : HttpRequestLoopbackTest(true) {}
};

TEST_F(HttpRequestTlsLoopbackTest, CertificateFaultsOfTheFourKindsAreAccepted) {
  for (const char* server : {"https-valid", "https-selfsigned", "https-expired", "https-wrongname",
                             "https-wrongusage"}) {
    SCOPED_TRACE(server);
    HttpRequestArgs args = Args(servers_.Url(server, "/echo"));
    args.method = kHttpPost;
    args.bodyText = "x=1";
    EXPECT_EQ(ParseEcho(HttpRequest(args)).body, "x=1");
    EXPECT_EQ(args.statusCode, 200);
  }
  HttpRequestArgs args = Args(servers_.Url("https-badsig", "/echo"));
  const ByteArray body = HttpRequest(args);
  ExpectFailed(args, body);
}

TEST_F(HttpRequestTlsLoopbackTest, ProxyTunnelKeepsItsCredentials) {
  HttpRequestArgs args = Args(servers_.Url("https-valid", "/echo"));
  args.proxy = servers_.HostPort("proxy");
  args.userName = "user";
  args.password = "secret";
  args.method = kHttpPost;
  args.bodyText = "through";
  const ReceivedRequest received = ParseEcho(HttpRequest(args));
  EXPECT_EQ(args.statusCode, 200);
  EXPECT_EQ(received.body, "through");
  EXPECT_TRUE(received.Values("Proxy-Authorization").empty());
}

}  // namespace
}  // namespace quorvel

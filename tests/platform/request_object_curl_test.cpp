// The libcurl request object against real loopback servers: what reaches the wire, what
// comes back, time-outs, proxy, certificate flags, redirects and hostile answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/request_object.h"
#include "support/loopback_servers.h"

namespace quorvel {
namespace {

using test::LoopbackServers;
using test::ParseEcho;
using test::ReceivedRequest;

struct Reply {
  bool sent = false;
  int status = 0;
  Text headers;
  ByteArray body;

  Text BodyText() const { return Text(body.begin(), body.end()); }
};

Reply Collect(RequestObject& object, bool sent) {
  return Reply{sent, object.Status(), object.GetAllResponseHeaders(), object.ResponseBody()};
}

// Opens method url on object, sends body and collects the reply.
Reply Exchange(RequestObject& object, const Text& method, const std::string& url,
               const Text& body = Text()) {
  EXPECT_TRUE(object.Open(method, url, false));
  return Collect(object, object.Send(body));
}

void ExpectFailedExchange(const Reply& reply) {
  EXPECT_FALSE(reply.sent);
  EXPECT_EQ(reply.status, 0);
  EXPECT_EQ(reply.headers, "");
  EXPECT_TRUE(reply.body.empty());
}

class RequestObjectCurlTest : public testing::Test {
 protected:
  explicit RequestObjectCurlTest(bool withTls = false) : servers_(withTls) {}

  void SetUp() override {
    ASSERT_TRUE(servers_.Running());
    object_ = CreateRequestObject();
    ASSERT_NE(object_, nullptr);
  }

  LoopbackServers servers_;
  std::shared_ptr<RequestObject> object_;
};

TEST_F(RequestObjectCurlTest, MethodsAndBodiesArriveAsSent) {
  const Text gbkBody = "q=\xd6\xd0\xce\xc4&x=%2B";  // "q=中文&x=%2B"
  struct Case {
    Text method;
    Text body;
    const char* contentLength;  // nullptr: no Content-Length header at all
  };
  const Case cases[] = {
      {"GET", "", nullptr},     {"POST", gbkBody, "12"}, {"POST", "", "0"},
      {"PUT", "put body", "8"}, {"DELETE", "", nullptr}, {"OPTIONS", "", nullptr},
      {"TRACE", "", nullptr},   {"PATCH", "x", "1"},
  };
  // A HEAD that waited for a body would run into this limit.
  ASSERT_TRUE(object_->SetTimeouts(2000, 2000, 2000, 2000));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    const Reply reply = Exchange(*object_, c.method, servers_.Url("http", "/echo"), c.body);
    ASSERT_TRUE(reply.sent);
    EXPECT_EQ(reply.status, 200);
    const ReceivedRequest received = ParseEcho(reply.body);
    EXPECT_EQ(received.method, c.method);
    EXPECT_EQ(received.target, "/echo");
    EXPECT_EQ(received.body, c.body);
    const std::vector<std::string> lengths = received.Values("Content-Length");
    EXPECT_EQ(lengths, c.contentLength ? std::vector<std::string>{c.contentLength}
                                       : std::vector<std::string>{});
    // libcurl's own defaults stay out; the caller decides these headers.
    EXPECT_TRUE(received.Values("Accept").empty());
    EXPECT_TRUE(received.Values("Expect").empty());
    EXPECT_TRUE(received.Values("Content-Type").empty());
  }

  // Answers to HEAD and CONNECT are taken without a body, and what a server sends after
  // them anyway never becomes the answer to the next request.
  for (const Text method : {"HEAD", "CONNECT"}) {
    SCOPED_TRACE(method);
    const Reply reply = Exchange(*object_, method, servers_.Url("http", "/late-body"));
    EXPECT_TRUE(reply.sent);
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(reply.body.empty());
    EXPECT_EQ(ParseEcho(Exchange(*object_, "GET", servers_.Url("http", "/echo")).body).method,
              "GET");
  }
}

TEST_F(RequestObjectCurlTest, ByteBodiesGoOutWhole) {
  ByteArray small = {0x00, 0x01, 0xff, 0x00, 0x80};
  ByteArray large(3 << 20);  // above the size where libcurl would ask for 100-continue
  for (std::size_t i = 0; i < large.size(); ++i)
    large[i] = static_cast<std::uint8_t>(i * 7);
  for (const ByteArray* body : {&small, &large}) {
    ASSERT_TRUE(object_->Open("POST", servers_.Url("http", "/echo"), false));
    ASSERT_TRUE(object_->Send(*body));
    const ReceivedRequest received = ParseEcho(object_->ResponseBody());
    EXPECT_EQ(received.body, std::string(body->begin(), body->end()));
    EXPECT_EQ(received.Values("Content-Length"),
              std::vector<std::string>{std::to_string(body->size())});
    EXPECT_TRUE(received.Values("Expect").empty());
  }
}

TEST_F(RequestObjectCurlTest, HeadersArriveInOrderAndReplaceEarlierValues) {
  ASSERT_TRUE(object_->Open("POST", servers_.Url("http", "/echo"), false));
  ASSERT_TRUE(object_->SetRequestHeader("Accept", "text/plain"));
  ASSERT_TRUE(object_->SetRequestHeader("X-Gbk", "\xd6\xd0\xce\xc4"));  // "中文"
  ASSERT_TRUE(object_->SetRequestHeader("Cookie", ""));
  ASSERT_TRUE(object_->SetRequestHeader("X-Twice", "first"));
  ASSERT_TRUE(object_->SetRequestHeader("Content-Type", "text/x; charset=gbk"));
  ASSERT_TRUE(object_->SetRequestHeader("x-twice", "second"));
  ASSERT_TRUE(object_->SetRequestHeader("User-Agent", "ua/1"));
  ASSERT_TRUE(object_->SetCredentials("who", "pw", RequestObject::kCredentialsForServer));
  ASSERT_TRUE(object_->Send(Text("b")));

  const ReceivedRequest received = ParseEcho(object_->ResponseBody());
  const std::vector<std::string> expected = {
      "Host: " + servers_.HostPort("http"),
      "Authorization: Basic d2hvOnB3",  // who:pw
      "Accept: text/plain",
      "X-Gbk: \xd6\xd0\xce\xc4",
      "Cookie: ",
      "X-Twice: second",
      "Content-Type: text/x; charset=gbk",
      "User-Agent: ua/1",
      "Content-Length: 1",
  };
  EXPECT_EQ(received.Lines(), expected);
}

TEST_F(RequestObjectCurlTest, RefusedHeadersNeverReachTheWire) {
  const std::string url = servers_.Url("http", "/echo");
  EXPECT_FALSE(object_->SetRequestHeader("X-Early", "before Open"));
  ASSERT_TRUE(object_->Open("GET", url, false));
  const std::pair<Text, Text> refused[] = {
      {"", "empty name"},
      {"X Space", "v"},
      {"X-Colon:", "v"},
      {"X-\xd6\xd0", "v"},  // "X-中": not a token
      {"X-Inject", "a\r\nX-Evil: 1"},
      {"X-Inject", "a\nX-Evil: 1"},
      {"X-Inject", "a\rX-Evil: 1"},
      {"X-Inject", std::string("a\0X-Evil: 1", 11)},
      {"Content-Length", "5"},
      {"Transfer-Encoding", "chunked"},
  };
  for (const auto& [name, value] : refused) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(object_->SetRequestHeader(name, value));
  }
  ASSERT_TRUE(object_->SetRequestHeader("X-Inject", "kept"));
  EXPECT_FALSE(object_->SetRequestHeader("X-Inject", "a\r\nX-Evil: 1"));
  ASSERT_TRUE(object_->Send(Text()));

  const ReceivedRequest received = ParseEcho(object_->ResponseBody());
  EXPECT_EQ(received.Values("X-Inject"), std::vector<std::string>{"kept"});
  EXPECT_TRUE(received.Values("X-Evil").empty());
  EXPECT_TRUE(received.Values("X-Early").empty());
  EXPECT_TRUE(received.Values("Transfer-Encoding").empty());
  EXPECT_EQ(received.Values("Content-Length"), std::vector<std::string>{});
}

TEST_F(RequestObjectCurlTest, OpenRefusesWhatCannotBeSent) {
  const std::string url = servers_.Url("http", "/echo");
  EXPECT_FALSE(object_->Send(Text()));  // nothing opened yet
  EXPECT_FALSE(object_->SetCredentials("u", "p", RequestObject::kCredentialsForProxy));
  EXPECT_FALSE(object_->Open("GET", url, true));  // asynchronous use
  EXPECT_FALSE(object_->Open("", url, false));
  EXPECT_FALSE(object_->Open("GET /x HTTP/1.1\r\nX:", url, false));
  EXPECT_FALSE(object_->Open("GET", "ftp://127.0.0.1/file", false));
  EXPECT_FALSE(object_->Open("GET", "127.0.0.1/echo", false));
  EXPECT_FALSE(object_->Open("GET", url + " HTTP/1.1\r\nX-Evil: 1", false));
  EXPECT_FALSE(object_->SetTimeouts(1000, -2, 1000, 1000));
  EXPECT_FALSE(object_->SetOption(RequestObject::kOptionIgnoreCertificateErrors, 0x4000));
  EXPECT_FALSE(object_->SetOption(99, 0));
  EXPECT_FALSE(object_->SetProxy(RequestObject::kProxySettingNamed, ""));
  EXPECT_FALSE(object_->SetProxy(RequestObject::kProxySettingNamed, "http://u:p@127.0.0.1:1"));
  EXPECT_FALSE(object_->SetProxy(RequestObject::kProxySettingNamed, "socks5://127.0.0.1:1"));
}

TEST_F(RequestObjectCurlTest, EachOpenStartsAFreshRequest) {
  const std::string url = servers_.Url("http", "/echo");
  ASSERT_TRUE(object_->Open("POST", url, false));
  ASSERT_TRUE(object_->SetRequestHeader("X-First", "1"));
  ASSERT_TRUE(object_->Send(Text("one")));
  EXPECT_FALSE(object_->Send(Text("again")));  // one Send per Open
  EXPECT_FALSE(object_->SetRequestHeader("X-Late", "1"));

  ASSERT_TRUE(object_->Open("GET", url, false));
  EXPECT_EQ(object_->Status(), 0);
  EXPECT_TRUE(object_->ResponseBody().empty());
  ASSERT_TRUE(object_->Send(Text()));
  const ReceivedRequest received = ParseEcho(object_->ResponseBody());
  EXPECT_EQ(received.method, "GET");
  EXPECT_TRUE(received.Values("X-First").empty());
  EXPECT_EQ(received.body, "");
}

TEST_F(RequestObjectCurlTest, ResponseHoldsTheFinalAnswerOnly) {
  // Two redirects, then the answer.
  Reply reply = Exchange(*object_, "GET", servers_.Url("http", "/redirect/2"));
  EXPECT_TRUE(reply.sent);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.headers, "Content-Length: 7\r\nX-Final: yes");
  EXPECT_EQ(reply.BodyText(), "arrived");

  // An interim 100 answer before the final one.
  reply = Exchange(*object_, "GET", servers_.Url("http", "/interim"));
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.headers, "Content-Length: 5\r\nX-Final: yes");
  EXPECT_EQ(reply.BodyText(), "final");

  // Set-Cookie lines and the status of an error answer come through unchanged.
  reply =
      Exchange(*object_, "GET",
               servers_.Url("http", "/echo?status=404&cookie=a%3D1%3B%20Path%3D%2F&cookie=b%3D2"));
  EXPECT_TRUE(reply.sent);
  EXPECT_EQ(reply.status, 404);
  EXPECT_EQ(reply.headers.substr(reply.headers.find("\r\n") + 2),
            "Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2");
}

TEST_F(RequestObjectCurlTest, RedirectsCanBeSwitchedOff) {
  ASSERT_TRUE(object_->SetOption(RequestObject::kOptionEnableRedirects, 0));
  const Reply reply = Exchange(*object_, "GET", servers_.Url("http", "/redirect/2"));
  EXPECT_TRUE(reply.sent);
  EXPECT_EQ(reply.status, 302);
  EXPECT_EQ(reply.headers, "Content-Length: 9\r\nLocation: /redirect/1");
  EXPECT_EQ(reply.BodyText(), "moving on");
}

TEST_F(RequestObjectCurlTest, IdleLimitsEndStalledExchangesOnly) {
  struct Case {
    const char* path;
    std::size_t bodySize;
    int sendMs;
    int receiveMs;
    bool completes;
  };
  const Case cases[] = {
      {"/slow?seconds=5", 0, 0, 1000, false},  // no answer within the receive limit
      {"/stall", 0, 0, 1000, false},           // the body stops half-way
      {"/deaf", 32 << 20, 1000, 0, false},     // the server never reads the body
      // Bytes keep coming, slower in total than the limit but never idle that long.
      {"/trickle?bytes=5&interval=0.3", 0, 0, 1000, true},
      // The send limit does not cut short the wait for the answer.
      {"/slow?seconds=1.5", 0, 1000, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto object = CreateRequestObject();
    ASSERT_TRUE(object->SetTimeouts(1000, 1000, c.sendMs, c.receiveMs));
    ASSERT_TRUE(object->Open("POST", servers_.Url("http", c.path), false));
    const ByteArray body(c.bodySize, 'b');
    const Reply reply = Collect(*object, object->Send(body));
    if (c.completes) {
      EXPECT_TRUE(reply.sent);
      EXPECT_EQ(reply.status, 200);
    } else {
      ExpectFailedExchange(reply);
    }
  }
}

TEST_F(RequestObjectCurlTest, RefusedConnectionGivesEmptyValues) {
  const std::string url = "http://127.0.0.1:" + std::to_string(test::UnusedPort()) + "/echo";
  ExpectFailedExchange(Exchange(*object_, "GET", url));
}

TEST_F(RequestObjectCurlTest, HostileAnswersEndInEmptyValues) {
  ASSERT_TRUE(object_->SetTimeouts(2000, 2000, 2000, 2000));
  for (const char* path : {"/garbage", "/reset", "/flood", "/loop"}) {
    SCOPED_TRACE(path);
    ExpectFailedExchange(Exchange(*object_, "GET", servers_.Url("http", path)));
  }
  // The object stays usable afterwards.
  EXPECT_EQ(Exchange(*object_, "GET", servers_.Url("http", "/echo")).status, 200);
}

TEST_F(RequestObjectCurlTest, ProxyWithBasicCredentialsForHttp) {
  const Text token = "Basic dXNlcjpzZWNyZXQ=";  // user:secret
  struct Case {
    Text password;
    bool alsoHeader;  // the caller also sets Proxy-Authorization, as HttpRequest does
    int status;
  };
  for (const Case& c :
       {Case{"secret", true, 200}, Case{"secret", false, 200}, Case{"wrong", false, 407}}) {
    SCOPED_TRACE(c.password + (c.alsoHeader ? " with header" : ""));
    auto object = CreateRequestObject();
    ASSERT_TRUE(object->SetProxy(RequestObject::kProxySettingNamed, servers_.HostPort("proxy")));
    ASSERT_TRUE(object->Open("GET", servers_.Url("http", "/echo"), false));
    ASSERT_TRUE(object->SetCredentials("user", c.password, RequestObject::kCredentialsForProxy));
    if (c.alsoHeader) {
      ASSERT_TRUE(object->SetRequestHeader("Proxy-Authorization", token));
    }
    const Reply reply = Collect(*object, object->Send(Text()));
    // The proxy answers 400 to a second Proxy-Authorization line.
    EXPECT_EQ(reply.status, c.status);
    if (c.status != 200) continue;
    const ReceivedRequest received = ParseEcho(reply.body);
    EXPECT_EQ(received.Values("Via"), std::vector<std::string>{"1.1 loopback-proxy"});
  }
}

// Restores an environment variable when the test ends.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_.empty()) {
      unsetenv(name_);
    } else {
      setenv(name_, old_.c_str(), 1);
    }
  }

 private:
  const char* name_;
  std::string old_;
};

TEST_F(RequestObjectCurlTest, EnvironmentProxySettingsAreIgnored) {
  const std::string nowhere = "http://127.0.0.1:" + std::to_string(test::UnusedPort());
  const ScopedEnv httpProxy("http_proxy", nowhere);
  const ScopedEnv allProxy("ALL_PROXY", nowhere);
  const ScopedEnv noProxy("no_proxy", "127.0.0.1");

  // No SetProxy: straight to the server, whatever the environment names.
  Reply reply = Exchange(*object_, "GET", servers_.Url("http", "/echo"));
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(ParseEcho(reply.body).Values("Via").empty());

  // A named proxy is used even for hosts the environment exempts.
  ASSERT_TRUE(
      object_->SetProxy(RequestObject::kProxySettingNamed, "http://" + servers_.HostPort("proxy")));
  ASSERT_TRUE(object_->Open("GET", servers_.Url("http", "/echo"), false));
  ASSERT_TRUE(object_->SetCredentials("user", "secret", RequestObject::kCredentialsForProxy));
  reply = Collect(*object_, object_->Send(Text()));
  EXPECT_EQ(reply.status, 200);
  EXPECT_FALSE(ParseEcho(reply.body).Values("Via").empty());
}

class RequestObjectTlsTest : public RequestObjectCurlTest {
 protected:
  RequestObjectTlsTest() : RequestObjectCurlTest(true) {}
};

TEST_F(RequestObjectTlsTest, EachFlagIgnoresOnlyItsOwnCategory) {
  struct Case {
    const char* server;
    int flags;
    bool accepted;
  };
  const Case cases[] = {
      {"https-valid", 0, false},  // full verification: the loopback CA is not trusted
      {"https-valid", 0x0100, true},
      {"https-valid", 0x3200, false},
      {"https-selfsigned", 0x0100, true},
      {"https-selfsigned", 0x3200, false},
      {"https-selfsigned", 0x3300, true},
      {"https-expired", 0x2100, true},
      {"https-expired", 0x1300, false},
      {"https-expired", 0x3300, true},
      {"https-wrongname", 0x1100, true},
      {"https-wrongname", 0x2300, false},
      {"https-wrongname", 0x3300, true},
      {"https-wrongusage", 0x0300, true},
      {"https-wrongusage", 0x3100, false},
      {"https-badsig", 0x3300, false},  // a broken signature is never ignored
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " flags " + std::to_string(c.flags));
    auto object = CreateRequestObject();
    ASSERT_TRUE(object->SetOption(RequestObject::kOptionIgnoreCertificateErrors, c.flags));
    const Reply reply = Exchange(*object, "POST", servers_.Url(c.server, "/echo"), "x=1");
    if (c.accepted) {
      EXPECT_TRUE(reply.sent);
      EXPECT_EQ(reply.status, 200);
      EXPECT_EQ(ParseEcho(reply.body).body, "x=1");
    } else {
      ExpectFailedExchange(reply);
    }
  }
}

TEST_F(RequestObjectTlsTest, StricterFlagsAreNotBypassedByAnEarlierConnection) {
  const std::string url = servers_.Url("https-expired", "/echo");
  for (const auto& [flags, status] : {std::pair{0x3300, 200}, {0x1300, 0}, {0x3300, 200}}) {
    SCOPED_TRACE(flags);
    ASSERT_TRUE(object_->SetOption(RequestObject::kOptionIgnoreCertificateErrors, flags));
    EXPECT_EQ(Exchange(*object_, "GET", url).status, status);
  }
}

TEST_F(RequestObjectTlsTest, RedirectsNeverStepDownFromHttpsToHttp) {
  ASSERT_TRUE(object_->SetOption(RequestObject::kOptionIgnoreCertificateErrors, 0x3300));
  const std::string toHttp =
      servers_.Url("https-valid", "/goto?url=" + servers_.Url("http", "/echo"));
  ExpectFailedExchange(Exchange(*object_, "GET", toHttp));
  // Also when the chain started on http.
  ExpectFailedExchange(Exchange(*object_, "GET", servers_.Url("http", "/goto?url=" + toHttp)));
  // Upwards is fine.
  const Reply up = Exchange(
      *object_, "GET", servers_.Url("http", "/goto?url=" + servers_.Url("https-valid", "/echo")));
  EXPECT_EQ(up.status, 200);
  EXPECT_EQ(ParseEcho(up.body).Values("Host"),
            std::vector<std::string>{servers_.HostPort("https-valid")});
}

TEST_F(RequestObjectTlsTest, ProxyTunnelsHttpsWithBasicCredentials) {
  const Text token = "Basic dXNlcjpzZWNyZXQ=";  // user:secret
  for (const Text password : {"secret", "wrong"}) {
    SCOPED_TRACE(password);
    auto object = CreateRequestObject();
    ASSERT_TRUE(object->SetProxy(RequestObject::kProxySettingNamed, servers_.HostPort("proxy")));
    ASSERT_TRUE(object->SetOption(RequestObject::kOptionIgnoreCertificateErrors, 0x3300));
    ASSERT_TRUE(object->Open("POST", servers_.Url("https-valid", "/echo"), false));
    ASSERT_TRUE(object->SetCredentials("user", password, RequestObject::kCredentialsForProxy));
    ASSERT_TRUE(object->SetRequestHeader(
        "Proxy-Authorization", password == "secret" ? token : Text("Basic d3Jvbmc6d3Jvbmc=")));
    const Reply reply = Collect(*object, object->Send(Text("through")));
    if (password != "secret") {
      ExpectFailedExchange(reply);
      continue;
    }
    EXPECT_EQ(reply.status, 200);
    const ReceivedRequest received = ParseEcho(reply.body);
    EXPECT_EQ(received.body, "through");
    // The proxy's credentials stay with the proxy; they never pass through the tunnel.
    EXPECT_TRUE(received.Values("Proxy-Authorization").empty());
  }
}

}  // namespace
}  // namespace quorvel

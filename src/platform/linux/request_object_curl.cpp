// The Linux request object: one HTTP/1.1 exchange at a time on a libcurl easy handle over
// OpenSSL. Reached only through CreateRequestObject(); an object serves one thread at a time.
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/linux/certificate_check.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

// Time-outs without SetTimeouts, in milliseconds; 0 is no limit.
constexpr int kDefaultResolveMs = 0;
constexpr int kDefaultConnectMs = 60000;
constexpr int kDefaultSendMs = 30000;
constexpr int kDefaultReceiveMs = 30000;
// What "no limit" becomes for libcurl, whose own 0 means its default.
constexpr long kUnlimitedMs = INT_MAX;
constexpr long kMaxRedirects = 10;
// All header lines of one exchange (every hop and interim answer) may not exceed this.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;
// A Content-Length larger than this is not trusted for reserving the body up front.
constexpr curl_off_t kMaxBodyReserve = 64 << 20;
constexpr int kAllCertificateFlags =
    RequestObject::kIgnoreUnknownCa | RequestObject::kIgnoreWrongUsage |
    RequestObject::kIgnoreCertCnInvalid | RequestObject::kIgnoreCertDateInvalid;

// Initialises libcurl and OpenSSL once per process, from whichever thread comes first.
bool InitialiseOnce() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK && PrepareCertificateChecks();
  });
  return ready;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// An HTTP token: the letters, digits and !#$%&'*+-.^_`|~ only, at least one of them.
bool IsToken(std::string_view text) {
  static constexpr std::string_view kSymbols = "!#$%&'*+-.^_`|~";
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kSymbols.find(c) != std::string_view::npos;
  });
}

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;
using HeaderList = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

// The part of a parsed URL, or nothing when it has none.
std::optional<Text> UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* value = nullptr;
  if (curl_url_get(url, part, &value, flags) != CURLUE_OK) return std::nullopt;
  Text result(value);
  curl_free(value);
  return result;
}

// True for an absolute http or https URL with a host and nothing libcurl would refuse
// (spaces and control bytes included).
bool IsHttpUrl(const Text& text) {
  UrlHandle url(curl_url(), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return false;
  const std::optional<Text> scheme = UrlPart(url.get(), CURLUPART_SCHEME);
  return scheme && (*scheme == "http" || *scheme == "https") && UrlPart(url.get(), CURLUPART_HOST);
}

// The proxy text "host", "host:port" or "http://host:port" as "http://host:port" (port 80
// when none is given); empty for anything else (paths, credentials, lists, other schemes).
Text ProxyUrl(const Text& proxy) {
  if (proxy.empty() ||
      proxy.find_first_of(" \t;=/@", StartsWithIgnoreCase(proxy, "http://") ? 7 : 0) !=
          Text::npos) {
    return Text();
  }
  const Text full = StartsWithIgnoreCase(proxy, "http://") ? proxy : "http://" + proxy;
  UrlHandle url(curl_url(), curl_url_cleanup);
  if (!url || curl_url_set(url.get(), CURLUPART_URL, full.c_str(), 0) != CURLUE_OK) return Text();
  const std::optional<Text> host = UrlPart(url.get(), CURLUPART_HOST);
  const std::optional<Text> port = UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  if (!host || !port) return Text();
  return "http://" + *host + ":" + *port;
}

class CurlRequestObject final : public RequestObject {
 public:
  explicit CurlRequestObject(CURL* easy) : easy_(easy) { ConfigureHandle(); }
  ~CurlRequestObject() override { curl_easy_cleanup(easy_); }
  CurlRequestObject(const CurlRequestObject&) = delete;
  CurlRequestObject& operator=(const CurlRequestObject&) = delete;

  bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) override {
    if (std::min({resolveMs, connectMs, sendMs, receiveMs}) < -1) return false;
    resolveMs_ = resolveMs;
    connectMs_ = connectMs;
    sendMs_ = sendMs;
    receiveMs_ = receiveMs;
    return true;
  }

  bool SetProxy(int proxySetting, const Text& proxy) override;
  bool Open(const Text& method, const Text& url, bool async) override;
  bool SetOption(int index, int value) override;
  bool SetCredentials(const Text& userName, const Text& password, int flags) override;
  bool SetRequestHeader(const Text& name, const Text& value) override;
  bool Send(const Text& body) override { return Exchange(body.data(), body.size()); }
  bool Send(const ByteArray& body) override {
    return Exchange(reinterpret_cast<const char*>(body.data()), body.size());
  }
  ByteArray ResponseBody() override { return body_; }
  Text GetAllResponseHeaders() override;
  int Status() override { return status_; }

 private:
  enum class State { kClosed, kOpened, kSent };
  struct Header {
    Text name;
    Text value;
  };
  struct Credentials {
    bool given = false;
    Text userName;
    Text password;
  };

  void ConfigureHandle();
  // Returns whether a body (possibly empty, with its Content-Length) goes out.
  bool ConfigureMethodAndBody(const char* body, std::size_t size);
  void ConfigureConnection();
  // The caller's headers for the server and for the proxy, with libcurl's own defaults
  // (Accept, Expect, Content-Type) switched off where the caller gave none.
  std::pair<HeaderList, HeaderList> BuildHeaderLists(bool sendsBody) const;
  bool Exchange(const char* body, std::size_t size);
  void ClearResponse();
  const Header* FindHeader(std::string_view name) const;

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
  static int OnProgress(void* self, curl_off_t downloadTotal, curl_off_t downloaded,
                        curl_off_t uploadTotal, curl_off_t uploaded);
  static int OnRequestReady(void* self, char*, char*, int, int);
  static CURLcode OnTlsContext(CURL*, void* context, void* self);

  CURL* easy_;
  // Settings of the object, kept from one request to the next.
  int resolveMs_ = kDefaultResolveMs;
  int connectMs_ = kDefaultConnectMs;
  int sendMs_ = kDefaultSendMs;
  int receiveMs_ = kDefaultReceiveMs;
  Text proxyUrl_;
  bool followRedirects_ = true;
  int ignoredCertificateErrors_ = 0;
  int connectionCertificateFlags_ = -1;  // flags the cached connections were verified under
  // The request being prepared by Open and the calls after it.
  State state_ = State::kClosed;
  Text method_;
  Text url_;
  std::vector<Header> headers_;
  Credentials server_;
  Credentials proxy_;
  // Progress of the current hop, for the send and receive idle limits.
  bool requestStarted_ = false;
  bool responseStarted_ = false;
  bool sawHttps_ = false;
  curl_off_t uploaded_ = 0;
  curl_off_t downloaded_ = 0;
  Clock::time_point lastUpload_;
  Clock::time_point lastDownload_;
  // The response; only the final one survives a redirect or an interim answer.
  bool inHeaderBlock_ = false;
  std::size_t headerBytes_ = 0;
  std::vector<Text> headerLines_;
  ByteArray body_;
  int status_ = 0;
};

void CurlRequestObject::ConfigureHandle() {
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
  // Headers meant for the proxy go to the proxy only, never through a tunnel.
  curl_easy_setopt(easy_, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
  curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy_, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
  curl_easy_setopt(easy_, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
  curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
  // The environment's proxy exceptions never apply; the proxy is the object's setting only.
  curl_easy_setopt(easy_, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &CurlRequestObject::OnTlsContext);
  curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, this);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlRequestObject::OnHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlRequestObject::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlRequestObject::OnProgress);
  curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CurlRequestObject::OnRequestReady);
  curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
}

bool CurlRequestObject::SetProxy(int proxySetting, const Text& proxy) {
  if (proxySetting != kProxySettingNamed) {
    // The default and the preconfigured setting: this platform has no configuration to use.
    if (proxySetting != 0 && proxySetting != 1) return false;
    proxyUrl_.clear();
    return true;
  }
  Text url = ProxyUrl(proxy);
  if (url.empty()) return false;
  proxyUrl_ = std::move(url);
  return true;
}

bool CurlRequestObject::Open(const Text& method, const Text& url, bool async) {
  // Only synchronous exchanges exist here.
  if (async || !IsToken(method) || !IsHttpUrl(url)) return false;
  method_ = method;
  url_ = url;
  headers_.clear();
  server_ = Credentials();
  proxy_ = Credentials();
  ClearResponse();
  state_ = State::kOpened;
  return true;
}

bool CurlRequestObject::SetOption(int index, int value) {
  if (index == kOptionEnableRedirects) {
    followRedirects_ = value != 0;
    return true;
  }
  if (index == kOptionIgnoreCertificateErrors && (value & ~kAllCertificateFlags) == 0) {
    ignoredCertificateErrors_ = value;
    return true;
  }
  return false;
}

bool CurlRequestObject::SetCredentials(const Text& userName, const Text& password, int flags) {
  if (state_ != State::kOpened) return false;
  if (flags != kCredentialsForServer && flags != kCredentialsForProxy) return false;
  (flags == kCredentialsForProxy ? proxy_ : server_) = Credentials{true, userName, password};
  return true;
}

bool CurlRequestObject::SetRequestHeader(const Text& name, const Text& value) {
  if (state_ != State::kOpened || !IsToken(name)) return false;
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != Text::npos) return false;
  // The object frames the body itself; a second framing would corrupt the exchange.
  if (EqualsIgnoreCase(name, "Content-Length") || EqualsIgnoreCase(name, "Transfer-Encoding")) {
    return false;
  }
  auto same = std::find_if(headers_.begin(), headers_.end(), [&](const Header& header) {
    return EqualsIgnoreCase(header.name, name);
  });
  if (same != headers_.end()) {
    same->value = value;
  } else {
    headers_.push_back(Header{name, value});
  }
  return true;
}

Text CurlRequestObject::GetAllResponseHeaders() {
  Text all;
  for (const Text& line : headerLines_) {
    if (!all.empty()) all += "\r\n";
    all += line;
  }
  return all;
}

const CurlRequestObject::Header* CurlRequestObject::FindHeader(std::string_view name) const {
  for (const Header& header : headers_) {
    if (EqualsIgnoreCase(header.name, name)) return &header;
  }
  return nullptr;
}

std::pair<HeaderList, HeaderList> CurlRequestObject::BuildHeaderLists(bool sendsBody) const {
  HeaderList server(nullptr, curl_slist_free_all);
  HeaderList proxy(nullptr, curl_slist_free_all);
  auto add = [](HeaderList& list, const Text& line) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer != nullptr) {
      list.release();
      list.reset(longer);
    }
  };
  for (const Header& header : headers_) {
    const bool blank = header.value.find_first_not_of(" \t") == Text::npos;
    // "Name;" is libcurl's way to send a header with an empty value.
    const Text line = blank ? header.name + ";" : header.name + ": " + header.value;
    const bool forProxy =
        !proxyUrl_.empty() && EqualsIgnoreCase(header.name, "Proxy-Authorization");
    add(forProxy ? proxy : server, line);
  }
  // "Name:" removes a header libcurl would otherwise add by itself.
  if (FindHeader("Accept") == nullptr) add(server, "Accept:");
  if (FindHeader("Expect") == nullptr) add(server, "Expect:");
  if (sendsBody && FindHeader("Content-Type") == nullptr) add(server, "Content-Type:");
  return {std::move(server), std::move(proxy)};
}

bool CurlRequestObject::ConfigureMethodAndBody(const char* body, std::size_t size) {
  // HEAD and CONNECT answers carry no body, so none is waited for.
  const bool noBody = method_ == "HEAD" || method_ == "CONNECT";
  const bool sendsBody = !noBody && (size > 0 || method_ == "POST" || method_ == "PUT");
  curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
  if (sendsBody) {
    // The body goes out from the caller's buffer; libcurl copies only small slices of it.
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, size > 0 ? body : "");
  } else if (noBody) {
    curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
  }
  // A body the server sends anyway after such an answer must not meet the next request.
  curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, noBody ? 1L : 0L);
  const bool plain = method_ == (sendsBody ? "POST" : "GET") || method_ == "HEAD";
  curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, plain ? nullptr : method_.c_str());
  return sendsBody;
}

void CurlRequestObject::ConfigureConnection() {
  curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
  // An empty proxy also overrides any proxy named by the environment.
  curl_easy_setopt(easy_, CURLOPT_PROXY, proxyUrl_.c_str());
  const bool proxyLogin = proxy_.given && !proxyUrl_.empty();
  curl_easy_setopt(easy_, CURLOPT_PROXYUSERNAME, proxyLogin ? proxy_.userName.c_str() : nullptr);
  curl_easy_setopt(easy_, CURLOPT_PROXYPASSWORD, proxyLogin ? proxy_.password.c_str() : nullptr);
  curl_easy_setopt(easy_, CURLOPT_USERNAME, server_.given ? server_.userName.c_str() : nullptr);
  curl_easy_setopt(easy_, CURLOPT_PASSWORD, server_.given ? server_.password.c_str() : nullptr);

  // Name resolution and connection share one budget: the sum of the limits that are set.
  const long long connectBudget =
      static_cast<long long>(std::max(resolveMs_, 0)) + std::max(connectMs_, 0);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS,
                   connectBudget > 0
                       ? static_cast<long>(std::min<long long>(connectBudget, kUnlimitedMs))
                       : kUnlimitedMs);
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, followRedirects_ ? 1L : 0L);

  const bool ignoreName = (ignoredCertificateErrors_ & kIgnoreCertCnInvalid) != 0;
  curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, ignoreName ? 0L : 2L);
  // Connections and sessions verified under other flags are never reused: a resumed TLS
  // session skips verification.
  curl_easy_setopt(easy_, CURLOPT_FRESH_CONNECT,
                   connectionCertificateFlags_ != ignoredCertificateErrors_ ? 1L : 0L);
  curl_easy_setopt(easy_, CURLOPT_SSL_SESSIONID_CACHE, ignoredCertificateErrors_ == 0 ? 1L : 0L);
  connectionCertificateFlags_ = ignoredCertificateErrors_;
}

bool CurlRequestObject::Exchange(const char* body, std::size_t size) {
  if (state_ != State::kOpened) return false;
  state_ = State::kSent;
  ClearResponse();
  const bool sendsBody = ConfigureMethodAndBody(body, size);
  ConfigureConnection();
  auto [serverHeaders, proxyHeaders] = BuildHeaderLists(sendsBody);
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, serverHeaders.get());
  curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, proxyHeaders.get());

  sawHttps_ = false;
  requestStarted_ = false;
  const CURLcode result = curl_easy_perform(easy_);

  // Leave nothing pointing at the caller's body or at the lists freed below.
  curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, nullptr);
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, nullptr);

  long code = 0;
  if (result != CURLE_OK || curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK ||
      code < 100 || code > 999) {
    ClearResponse();
    // A failed handshake or exchange may leave a connection in an unknown state.
    connectionCertificateFlags_ = -1;
    return false;
  }
  status_ = static_cast<int>(code);
  return true;
}

void CurlRequestObject::ClearResponse() {
  inHeaderBlock_ = false;
  headerBytes_ = 0;
  headerLines_.clear();
  body_.clear();
  body_.shrink_to_fit();
  status_ = 0;
}

// Called before each request goes out, redirects included: starts the idle clocks of the
// hop and refuses any step from https back to http.
int CurlRequestObject::OnRequestReady(void* self, char*, char*, int, int) {
  auto* object = static_cast<CurlRequestObject*>(self);
  char* url = nullptr;
  curl_easy_getinfo(object->easy_, CURLINFO_EFFECTIVE_URL, &url);
  const bool https = url != nullptr && StartsWithIgnoreCase(url, "https:");
  if (object->sawHttps_ && !https) return CURL_PREREQFUNC_ABORT;
  object->sawHttps_ = object->sawHttps_ || https;
  object->requestStarted_ = true;
  object->responseStarted_ = false;
  object->uploaded_ = 0;
  object->downloaded_ = 0;
  object->lastUpload_ = object->lastDownload_ = Clock::now();
  return CURL_PREREQFUNC_OK;
}

// Ends the exchange (non-zero) when the request has not moved for the send limit while
// going out, or the response has not moved for the receive limit after that.
int CurlRequestObject::OnProgress(void* self, curl_off_t, curl_off_t downloaded,
                                  curl_off_t uploadTotal, curl_off_t uploaded) {
  auto* object = static_cast<CurlRequestObject*>(self);
  if (!object->requestStarted_) return 0;
  const Clock::time_point now = Clock::now();
  if (uploaded != object->uploaded_) {
    object->uploaded_ = uploaded;
    object->lastUpload_ = now;
  }
  if (downloaded != object->downloaded_) {
    object->downloaded_ = downloaded;
    object->lastDownload_ = now;
  }
  auto idleLongerThan = [now](Clock::time_point since, int limitMs) {
    return limitMs > 0 && now - since > std::chrono::milliseconds(limitMs);
  };
  if (!object->responseStarted_ && uploaded < uploadTotal) {
    return idleLongerThan(object->lastUpload_, object->sendMs_) ? 1 : 0;
  }
  const Clock::time_point since = std::max(object->lastUpload_, object->lastDownload_);
  return idleLongerThan(since, object->receiveMs_) ? 1 : 0;
}

// One header line of any response of the exchange. A status line starts a new response and
// drops what an interim answer or a redirect left; lines after the body (trailers) are not
// headers of the response. Returns count, or 0 to end the exchange.
std::size_t CurlRequestObject::OnHeader(char* data, std::size_t, std::size_t count, void* self) {
  auto* object = static_cast<CurlRequestObject*>(self);
  object->responseStarted_ = true;
  object->lastDownload_ = Clock::now();
  object->headerBytes_ += count;
  if (object->headerBytes_ > kMaxHeaderBytes) return 0;

  std::string_view line(data, count);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.remove_suffix(1);
  line = line.substr(0, line.find('\0'));  // texts never hold a zero byte
  try {
    if (!object->inHeaderBlock_) {
      if (StartsWithIgnoreCase(line, "HTTP/")) {
        object->headerLines_.clear();
        object->body_.clear();
        object->inHeaderBlock_ = true;
      }
    } else if (line.empty()) {
      object->inHeaderBlock_ = false;
    } else if ((line[0] == ' ' || line[0] == '\t') && !object->headerLines_.empty()) {
      const std::size_t start = line.find_first_not_of(" \t");
      if (start != std::string_view::npos) {
        object->headerLines_.back() += " ";
        object->headerLines_.back() += line.substr(start);
      }
    } else if (const std::size_t colon = line.find(':'); colon != std::string_view::npos) {
      std::string_view value = line.substr(colon + 1);
      const std::size_t first = value.find_first_not_of(" \t");
      value = first == std::string_view::npos ? std::string_view() : value.substr(first);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
      }
      object->headerLines_.push_back(Text(line.substr(0, colon)) + ": " + Text(value));
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return count;
}

// A piece of the response body. Returns count, or 0 to end the exchange.
std::size_t CurlRequestObject::OnBody(char* data, std::size_t, std::size_t count, void* self) {
  auto* object = static_cast<CurlRequestObject*>(self);
  object->lastDownload_ = Clock::now();
  try {
    ByteArray& body = object->body_;
    if (body.empty()) {
      curl_off_t length = -1;
      curl_easy_getinfo(object->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length > 0) body.reserve(static_cast<std::size_t>(std::min(length, kMaxBodyReserve)));
    }
    body.insert(body.end(), data, data + count);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return count;
}

// Gives each new TLS context the verification under the object's certificate flags.
CURLcode CurlRequestObject::OnTlsContext(CURL*, void* context, void* self) {
  const int flags = static_cast<CurlRequestObject*>(self)->ignoredCertificateErrors_;
  return ApplyCertificateCheck(context, flags) ? CURLE_OK : CURLE_SSL_CERTPROBLEM;
}

}  // namespace

std::shared_ptr<RequestObject> backend::CreatePlatformRequestObject() {
  if (!InitialiseOnce()) return nullptr;
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return nullptr;
  try {
    return std::make_shared<CurlRequestObject>(easy);
  } catch (const std::bad_alloc&) {
    curl_easy_cleanup(easy);
    return nullptr;
  }
}

}  // namespace quorvel

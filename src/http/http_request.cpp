// HttpRequest: one synchronous exchange through the platform's request object, on the
// calling thread. Portable; the request object is reached only through its interface.
#include "http/http_request.h"

#include <climits>
#include <cstdint>

#include "http/cookies.h"
#include "http/headers.h"
#include "platform/com.h"
#include "text/base64.h"

namespace quorvel {
namespace {

const Text kLineBreak = "\r\n";

constexpr int kDefaultTimeoutMs = 15000;
constexpr int kIgnoredCertificateErrors =
    RequestObject::kIgnoreUnknownCa | RequestObject::kIgnoreWrongUsage |
    RequestObject::kIgnoreCertCnInvalid | RequestObject::kIgnoreCertDateInvalid;

// The method text of an index; an index outside 0..7 means GET.
Text MethodText(int method) {
  static const char* const kTexts[] = {"GET",     "POST",   "HEAD",  "PUT",
                                       "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  if (method < kHttpGet || method > kHttpConnect) method = kHttpGet;
  return kTexts[method];
}

// The time-out for all four phases, or -1 when none is to be set. Seconds of 1 or more count
// as given (saturating at the largest millisecond value); any other value means 15 s.
int TimeoutMs(int timeoutSeconds) {
  if (timeoutSeconds == -1) return -1;
  if (timeoutSeconds < 1) return kDefaultTimeoutMs;
  const std::int64_t ms = static_cast<std::int64_t>(timeoutSeconds) * 1000;
  return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

void AddDefaultHeaders(Text& headers, const Text& url, bool isPost) {
  AppendDefaultHeader(headers, "Accept:", "\r\nAccept: */*");
  AppendDefaultHeader(headers, "Referer:", TextConcat("\r\nReferer: ", url));
  AppendDefaultHeader(headers, "Accept-Language:", "\r\nAccept-Language: zh-cn");
  AppendDefaultHeader(
      headers, "User-Agent:", "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  if (isPost) {
    AppendDefaultHeader(headers,
                        "Content-Type:", "\r\nContent-Type: application/x-www-form-urlencoded");
  }
}

void ApplyCredentials(RequestObject& request, const HttpRequestArgs& args) {
  request.SetCredentials(args.userName, args.password, args.credentialTarget);
  if (args.credentialTarget != RequestObject::kCredentialsForProxy) return;
  ByteArray userPassword = TextToBytes(TextConcat(args.userName, ":", args.password));
  request.SetRequestHeader("Proxy-Authorization", TextConcat("Basic ", Base64Encode(userPassword)));
}

// Applies the header block line by line. A block without CR LF is one call whatever it
// holds; in a longer block empty lines and exactly "Connection: keep-alive" are left out.
void ApplyHeaderLines(RequestObject& request, const Text& headers) {
  if (TextFind(headers, kLineBreak) == -1) {
    request.SetRequestHeader(HeaderName(headers), HeaderValue(headers));
    return;
  }
  const TextArray lines = TextSplit(headers, kLineBreak);
  for (int i = 1; i <= lines.Count(); ++i) {
    if (lines[i].empty()) continue;
    const Text name = HeaderName(lines[i]);
    const Text value = HeaderValue(lines[i]);
    if (TextEquals(name, "Connection") && TextEquals(value, "keep-alive")) continue;
    request.SetRequestHeader(name, value);
  }
}

// The values of the Set-Cookie lines (name case-sensitive) joined by "; ": the text up to
// the first ";" of each line, or the whole value when it has none.
Text ExtractResponseCookies(const Text& responseHeaders) {
  const TextArray lines = TextSplit(responseHeaders, kLineBreak);
  Text cookies;
  for (int i = 1; i <= lines.Count(); ++i) {
    const Text& line = lines[i];
    if (!TextEquals(TextBefore(line, ": "), "Set-Cookie")) continue;
    const Text value = TextFind(line, ";") != -1
                           ? TextBetween(line, "Set-Cookie:", ";")
                           : TextReplace(line, "Set-Cookie:", "", 1, kNoLimit, false);
    cookies += TextConcat(TextTrim(value), "; ");
  }
  if (TextRight(cookies, 2) == "; ") cookies = TextLeft(cookies, TextLength(cookies) - 2);
  return cookies;
}

}  // namespace

ByteArray HttpRequest(HttpRequestArgs& args) {
  const ComScope com;
  const Text method = MethodText(args.method);
  const bool isPost = method == "POST";

  // A caller's object is shared, not taken over: it stays alive after the call.
  const std::shared_ptr<RequestObject> request =
      args.requestObject ? args.requestObject : CreateRequestObject();
  if (!request) return ByteArray();

  // Failed calls on the request object are ignored throughout; the next step still runs.
  const int timeoutMs = TimeoutMs(args.timeoutSeconds);
  if (timeoutMs != -1) request->SetTimeouts(timeoutMs, timeoutMs, timeoutMs, timeoutMs);
  if (!args.proxy.empty()) request->SetProxy(RequestObject::kProxySettingNamed, args.proxy);
  request->Open(method, args.url, false);
  if (args.disableRedirects) request->SetOption(RequestObject::kOptionEnableRedirects, 0);
  request->SetOption(RequestObject::kOptionIgnoreCertificateErrors, kIgnoredCertificateErrors);

  if (args.addDefaultHeaders) AddDefaultHeaders(args.headers, args.url, isPost);
  if (args.normalizeHeaders) args.headers = NormalizeHeaderBlock(args.headers);

  if (!args.proxy.empty() && !args.userName.empty()) ApplyCredentials(*request, args);

  if (args.cookies) {
    Text& cookies = *args.cookies;
    if (!cookies.empty() && TextFind(cookies, "Cookie:", 1, true) != -1) {
      cookies = TextReplace(cookies, "Cookie:", "", 1, kNoLimit, false);
    }
    request->SetRequestHeader("Cookie", cookies);
  }

  ApplyHeaderLines(*request, args.headers);

  if (!args.bodyBytes.empty()) {
    request->Send(args.bodyBytes);
  } else {
    request->Send(args.bodyText);
  }

  ByteArray body = request->ResponseBody();
  args.responseHeaders = request->GetAllResponseHeaders();
  args.statusCode = request->Status();
  args.responseCookies = ExtractResponseCookies(args.responseHeaders);

  if (args.mergeResponseCookies && args.cookies) {
    args.responseCookies = MergeCookies(*args.cookies, args.responseCookies);
  }
  return body;
}

}  // namespace quorvel

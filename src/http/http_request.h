// One HTTP or HTTPS exchange through the platform's request object, with default headers,
// header normalisation, proxy and credentials, cookies both ways, time-outs and a redirect
// switch. Synchronous; callable from any thread.
#pragma once

#include <memory>
#include <optional>

#include "platform/request_object.h"
#include "text/text.h"

namespace quorvel {

enum HttpMethod : int {
  kHttpGet = 0,
  kHttpPost = 1,
  kHttpHead = 2,
  kHttpPut = 3,
  kHttpOptions = 4,
  kHttpDelete = 5,
  kHttpTrace = 6,
  kHttpConnect = 7,
};

// Everything about one request. Fields marked out are written by HttpRequest; in/out fields
// are rewritten in place.
struct HttpRequestArgs {
  Text url;                              // in: absolute URL; also the default Referer
  int method = kHttpGet;                 // in: a method index; out of 0..7 means GET
  Text bodyText;                         // in: sent when bodyBytes is empty
  std::optional<Text> cookies;           // in/out: Cookie header; absent sends none
  Text responseCookies;                  // out: Set-Cookie values joined by "; "
  Text headers;                          // in/out: header block; completed and normalised
  Text responseHeaders;                  // out: response header lines joined by CR LF
  int statusCode = 0;                    // out: 0 when no response was read
  bool disableRedirects = false;         // in
  ByteArray bodyBytes;                   // in: sent instead of bodyText when not empty
  Text proxy;                            // in: empty means no proxy setting
  int timeoutSeconds = 0;                // in: -1 none, 1 or more seconds, else 15 s
  Text userName;                         // in: credentials, used only with a proxy
  Text password;                         // in
  int credentialTarget = RequestObject::kCredentialsForProxy;  // in: 0 server, 1 proxy
  std::shared_ptr<RequestObject> requestObject;  // in: absent (null) creates a new one
  bool mergeResponseCookies = true;      // in: merge into cookies when cookies is given
  bool addDefaultHeaders = true;         // in
  bool normalizeHeaders = true;          // in
};

// Sends the request that args describes and returns the response body; empty when none was
// read. When the request object cannot be created nothing in args changes.
ByteArray HttpRequest(HttpRequestArgs& args);

}  // namespace quorvel

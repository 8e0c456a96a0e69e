// The platform's HTTP request object, driven one request at a time, synchronously, on the
// calling thread. Texts cross this interface as GBK; the backend converts where it must.
#pragma once

#include <functional>
#include <memory>

#include "text/text.h"

namespace quorvel {

class RequestObject {
 public:
  // SetProxy: use the named proxy server.
  static constexpr int kProxySettingNamed = 2;
  // Option indexes and values.
  static constexpr int kOptionIgnoreCertificateErrors = 4;
  static constexpr int kOptionEnableRedirects = 6;
  static constexpr int kIgnoreUnknownCa = 0x0100;
  static constexpr int kIgnoreWrongUsage = 0x0200;
  static constexpr int kIgnoreCertCnInvalid = 0x1000;
  static constexpr int kIgnoreCertDateInvalid = 0x2000;
  // SetCredentials flags.
  static constexpr int kCredentialsForServer = 0;
  static constexpr int kCredentialsForProxy = 1;

  virtual ~RequestObject() = default;

  // Every operation returns false when it failed; a failed operation changes nothing.
  // Time-outs in milliseconds; 0 or -1 means no limit.
  virtual bool SetTimeouts(int resolveMs, int connectMs, int sendMs, int receiveMs) = 0;
  virtual bool SetProxy(int proxySetting, const Text& proxy) = 0;
  virtual bool Open(const Text& method, const Text& url, bool async) = 0;
  // Writes the indexed property Option.
  virtual bool SetOption(int index, int value) = 0;
  virtual bool SetCredentials(const Text& userName, const Text& password, int flags) = 0;
  virtual bool SetRequestHeader(const Text& name, const Text& value) = 0;
  // Sends the request with a text body (its bytes unchanged) or a byte body, and waits for
  // the response or the failure of the exchange.
  virtual bool Send(const Text& body) = 0;
  virtual bool Send(const ByteArray& body) = 0;
  // The final response; after a failed exchange each gives its empty value (status 0).
  virtual ByteArray ResponseBody() = 0;
  virtual Text GetAllResponseHeaders() = 0;
  virtual int Status() = 0;
};

// A new request object of the platform's, or of a test's factory; nullptr when it cannot be
// created.
std::shared_ptr<RequestObject> CreateRequestObject();
// For tests: make CreateRequestObject use factory; an empty function restores the backend's.
void OverrideRequestObjectFactory(std::function<std::shared_ptr<RequestObject>()> factory);

}  // namespace quorvel

// Certificate verification with chosen error categories let through: an OpenSSL verify
// callback that reads its flags from the TLS context. Called by the libcurl request object.
#include "platform/linux/certificate_check.h"

#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <cstdint>
#include <mutex>

#include "platform/request_object.h"

namespace quorvel {
namespace {

// The SSL_CTX slot that carries the flags of the connection being made.
int flagsSlot = -1;

// The flag that lets a certificate error pass, 0 for an error that never does.
int CategoryFlag(int error) {
  switch (error) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
      return RequestObject::kIgnoreUnknownCa;
    case X509_V_ERR_INVALID_PURPOSE:
      return RequestObject::kIgnoreWrongUsage;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return RequestObject::kIgnoreCertCnInvalid;
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return RequestObject::kIgnoreCertDateInvalid;
    default:
      return 0;
  }
}

// OpenSSL's verify callback: lets through exactly the errors whose flag the connection's
// SSL_CTX carries, and clears them so that the final verify result stays clean.
int VerifyCertificate(int preverifyOk, X509_STORE_CTX* store) {
  if (preverifyOk) return 1;
  auto* ssl =
      static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  if (ssl == nullptr) return 0;
  const auto flags =
      reinterpret_cast<std::intptr_t>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), flagsSlot));
  const int flag = CategoryFlag(X509_STORE_CTX_get_error(store));
  if (flag == 0 || (flags & flag) == 0) return 0;
  X509_STORE_CTX_set_error(store, X509_V_OK);
  return 1;
}

}  // namespace

bool PrepareCertificateChecks() {
  static std::once_flag once;
  std::call_once(
      once, [] { flagsSlot = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr); });
  return flagsSlot >= 0;
}

bool ApplyCertificateCheck(void* sslContext, int ignoredErrors) {
  auto* context = static_cast<SSL_CTX*>(sslContext);
  const auto flags = static_cast<std::intptr_t>(ignoredErrors);
  if (flagsSlot < 0 ||
      SSL_CTX_set_ex_data(context, flagsSlot, reinterpret_cast<void*>(flags)) != 1) {
    return false;
  }
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, VerifyCertificate);
  return true;
}

}  // namespace quorvel

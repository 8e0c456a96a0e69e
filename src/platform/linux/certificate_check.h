// Certificate verification with chosen error categories let through, on an OpenSSL TLS
// context. Private to the Linux backend: only the libcurl request object calls it.
#pragma once

namespace quorvel {

// Makes the process-wide preparations once; false when OpenSSL refused them. Call it before
// ApplyCertificateCheck, from any thread.
bool PrepareCertificateChecks();

// Makes sslContext (an SSL_CTX*) verify the peer's chain fully, except that the errors of
// each category whose RequestObject::kIgnore... flag is in ignoredErrors pass. Every other
// error still fails the handshake. Host names are not checked here. False on failure.
bool ApplyCertificateCheck(void* sslContext, int ignoredErrors);

}  // namespace quorvel

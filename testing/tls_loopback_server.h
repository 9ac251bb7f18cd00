// The loopback server over TLS (GnuTLS), with certificates made for the
// test that runs it. A certificate made here is trusted by nobody: a test
// that wants a browser to accept it allows it for its host in that browser
// alone, and a test that wants a refusal serves one it never allowed.
#pragma once

#include <string>

#include "testing/loopback_server.h"

namespace brevane::testing {

// A self-signed server certificate and its private key, both PEM.
struct TestCertificate {
  std::string certificate_pem;
  std::string key_pem;
};

// A new key and a certificate for host (a name, or an IPv4 address such as
// 127.0.0.1, which the certificate then names as its address too), valid
// from valid_from_s to valid_until_s seconds from now (negative: in the
// past, for an expired one). Empty texts when GnuTLS cannot make them.
TestCertificate MakeTestCertificate(const std::string& host, long valid_from_s = -3600,
                                    long valid_until_s = 7 * 24 * 3600);

class TlsLoopbackServer : public LoopbackServer {
 public:
  // Serves every connection over TLS with this certificate; addresses start
  // with https. A client that refuses the certificate ends the handshake,
  // and its connection is dropped without a request.
  explicit TlsLoopbackServer(const TestCertificate& certificate);
};

}  // namespace brevane::testing

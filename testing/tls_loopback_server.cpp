#include "testing/tls_loopback_server.h"

#include <arpa/inet.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <atomic>
#include <ctime>
#include <memory>

namespace brevane::testing {
namespace {

std::string Take(gnutls_datum_t& datum) {
  std::string text(reinterpret_cast<const char*>(datum.data), datum.size);
  gnutls_free(datum.data);
  datum.data = nullptr;
  return text;
}

// The server's key and certificate, shared by its sessions (each session
// keeps them alive while it lasts).
class Credentials {
 public:
  explicit Credentials(const TestCertificate& certificate) {
    if (gnutls_certificate_allocate_credentials(&credentials_) != 0) {
      credentials_ = nullptr;
      return;
    }
    gnutls_datum_t cert{reinterpret_cast<unsigned char*>(const_cast<char*>(certificate.certificate_pem.data())),
                        static_cast<unsigned>(certificate.certificate_pem.size())};
    gnutls_datum_t key{reinterpret_cast<unsigned char*>(const_cast<char*>(certificate.key_pem.data())),
                       static_cast<unsigned>(certificate.key_pem.size())};
    ok_ = gnutls_certificate_set_x509_key_mem(credentials_, &cert, &key, GNUTLS_X509_FMT_PEM) == 0;
  }
  ~Credentials() {
    if (credentials_) gnutls_certificate_free_credentials(credentials_);
  }
  Credentials(const Credentials&) = delete;
  Credentials& operator=(const Credentials&) = delete;
  bool ok() const { return ok_; }
  gnutls_certificate_credentials_t get() const { return credentials_; }

 private:
  gnutls_certificate_credentials_t credentials_ = nullptr;
  bool ok_ = false;
};

class TlsSession : public LoopbackServer::Session {
 public:
  // The handshake on the accepted socket; null when it fails (the client
  // refused the certificate, or went away).
  static std::unique_ptr<LoopbackServer::Session> Open(std::shared_ptr<Credentials> credentials,
                                                       std::intptr_t socket) {
    if (!credentials->ok()) return nullptr;
    auto session = std::unique_ptr<TlsSession>(new TlsSession(std::move(credentials), static_cast<int>(socket)));
    if (!session->Handshake()) return nullptr;
    return session;
  }
  ~TlsSession() override {
    if (established_) gnutls_bye(session_, GNUTLS_SHUT_WR);
    gnutls_deinit(session_);
  }

  long Receive(char* buffer, std::size_t size) override {
    ssize_t n;
    do n = gnutls_record_recv(session_, buffer, size);
    while (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED);
    return static_cast<long>(n);
  }
  long Send(const char* data, std::size_t size) override {
    ssize_t n;
    do n = gnutls_record_send(session_, data, size);
    while (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED);
    return static_cast<long>(n);
  }

 private:
  TlsSession(std::shared_ptr<Credentials> credentials, int socket)
      : credentials_(std::move(credentials)), socket_(socket) {
    // No SIGPIPE when the client has gone.
    gnutls_init(&session_, GNUTLS_SERVER | GNUTLS_NO_SIGNAL);
  }

  bool Handshake() {
    if (gnutls_set_default_priority(session_) != 0 ||
        gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_->get()) != 0)
      return false;
    gnutls_certificate_server_set_request(session_, GNUTLS_CERT_IGNORE);
    gnutls_transport_set_int(session_, socket_);
    gnutls_handshake_set_timeout(session_, GNUTLS_DEFAULT_HANDSHAKE_TIMEOUT);
    int result;
    do result = gnutls_handshake(session_);
    while (result < 0 && gnutls_error_is_fatal(result) == 0);
    established_ = result == 0;
    return established_;
  }

  std::shared_ptr<Credentials> credentials_;
  int socket_;
  gnutls_session_t session_ = nullptr;
  bool established_ = false;
};

}  // namespace

TestCertificate MakeTestCertificate(const std::string& host, long valid_from_s, long valid_until_s) {
  TestCertificate made;
  gnutls_x509_privkey_t key = nullptr;
  gnutls_x509_crt_t certificate = nullptr;
  bool ok = gnutls_x509_privkey_init(&key) == 0 && gnutls_x509_crt_init(&certificate) == 0 &&
            gnutls_x509_privkey_generate(key, GNUTLS_PK_ECDSA, GNUTLS_CURVE_TO_BITS(GNUTLS_ECC_CURVE_SECP256R1),
                                         0) == 0;
  // Each certificate of the process has a serial of its own.
  static std::atomic<unsigned> made_so_far{0};
  const std::time_t now = std::time(nullptr);
  const unsigned count = ++made_so_far;
  const unsigned char serial[8] = {0x10,
                                   static_cast<unsigned char>(now >> 24),
                                   static_cast<unsigned char>(now >> 16),
                                   static_cast<unsigned char>(now >> 8),
                                   static_cast<unsigned char>(now),
                                   static_cast<unsigned char>(count >> 16),
                                   static_cast<unsigned char>(count >> 8),
                                   static_cast<unsigned char>(count)};
  ok = ok && gnutls_x509_crt_set_version(certificate, 3) == 0 &&
       gnutls_x509_crt_set_serial(certificate, serial, sizeof serial) == 0 &&
       gnutls_x509_crt_set_activation_time(certificate, now + valid_from_s) == 0 &&
       gnutls_x509_crt_set_expiration_time(certificate, now + valid_until_s) == 0 &&
       gnutls_x509_crt_set_dn_by_oid(certificate, GNUTLS_OID_X520_COMMON_NAME, 0, host.data(),
                                     static_cast<unsigned>(host.size())) == 0 &&
       gnutls_x509_crt_set_key(certificate, key) == 0 &&
       gnutls_x509_crt_set_basic_constraints(certificate, 0, -1) == 0 &&
       gnutls_x509_crt_set_key_usage(certificate, GNUTLS_KEY_DIGITAL_SIGNATURE) == 0 &&
       gnutls_x509_crt_set_key_purpose_oid(certificate, GNUTLS_KP_TLS_WWW_SERVER, 1) == 0;
  in_addr address{};
  if (ok && inet_pton(AF_INET, host.c_str(), &address) == 1) {
    ok = gnutls_x509_crt_set_subject_alt_name(certificate, GNUTLS_SAN_IPADDRESS, &address, sizeof address,
                                              GNUTLS_FSAN_SET) == 0;
  } else if (ok) {
    ok = gnutls_x509_crt_set_subject_alt_name(certificate, GNUTLS_SAN_DNSNAME, host.data(),
                                              static_cast<unsigned>(host.size()), GNUTLS_FSAN_SET) == 0;
  }
  ok = ok && gnutls_x509_crt_sign2(certificate, certificate, key, GNUTLS_DIG_SHA256, 0) == 0;
  gnutls_datum_t out{};
  if (ok && gnutls_x509_crt_export2(certificate, GNUTLS_X509_FMT_PEM, &out) == 0) made.certificate_pem = Take(out);
  if (ok && gnutls_x509_privkey_export2(key, GNUTLS_X509_FMT_PEM, &out) == 0) made.key_pem = Take(out);
  if (made.certificate_pem.empty() || made.key_pem.empty()) made = TestCertificate{};
  if (certificate) gnutls_x509_crt_deinit(certificate);
  if (key) gnutls_x509_privkey_deinit(key);
  return made;
}

TlsLoopbackServer::TlsLoopbackServer(const TestCertificate& certificate)
    : LoopbackServer("https", [credentials = std::make_shared<Credentials>(certificate)](std::intptr_t socket) {
        return TlsSession::Open(credentials, socket);
      }) {}

}  // namespace brevane::testing

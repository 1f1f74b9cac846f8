// The TLS backend of the Linux program: OpenSSL on memory buffers. The trust store is
// OpenSSL's default one (the system's certificates; SSL_CERT_FILE and SSL_CERT_DIR name
// others, as everywhere OpenSSL is used).
#include "platform/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace platform {

struct TlsResumeTicket {
  explicit TlsResumeTicket(SSL_SESSION* s) : session(s) {}
  ~TlsResumeTicket() { SSL_SESSION_free(session); }
  SSL_SESSION* session;
};

namespace {

SSL_CTX* Context() {
  static SSL_CTX* const context = [] {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) return ctx;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(ctx);
    // The chain is verified during the handshake but judged after it (CheckTrust), so
    // that each kind of failure gets its own message; nothing is sent before the verdict.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT);
    return ctx;
  }();
  return context;
}

std::string LibraryError(const char* fallback) {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return fallback;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// An IP literal is checked against the certificate's addresses, and never sent as the
// server name (RFC 6066 allows only host names there).
bool IsAddress(const std::string& host) {
  in6_addr addr;
  return inet_pton(AF_INET, host.c_str(), &addr) == 1 || inet_pton(AF_INET6, host.c_str(), &addr) == 1;
}

class OpenSslEngine : public TlsEngine {
 public:
  explicit OpenSslEngine(SSL* ssl) : ssl_(ssl) {}
  ~OpenSslEngine() override { SSL_free(ssl_); }

  bool Start(const TlsPeer& peer, const std::shared_ptr<TlsResumeTicket>& resume) {
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!in || !out) {
      BIO_free(in);
      BIO_free(out);
      return false;
    }
    BIO_set_mem_eof_return(in, -1);  // an empty buffer means "more to come"
    SSL_set_bio(ssl_, in, out);
    in_ = in;
    out_ = out;
    SSL_set_connect_state(ssl_);
    const std::string& host = peer.HostName;
    if (IsAddress(host)) {
      if (!X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str())) return false;
    } else {
      SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      if (!SSL_set1_host(ssl_, host.c_str())) return false;
      SSL_set_tlsext_host_name(ssl_, host.c_str());
    }
    if (resume) SSL_set_session(ssl_, resume->session);
    return true;
  }

  int Handshake(std::string& in, std::string& out, std::string& detail) override {
    Feed(in);
    int rc = SSL_do_handshake(ssl_);
    Drain(out);
    if (rc == 1) return 1;
    int error = SSL_get_error(ssl_, rc);
    if (error == SSL_ERROR_WANT_READ) return 0;
    detail = LibraryError("the server ended the handshake");
    return -1;
  }

  TlsOutcome CheckTrust() override {
    long result = SSL_get_verify_result(ssl_);
    if (result == X509_V_OK) return {};
    const std::string text = X509_verify_cert_error_string(result);
    switch (result) {
      case X509_V_ERR_HOSTNAME_MISMATCH:
      case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return {TlsFailure::kNameMismatch, text, 0};
      case X509_V_ERR_CERT_HAS_EXPIRED:
      case X509_V_ERR_CERT_NOT_YET_VALID:
        return {TlsFailure::kExpired, text, 0};
      default:
        return {TlsFailure::kNotTrusted, text, 0};
    }
  }

  std::string CertificateSha256() override {
    X509* cert = SSL_get0_peer_certificate(ssl_);
    if (!cert) return {};
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(cert, EVP_sha256(), md, &length)) return {};
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
      hex += digits[md[i] >> 4];
      hex += digits[md[i] & 15];
    }
    return hex;
  }

  bool Decrypt(std::string& in, std::string& plain, bool& closed, std::string& out) override {
    Feed(in);
    bool ok = true;
    for (;;) {
      size_t at = plain.size();
      plain.resize(at + 16384);
      int n = SSL_read(ssl_, plain.data() + at, 16384);
      plain.resize(at + (n > 0 ? static_cast<size_t>(n) : 0));
      if (n > 0) continue;
      int error = SSL_get_error(ssl_, n);
      if (error == SSL_ERROR_ZERO_RETURN) closed = true;
      else if (error != SSL_ERROR_WANT_READ) ok = false;
      break;
    }
    ERR_clear_error();
    Drain(out);
    return ok;
  }

  // OpenSSL takes every byte in: the start of a record it cannot finish stays in its buffer.
  bool MidRecord(const std::string& in) override { return !in.empty() || SSL_has_pending(ssl_) == 1; }

  bool Encrypt(const char* data, size_t count, std::string& out) override {
    size_t at = 0;
    while (at < count) {
      size_t written = 0;
      if (SSL_write_ex(ssl_, data + at, count - at, &written) != 1) {
        ERR_clear_error();
        return false;
      }
      at += written;
    }
    Drain(out);
    return true;
  }

  void Close(std::string& out) override {
    SSL_shutdown(ssl_);
    ERR_clear_error();
    Drain(out);
  }

  std::shared_ptr<TlsResumeTicket> Ticket() override {
    SSL_SESSION* session = SSL_get1_session(ssl_);
    if (!session) return nullptr;
    return std::make_shared<TlsResumeTicket>(session);
  }

 private:
  void Feed(std::string& in) {
    if (!in.empty()) BIO_write(in_, in.data(), static_cast<int>(in.size()));
    in.clear();
  }
  void Drain(std::string& out) {
    char* data = nullptr;
    long size = BIO_get_mem_data(out_, &data);
    if (size > 0) {
      out.append(data, static_cast<size_t>(size));
      (void)BIO_reset(out_);
    }
  }

  SSL* ssl_;
  BIO* in_ = nullptr;
  BIO* out_ = nullptr;
};

}  // namespace

std::unique_ptr<TlsEngine> TlsEngine::Create(const TlsPeer& peer,
                                             const std::shared_ptr<TlsResumeTicket>& resume,
                                             std::string& error) {
  SSL_CTX* ctx = Context();
  SSL* ssl = ctx ? SSL_new(ctx) : nullptr;
  if (!ssl) {
    error = LibraryError("the TLS library could not start a session");
    return nullptr;
  }
  auto engine = std::make_unique<OpenSslEngine>(ssl);
  if (!engine->Start(peer, resume)) {
    error = LibraryError("the TLS library could not start a session");
    return nullptr;
  }
  return engine;
}

}  // namespace platform

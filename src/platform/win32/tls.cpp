// The TLS backend of Vendlume.exe: SChannel, the Windows security package, on memory
// buffers (secur32 and crypt32, parts of every Windows; nothing to ship). The certificate
// is judged by the Windows chain engine and its SSL policy (trust store, host name,
// validity) once the handshake is done, so that each kind of refusal has its own message.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/schanneltls.h"

#include <wincrypt.h>
#include <schannel.h>
#include <sspi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

TlsResumeTicket::~TlsResumeTicket() {
  if (valid) FreeCredentialsHandle(&handle);
}

namespace {

std::string Hex(const unsigned char* bytes, size_t count) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < count; ++i) {
    hex += digits[bytes[i] >> 4];
    hex += digits[bytes[i] & 15];
  }
  return hex;
}

std::string StatusText(SECURITY_STATUS status) {
  char text[32];
  std::snprintf(text, sizeof text, "SChannel 0x%08lX", static_cast<unsigned long>(status));
  return text;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::shared_ptr<TlsResumeTicket> NewCredentials(std::string& error) {
  auto credentials = std::make_shared<TlsResumeTicket>();
  SCHANNEL_CRED cred{};
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  // Validation is ours, after the handshake: see CheckTrust.
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  SECURITY_STATUS status = AcquireCredentialsHandleA(
      nullptr, const_cast<char*>(UNISP_NAME_A), SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr,
      nullptr, &credentials->handle, &expiry);
  if (status != SEC_E_OK) {
    error = "the TLS library could not start a session (" + StatusText(status) + ")";
    return nullptr;
  }
  credentials->valid = true;
  return credentials;
}

// The name SChannel sends as the server name and keys its sessions by: the host's name; none
// for an IP literal, which may not be sent as a server name (RFC 6066). The certificate is
// checked against the host either way.
char* TargetName(std::string& host) {
  in6_addr address;
  if (inet_pton(AF_INET, host.c_str(), &address) == 1 || inet_pton(AF_INET6, host.c_str(), &address) == 1)
    return nullptr;
  return host.data();
}

// SECURITY_FLAG_IGNORE_REVOCATION of the SSL policy (declared with the internet API).
constexpr DWORD kPolicyIgnoresRevocation = 0x00000080;

// The longest the chain engine may spend fetching what it is missing.
constexpr DWORD kChainRetrievalMs = 15000;

// How often a server may ask for a client certificate before the handshake fails.
constexpr int kMostCredentialRequests = 2;

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

class SystemSspi : public SspiCalls {
 public:
  SECURITY_STATUS InitializeContext(CredHandle* credentials, CtxtHandle* context, char* target, SecBufferDesc* input,
                                    CtxtHandle* newContext, SecBufferDesc* output) override {
    unsigned long attributes = 0;
    return InitializeSecurityContextA(credentials, context, target, kRequest, 0, 0, input, 0, newContext, output,
                                      &attributes, nullptr);
  }
  SECURITY_STATUS Decrypt(CtxtHandle* context, SecBufferDesc* message) override {
    return DecryptMessage(context, message, 0, nullptr);
  }
  SECURITY_STATUS Encrypt(CtxtHandle* context, SecBufferDesc* message) override {
    return EncryptMessage(context, 0, message, 0);
  }
  SECURITY_STATUS ApplyControlToken(CtxtHandle* context, SecBufferDesc* input) override {
    return ::ApplyControlToken(context, input);
  }
  SECURITY_STATUS QueryAttributes(CtxtHandle* context, unsigned long attribute, void* buffer) override {
    return QueryContextAttributesA(context, attribute, buffer);
  }
  void FreeBuffer(void* buffer) override { FreeContextBuffer(buffer); }
  void DeleteContext(CtxtHandle* context) override { DeleteSecurityContext(context); }
};

// The system's verdict on the server's certificate for host: the chain, good for a server's
// authentication, with the revocation of every certificate but the root (what it fetches,
// missing certificates and revocation lists, within kChainRetrievalMs), then the SSL policy
// with the name. A revocation server out of reach is no refusal; a revoked certificate is.
TlsOutcome VerifyChain(PCCERT_CONTEXT cert, const std::string& host) {
  char* serverAuth[] = {const_cast<char*>(szOID_PKIX_KP_SERVER_AUTH)};
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverAuth;
  chainPara.dwUrlRetrievalTimeout = kChainRetrievalMs;
  const DWORD flags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &chainPara, flags, nullptr, &chain))
    return {TlsFailure::kNotTrusted, "no chain", 0};
  // The chain's own verdict first: Wine's SSL policy lets a chain that stops at an
  // unknown issuer (a partial chain) pass, so no error bit may be left to the policy.
  TlsOutcome verdict = ChainVerdict(chain->TrustStatus.dwErrorStatus);
  if (verdict.Failure != TlsFailure::kNone) {
    CertFreeCertificateChain(chain);
    return verdict;
  }
  std::wstring name = Wide(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  // Revocation was judged on the chain above (revoked refused, unknown or offline accepted):
  // the policy would refuse an unknown status, and before it looked at the name.
  ssl.fdwChecks = kPolicyIgnoresRevocation;
  ssl.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result{};
  result.cbSize = sizeof result;
  BOOL checked = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &result);
  CertFreeCertificateChain(chain);
  if (!checked) return {TlsFailure::kNotTrusted, "the policy check failed", 0};
  const DWORD error = result.dwError;
  if (error == 0) return {};
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(error));
  if (error == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) return {TlsFailure::kNameMismatch, code, 0};
  if (error == static_cast<DWORD>(CERT_E_EXPIRED)) return {TlsFailure::kExpired, code, 0};
  return {TlsFailure::kNotTrusted, code, 0};
}

class SChannelEngine : public TlsEngine {
 public:
  SChannelEngine(SspiCalls& sspi, std::shared_ptr<TlsResumeTicket> credentials, const TlsPeer& peer)
      : sspi_(sspi), credentials_(std::move(credentials)), host_(peer.HostName), target_(TargetName(host_)) {}
  ~SChannelEngine() override {
    if (haveContext_) sspi_.DeleteContext(&context_);
  }

  int Handshake(std::string& in, std::string& out, std::string& detail) override {
    return Negotiate(in, out, detail, false);
  }

  // The handshake loop, also for handshake messages after the handshake (mustCall: the
  // package asked to be called even without new bytes). 1 when done, 0 when it needs more
  // bytes, -1 on failure.
  int Negotiate(std::string& in, std::string& out, std::string& detail, bool mustCall) {
    int credentialRequests = 0;
    for (;;) {
      if (haveContext_ && in.empty() && !mustCall) return 0;
      mustCall = false;
      SecBuffer inBuffers[2] = {
          {static_cast<unsigned long>(in.size()), SECBUFFER_TOKEN, in.data()},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
      // The token is sent on failure too: it may be the alert that tells the server why.
      SECURITY_STATUS status = Step(haveContext_ ? &inDesc : nullptr, out);
      // A first call that fails leaves no context to delete.
      if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE ||
          status == SEC_I_INCOMPLETE_CREDENTIALS)
        haveContext_ = true;
      if (status == SEC_E_INCOMPLETE_MESSAGE) return 0;  // the bytes stay for the next call
      if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
        // The server asks for a client certificate (vsftpd does by default, and takes none):
        // there is none, so the package is called again on the same bytes and goes on
        // without one. A package that keeps asking is a failed handshake, not a loop.
        if (++credentialRequests > kMostCredentialRequests) {
          detail = "the server insists on a client certificate (" + StatusText(status) + ")";
          return -1;
        }
        mustCall = true;
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        detail = StatusText(status);
        return -1;
      }
      // What the call did not use stays for the next step (or, at the end, for Decrypt).
      if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0)
        in.erase(0, in.size() - std::min<size_t>(in.size(), inBuffers[1].cbBuffer));
      else
        in.clear();
      if (status == SEC_E_OK) {
        sspi_.QueryAttributes(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        return 1;
      }
    }
  }

  TlsOutcome CheckTrust() override {
    PCCERT_CONTEXT cert = RemoteCertificate();
    if (!cert) return {TlsFailure::kNotTrusted, "the server sent no certificate", 0};
    TlsOutcome outcome = VerifyChain(cert, host_);
    CertFreeCertificateContext(cert);
    return outcome;
  }

  std::function<TlsOutcome()> DetachedTrustCheck() override {
    PCCERT_CONTEXT cert = RemoteCertificate();
    if (!cert) return [] { return TlsOutcome{TlsFailure::kNotTrusted, "the server sent no certificate", 0}; };
    std::shared_ptr<const CERT_CONTEXT> owned(cert, CertFreeCertificateContext);
    return [owned, host = host_] { return VerifyChain(owned.get(), host); };
  }

  std::string CertificateSha256() override {
    PCCERT_CONTEXT cert = RemoteCertificate();
    if (!cert) return {};
    unsigned char hash[32];
    DWORD length = sizeof hash;
    BOOL ok = CryptHashCertificate(0, CALG_SHA_256, 0, cert->pbCertEncoded, cert->cbCertEncoded,
                                   hash, &length);
    CertFreeCertificateContext(cert);
    return ok && length == sizeof hash ? Hex(hash, length) : std::string();
  }

  bool Decrypt(std::string& in, std::string& plain, bool& closed, std::string& out) override {
    while (!closed) {
      if (renegotiating_) {
        // Handshake records go to the handshake loop until it is done, never to DecryptMessage.
        std::string detail;
        const int step = Negotiate(in, out, detail, false);
        if (step < 0) return false;
        if (step == 0) return true;
        renegotiating_ = false;
      }
      if (in.empty()) return true;
      SecBuffer buffers[4] = {{static_cast<unsigned long>(in.size()), SECBUFFER_DATA, in.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      SECURITY_STATUS status = sspi_.Decrypt(&context_, &desc);
      if (status == SEC_E_INCOMPLETE_MESSAGE) return true;  // the rest of the record comes later
      if (status == SEC_E_CONTEXT_EXPIRED) {
        closed = true;  // records after the close notice
        return true;
      }
      if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE)
        return false;
      std::string extra;
      for (const SecBuffer& b : buffers) {
        if (b.BufferType == SECBUFFER_DATA && b.cbBuffer > 0)
          plain.append(static_cast<char*>(b.pvBuffer), b.cbBuffer);
        if (b.BufferType == SECBUFFER_EXTRA && b.cbBuffer > 0)
          extra.assign(static_cast<char*>(b.pvBuffer), b.cbBuffer);
      }
      in.swap(extra);
      if (status == SEC_I_CONTEXT_EXPIRED) closed = true;
      // Handshake messages after the handshake (a renegotiation, TLS 1.3 tickets and key
      // updates): the handshake loop takes them, called at once and then with more bytes.
      if (status == SEC_I_RENEGOTIATE) {
        std::string detail;
        const int step = Negotiate(in, out, detail, true);
        if (step < 0) return false;
        renegotiating_ = step == 0;
        if (renegotiating_) return true;  // the rest comes with more bytes
      }
    }
    return true;
  }

  bool Encrypt(const char* data, size_t count, std::string& out) override {
    const size_t most = sizes_.cbMaximumMessage ? sizes_.cbMaximumMessage : 16384;
    size_t at = 0;
    while (at < count) {
      const size_t n = std::min(most, count - at);
      std::vector<char> record(sizes_.cbHeader + n + sizes_.cbTrailer);
      std::memcpy(record.data() + sizes_.cbHeader, data + at, n);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(n), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + n},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      if (sspi_.Encrypt(&context_, &desc) != SEC_E_OK) return false;
      out.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
      at += n;
    }
    return true;
  }

  void Close(std::string& out) override {
    if (!haveContext_) return;
    DWORD token = SCHANNEL_SHUTDOWN;
    SecBuffer buffer{sizeof token, SECBUFFER_TOKEN, &token};
    SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
    if (sspi_.ApplyControlToken(&context_, &desc) == SEC_E_OK) Step(nullptr, out);
  }

  std::shared_ptr<TlsResumeTicket> Ticket() override { return credentials_; }

 private:
  // One call of the context's loop (the first makes the context): its token for the server
  // goes to out.
  SECURITY_STATUS Step(SecBufferDesc* input, std::string& out) {
    SecBuffer token{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc tokenDesc{SECBUFFER_VERSION, 1, &token};
    SECURITY_STATUS status = sspi_.InitializeContext(&credentials_->handle, haveContext_ ? &context_ : nullptr,
                                                     target_, input, &context_, &tokenDesc);
    if (token.pvBuffer) {
      out.append(static_cast<char*>(token.pvBuffer), token.cbBuffer);
      sspi_.FreeBuffer(token.pvBuffer);
    }
    return status;
  }

  PCCERT_CONTEXT RemoteCertificate() {
    PCCERT_CONTEXT cert = nullptr;
    if (sspi_.QueryAttributes(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK)
      return nullptr;
    return cert;
  }

  SspiCalls& sspi_;
  std::shared_ptr<TlsResumeTicket> credentials_;
  std::string host_;
  char* target_;  // the server name sent: the host's, or none for an address
  CtxtHandle context_{};
  bool haveContext_ = false;
  bool renegotiating_ = false;  // handshake messages after the handshake are being taken
  SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

TlsOutcome ChainVerdict(unsigned long errorStatus) {
  // A revocation server out of reach says nothing about the certificate.
  const DWORD errors = errorStatus & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  if (errors == 0) return {};
  char bits[40];
  std::snprintf(bits, sizeof bits, "%schain status 0x%08lX", errors & CERT_TRUST_IS_REVOKED ? "revoked, " : "",
                static_cast<unsigned long>(errors));
  if (errors == CERT_TRUST_IS_NOT_TIME_VALID) return {TlsFailure::kExpired, bits, 0};
  return {TlsFailure::kNotTrusted, bits, 0};
}

std::unique_ptr<TlsEngine> NewSChannelEngine(SspiCalls& sspi, std::shared_ptr<TlsResumeTicket> credentials,
                                             const TlsPeer& peer) {
  return std::make_unique<SChannelEngine>(sspi, std::move(credentials), peer);
}

std::unique_ptr<TlsEngine> TlsEngine::Create(const TlsPeer& peer,
                                             const std::shared_ptr<TlsResumeTicket>& resume,
                                             std::string& error) {
  std::shared_ptr<TlsResumeTicket> credentials = resume ? resume : NewCredentials(error);
  if (!credentials) return nullptr;
  static SystemSspi system;
  return NewSChannelEngine(system, std::move(credentials), peer);
}

}  // namespace platform

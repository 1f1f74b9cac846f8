// The TLS backend of Vendlume.exe: SChannel, the Windows security package, on memory
// buffers (secur32 and crypt32, parts of every Windows; nothing to ship). The certificate
// is judged by the Windows chain engine and its SSL policy (trust store, host name,
// validity) once the handshake is done, so that each kind of refusal has its own message.
#define SECURITY_WIN32
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include "platform/tls.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

// The credentials handle: SChannel resumes a session it cached for the same credentials
// and target name, so a connection that shares it can offer the session again.
struct TlsResumeTicket {
  CredHandle handle{};
  bool valid = false;
  ~TlsResumeTicket() {
    if (valid) FreeCredentialsHandle(&handle);
  }
};

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

// The longest the chain engine may spend fetching one missing certificate.
constexpr DWORD kChainRetrievalMs = 15000;

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

// The system's verdict on the server's certificate for host: the chain (its missing
// certificates fetched for at most kChainRetrievalMs) and the SSL policy with the name.
TlsOutcome VerifyChain(PCCERT_CONTEXT cert, const std::string& host) {
  CERT_CHAIN_PARA chainPara{};
  chainPara.cbSize = sizeof chainPara;
  chainPara.dwUrlRetrievalTimeout = kChainRetrievalMs;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &chainPara, 0, nullptr, &chain))
    return {TlsFailure::kNotTrusted, "no chain", 0};
  // The chain's own verdict first: Wine's SSL policy lets a chain that stops at an
  // unknown issuer (a partial chain) pass, so no error bit may be left to the policy.
  const DWORD chainErrors = chain->TrustStatus.dwErrorStatus &
                            ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  if (chainErrors != 0) {
    CertFreeCertificateChain(chain);
    char bits[32];
    std::snprintf(bits, sizeof bits, "chain status 0x%08lX", static_cast<unsigned long>(chainErrors));
    if (chainErrors == CERT_TRUST_IS_NOT_TIME_VALID) return {TlsFailure::kExpired, bits, 0};
    return {TlsFailure::kNotTrusted, bits, 0};
  }
  std::wstring name = Wide(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
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
  SChannelEngine(std::shared_ptr<TlsResumeTicket> credentials, const TlsPeer& peer)
      : credentials_(std::move(credentials)), host_(peer.HostName) {}
  ~SChannelEngine() override {
    if (haveContext_) DeleteSecurityContext(&context_);
  }

  int Handshake(std::string& in, std::string& out, std::string& detail) override {
    for (;;) {
      if (haveContext_ && in.empty()) return 0;
      SecBuffer inBuffers[2] = {
          {static_cast<unsigned long>(in.size()), SECBUFFER_TOKEN, in.data()},
          {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
      SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
      SecBufferDesc outDesc{SECBUFFER_VERSION, 1, outBuffers};
      unsigned long attributes = 0;
      SECURITY_STATUS status = InitializeSecurityContextA(
          &credentials_->handle, haveContext_ ? &context_ : nullptr,
          TargetName(host_), kRequest, 0, 0, haveContext_ ? &inDesc : nullptr, 0,
          &context_, &outDesc, &attributes, nullptr);
      // A first call that fails leaves no context to delete.
      if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE)
        haveContext_ = true;
      if (outBuffers[0].pvBuffer) {
        out.append(static_cast<char*>(outBuffers[0].pvBuffer), outBuffers[0].cbBuffer);
        FreeContextBuffer(outBuffers[0].pvBuffer);
      }
      if (status == SEC_E_INCOMPLETE_MESSAGE) return 0;
      if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
        detail = StatusText(status);
        return -1;
      }
      // What the call did not use stays for the next step (or, at the end, for Decrypt).
      if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0)
        in.erase(0, in.size() - inBuffers[1].cbBuffer);
      else
        in.clear();
      if (status == SEC_E_OK) {
        QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
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
    while (!in.empty() && !closed) {
      SecBuffer buffers[4] = {{static_cast<unsigned long>(in.size()), SECBUFFER_DATA, in.data()},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr},
                              {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
      if (status == SEC_E_INCOMPLETE_MESSAGE) return true;
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
      if (status == SEC_I_RENEGOTIATE) {
        // A message of the handshake protocol after the handshake (TLS 1.3 tickets, key
        // updates): the context takes it, and may answer.
        std::string detail;
        if (Handshake(in, out, detail) < 0) return false;
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
      if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
      out.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
      at += n;
    }
    return true;
  }

  void Close(std::string& out) override {
    DWORD token = SCHANNEL_SHUTDOWN;
    SecBuffer buffer{sizeof token, SECBUFFER_TOKEN, &token};
    SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
    if (ApplyControlToken(&context_, &desc) != SEC_E_OK) return;
    SecBuffer outBuffers[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, outBuffers};
    unsigned long attributes = 0;
    InitializeSecurityContextA(&credentials_->handle, &context_, TargetName(host_),
                               kRequest, 0, 0, nullptr, 0, &context_, &outDesc, &attributes,
                               nullptr);
    if (outBuffers[0].pvBuffer) {
      out.append(static_cast<char*>(outBuffers[0].pvBuffer), outBuffers[0].cbBuffer);
      FreeContextBuffer(outBuffers[0].pvBuffer);
    }
  }

  std::shared_ptr<TlsResumeTicket> Ticket() override { return credentials_; }

 private:
  PCCERT_CONTEXT RemoteCertificate() {
    PCCERT_CONTEXT cert = nullptr;
    if (QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK)
      return nullptr;
    return cert;
  }

  std::shared_ptr<TlsResumeTicket> credentials_;
  std::string host_;
  CtxtHandle context_{};
  bool haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
};

}  // namespace

std::unique_ptr<TlsEngine> TlsEngine::Create(const TlsPeer& peer,
                                             const std::shared_ptr<TlsResumeTicket>& resume,
                                             std::string& error) {
  std::shared_ptr<TlsResumeTicket> credentials = resume ? resume : NewCredentials(error);
  if (!credentials) return nullptr;
  return std::make_unique<SChannelEngine>(std::move(credentials), peer);
}

}  // namespace platform

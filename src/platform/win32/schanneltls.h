// The SChannel engine's calls into the security package, behind an interface: the program
// uses the system's, and a test plays the answers real Windows gives (incomplete message,
// extra data, incomplete credentials, renegotiation, context expired) in any order.
#pragma once
#define SECURITY_WIN32
#include <windows.h>
#include <security.h>

#include <memory>
#include <string>

#include "platform/tls.h"

namespace platform {

// The credentials handle: SChannel resumes a session it cached for the same credentials
// and target name, so a connection that shares it can offer the session again.
struct TlsResumeTicket {
  CredHandle handle{};
  bool valid = false;
  ~TlsResumeTicket();
};

class SspiCalls {
 public:
  virtual ~SspiCalls() = default;
  // InitializeSecurityContextA with the engine's request flags: context null on the first
  // call, target null for no server name.
  virtual SECURITY_STATUS InitializeContext(CredHandle* credentials, CtxtHandle* context, char* target,
                                            SecBufferDesc* input, CtxtHandle* newContext, SecBufferDesc* output) = 0;
  virtual SECURITY_STATUS Decrypt(CtxtHandle* context, SecBufferDesc* message) = 0;
  virtual SECURITY_STATUS Encrypt(CtxtHandle* context, SecBufferDesc* message) = 0;
  virtual SECURITY_STATUS ApplyControlToken(CtxtHandle* context, SecBufferDesc* input) = 0;
  virtual SECURITY_STATUS QueryAttributes(CtxtHandle* context, unsigned long attribute, void* buffer) = 0;
  virtual void FreeBuffer(void* buffer) = 0;
  virtual void DeleteContext(CtxtHandle* context) = 0;
};

// The verdict on a chain's error bits (CERT_TRUST_*): revoked, untrusted, out of date,
// not for a server's authentication are refused; an unknown revocation status is not.
TlsOutcome ChainVerdict(unsigned long errorStatus);

// A client session on these calls, with the credentials of a new or an earlier session.
std::unique_ptr<TlsEngine> NewSChannelEngine(SspiCalls& sspi, std::shared_ptr<TlsResumeTicket> credentials,
                                             const TlsPeer& peer);

}  // namespace platform

#include "platform/tls.h"

namespace platform {

struct TlsResumeTicket {};

std::unique_ptr<TlsEngine> TlsEngine::Create(const TlsPeer&, const std::shared_ptr<TlsResumeTicket>&,
                                             std::string& error) {
  error = "TLS is not available in this build";
  return nullptr;
}

}  // namespace platform

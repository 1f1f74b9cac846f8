// The private CA of the TLS test servers (scripts/servers/tls-certs), trusted the way each
// build's TLS backend looks for trust: the Linux tests get it from CTest's environment
// (OpenSSL's SSL_CERT_FILE), so nothing is done there; the Windows tests add it to the
// current user's root store, which under Wine lives in the test prefix only.
#pragma once
#include <string>

namespace testing_support {

// False (with the reason) when the CA could not be added.
bool TrustTestCa(const std::string& pemPath, std::string& why);

}  // namespace testing_support

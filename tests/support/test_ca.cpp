#include "support/test_ca.h"

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "support/testing.h"
#endif

namespace testing_support {

#ifdef _WIN32
bool TrustTestCa(const std::string& pemPath, std::string& why) {
  const std::string pem = ReadAll(pemPath);
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    why = "no certificate in " + pemPath;
    return false;
  }
  std::vector<BYTE> der(size);
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                       nullptr);
  HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER,
                                  "ROOT");
  if (!root) {
    why = "the root store does not open";
    return false;
  }
  BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  CertCloseStore(root, 0);
  if (!added) why = "the root store refused the CA";
  return added != FALSE;
}
#else
bool TrustTestCa(const std::string&, std::string&) { return true; }
#endif

}  // namespace testing_support

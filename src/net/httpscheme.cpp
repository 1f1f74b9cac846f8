// The scheme of an address decides between a plain and an encrypted connection.
#include "net/httpconnection.h"
#include "text/asciitext.h"

int TNetHTTPConnection::UseScheme(const std::string& protocol) {
  const TNetTLSMode mode = EqualsNoCase(protocol, "https") ? tlsImplicit : tlsNone;
  if (mode != UseTLS && IsOpen()) CloseConnection();
  UseTLS = mode;
  return mode == tlsImplicit ? 443 : 80;
}

std::string TNetHTTPConnection::HostField() const {
  return HostFieldValue(Host, Port, UseTLS == tlsImplicit ? 443 : 80);
}

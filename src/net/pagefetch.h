// The simple page fetcher: an HTTP/1.0 GET with a time limit on the whole call, which
// follows answers 300 to 302 to their "Location" and hands back the body of any other
// answer, error pages included, as the page. Only network failures (and the time limit,
// as ENetSocketError 10060) raise.
#pragma once
#include <string>

#include "net/httpconnection.h"

class TNetPageHTTP : public TNetHTTPConnection {
 public:
  TNetPageHTTP();  // Port 80

  int TimeOut = 10000;  // ms for one Get, redirects and connects included

  // The request is these lines and an empty line: "GET <path> HTTP/1.0" (the path from the
  // first "/" after the host, "/" when there is none), "Host: <host>", two "Accept:" lines
  // and "Content-type: application/x-www-form-urlencoded"; port 80 unless the address
  // names one (443 for "https", which goes over TLS), over a new connection each time. An
  // empty address fails with "Empty URL".
  std::string Get(const std::string& url);

  // Of the last answer: the second word of its status line, and its "Location".
  const std::string& Status() const { return status_; }
  const std::string& Location() const { return location_; }

 private:
  std::string status_;
  std::string location_;
};

// TNetPageHTTP::Get, for the lookups that take a fetch function.
std::string FetchPage(TNetPageHTTP& page, const std::string& url);

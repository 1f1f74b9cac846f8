#include "net/pagefetch.h"

#include "base/numtext.h"
#include "text/asciitext.h"
#include "net/httpparse.h"
#include "base/netexceptions.h"

namespace {

// The answer to the last request is the page, also when it is one more redirect.
constexpr int kMostRequests = 15;

std::string SecondWord(const std::string& line) {
  const size_t first = line.find(' ');
  if (first == std::string::npos) return {};
  const size_t start = line.find_first_not_of(' ', first);
  if (start == std::string::npos) return {};
  return line.substr(start, line.find(' ', start) - start);
}

}  // namespace

TNetPageHTTP::TNetPageHTTP() { Port = 80; }

std::string TNetPageHTTP::Get(const std::string& url) {
  if (url.empty()) throw ENetException("Empty URL");
  deadline_ = Clock::now() + std::chrono::milliseconds(TimeOut);
  struct CallEnd {
    TNetPageHTTP& page;
    ~CallEnd() {
      page.deadline_.reset();
      page.TNetTCPConnection::CloseConnection();
    }
  } callEnd{*this};

  std::string address = url.find("://") == std::string::npos ? "http://" + url : url;
  for (int request = 1;; ++request) {
    const THttpAddress target = SplitHttpAddress(address);
    CheckRequestHost(target.Host);
    CloseConnection();
    const int schemePort = UseScheme(target.Protocol);
    Host = target.Host;
    Port = target.Port() >= 0 ? target.Port() : schemePort;
    Connect();
    WriteText("GET " + RequestTarget(target.Target()) + " HTTP/1.0\r\n"
              "Host: " + HostField() + "\r\n"
              "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
              "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n"
              "Content-type: application/x-www-form-urlencoded\r\n"
              "\r\n");
    THttpResponseHead head = ReadResponseHead();
    status_ = SecondWord(head.StatusLine);
    location_ = head.Headers.Value("Location");
    const int code = StrToIntDef(status_, 0);
    TNetMemoryStream page;
    ReadBody(BodyFraming(false, code, head.Headers), page);
    if (code >= 300 && code <= 302 && !location_.empty() && request < kMostRequests) {
      address = ResolveLocation(address, location_);
      continue;
    }
    return page.TakeBytes();
  }
}

std::string FetchPage(TNetPageHTTP& page, const std::string& url) { return page.Get(url); }

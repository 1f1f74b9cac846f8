// The header fields of an HTTP request or response, the request's header lines, and the
// reading of a response's header block into fields.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mail/headerlist.h"
#include "platform/system.h"

// The header lines of a response as read (continuation lines included, not unfolded), kept
// as one block of text and the end of each line: a server's flood of short lines costs
// little more than its own bytes, where a string for each line would cost several times
// as much. Holds up to 4 GB of lines (the reader stops far below).
class THttpHeaderLines {
 public:
  void Add(std::string_view line);
  size_t Count() const { return ends_.size(); }
  std::string_view Line(size_t i) const {
    const size_t start = i == 0 ? 0 : ends_[i - 1];
    return std::string_view(text_).substr(start, ends_[i] - start);
  }
  // The value of the first header of that name, as HeaderValueOf (mail/headerlist.h)
  // describes it.
  std::string Value(std::string_view name) const;

 private:
  std::string text_;
  std::vector<uint32_t> ends_;
};

// A cleared record holds these two values and nothing else.
inline constexpr const char* kDefaultAccept = "text/html, */*";
inline constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; Vendlume)";

struct TNetHeaderInfo {
  std::string Accept = kDefaultAccept;
  std::string AcceptCharSet;
  std::string AcceptEncoding;
  std::string AcceptLanguage;
  std::string From;
  std::string Referer;
  std::string UserAgent = kDefaultUserAgent;
  std::string Connection;
  std::string ContentVersion;
  std::string ContentEncoding;
  std::string ContentLanguage;
  std::string ContentType;
  int64_t ContentLength = 0;
  int64_t ContentRangeStart = 0;
  int64_t ContentRangeEnd = 0;
  std::string Username;
  std::string Password;
  std::string ProxyServer;
  int ProxyPort = 0;
  std::string ProxyUsername;
  std::string ProxyPassword;
  std::string Location;
  std::string Server;
  platform::LocalDateTime Date;          // local time; all 0 when absent or unreadable
  platform::LocalDateTime LastModified;
  platform::LocalDateTime Expires;
  std::string ProxyAuthenticate;
  TNetHeaderList ExtraHeaders;           // every other header line

  void Clear() { *this = TNetHeaderInfo(); }
};

// The request's header lines (without CR LF), each only when its value is set, in this
// order: Accept, Accept-Charset, Accept-Encoding, Accept-Language, From, Referer,
// User-Agent, Connection, Content-Version, Content-Encoding, Content-Language,
// Content-Type, Content-Length, Range ("bytes=start-end", or "start-" without an end),
// Authorization (Basic, when Username is set), Proxy-Authorization (Basic, when a proxy
// server and proxy user are set), then the extra lines.
std::vector<std::string> RequestHeaderLines(const TNetHeaderInfo& request);

// The fields of a response's header lines. The named fields are taken and their lines
// removed; every other line stays in ExtraHeaders. Content-Length is 0 when absent or not
// a number; "Content-Range: bytes 0-499/1234" gives start 0 and end 499.
TNetHeaderInfo ResponseHeaderInfo(const THttpHeaderLines& headers);
TNetHeaderInfo ResponseHeaderInfo(const TNetHeaderList& headers);

// An HTTP date in any of the three forms of RFC 7231 7.1.1.1 (IMF-fixdate, RFC 850,
// asctime) as local time; the empty date (all 0) when it cannot be read.
platform::LocalDateTime ParseHttpDate(std::string_view value);

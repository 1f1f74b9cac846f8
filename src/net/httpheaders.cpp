#include "net/httpheaders.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "base/numtext.h"
#include "text/asciitext.h"
#include "net/httpparse.h"
#include "mail/maildate.h"

namespace {

std::string Base64(std::string_view bytes) {
  static const char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[group >> 18];
    out += kDigits[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
  }
  return out;
}

// The fields ResponseHeaderInfo takes out of the lines, in a fixed order.
enum Field {
  kLocation, kServer, kConnection, kContentVersion, kContentEncoding, kContentLanguage,
  kContentType, kContentLength, kContentRange, kDate, kLastModified, kExpires,
  kProxyAuthenticate, kFieldCount
};
constexpr std::string_view kFieldNames[kFieldCount] = {
    "Location", "Server", "Connection", "Content-Version", "Content-Encoding",
    "Content-Language", "Content-Type", "Content-Length", "Content-Range", "Date",
    "Last-Modified", "Expires", "Proxy-Authenticate"};

int FieldOf(std::string_view line) {
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return -1;
  const std::string_view name = line.substr(0, colon);
  for (int f = 0; f < kFieldCount; ++f)
    if (EqualsNoCase(name, kFieldNames[f])) return f;
  return -1;
}

}  // namespace

std::vector<std::string> RequestHeaderLines(const TNetHeaderInfo& r) {
  std::vector<std::string> lines;
  auto add = [&](const char* name, const std::string& value) {
    if (!value.empty()) lines.push_back(name + value);
  };
  add("Accept: ", r.Accept);
  add("Accept-Charset: ", r.AcceptCharSet);
  add("Accept-Encoding: ", r.AcceptEncoding);
  add("Accept-Language: ", r.AcceptLanguage);
  add("From: ", r.From);
  add("Referer: ", r.Referer);
  add("User-Agent: ", r.UserAgent);
  add("Connection: ", r.Connection);
  add("Content-Version: ", r.ContentVersion);
  add("Content-Encoding: ", r.ContentEncoding);
  add("Content-Language: ", r.ContentLanguage);
  add("Content-Type: ", r.ContentType);
  if (r.ContentLength != 0) lines.push_back("Content-Length: " + IntToStr(r.ContentLength));
  if (r.ContentRangeEnd != 0)
    lines.push_back("Range: bytes=" + IntToStr(r.ContentRangeStart) + "-" + IntToStr(r.ContentRangeEnd));
  else if (r.ContentRangeStart != 0)
    lines.push_back("Range: bytes=" + IntToStr(r.ContentRangeStart) + "-");
  if (!r.Username.empty())
    lines.push_back("Authorization: Basic " + Base64(r.Username + ":" + r.Password));
  if (!r.ProxyServer.empty() && !r.ProxyUsername.empty())
    lines.push_back("Proxy-Authorization: Basic " + Base64(r.ProxyUsername + ":" + r.ProxyPassword));
  for (const std::string& line : r.ExtraHeaders.Lines) lines.push_back(line);
  return lines;
}

namespace {

// The fields of count header lines, line(i) giving line i.
template <class LineAt>
TNetHeaderInfo HeaderInfoOf(size_t count, const LineAt& line) {
  // One pass: each header (a line and its continuation lines) is either a named field,
  // whose first occurrence gives the value, or stays as it is among the extra lines.
  TNetHeaderInfo info;
  std::string values[kFieldCount];
  bool seen[kFieldCount] = {};
  for (size_t i = 0; i < count;) {
    size_t end = i + 1;
    while (end < count && !line(end).empty() && IsBlank(line(end)[0])) ++end;
    const std::string_view first = line(i);
    const int field = FieldOf(first);
    if (field < 0) {
      for (size_t k = i; k < end; ++k) info.ExtraHeaders.Add(std::string(line(k)));
    } else if (!seen[field]) {
      seen[field] = true;
      std::string& value = values[field];
      value = first.substr(first.find(':') + 1);
      for (size_t k = i + 1; k < end; ++k) {
        const std::string_view next = line(k);
        const size_t start = next.find_first_not_of(" \t");
        if (!value.empty() && !IsBlank(value.back())) value += ' ';
        if (start != std::string_view::npos) value.append(next.substr(start));
      }
      value.erase(0, value.find_first_not_of(" \t"));
    }
    i = end;
  }

  info.Location = values[kLocation];
  info.Server = values[kServer];
  info.Connection = values[kConnection];
  info.ContentVersion = values[kContentVersion];
  info.ContentEncoding = values[kContentEncoding];
  info.ContentLanguage = values[kContentLanguage];
  info.ContentType = values[kContentType];
  info.ContentLength = ParseDecimal(values[kContentLength]).value_or(0);
  const std::string& range = values[kContentRange];
  if (!range.empty()) {
    // "bytes 0-499/1234": after the unit, the numbers before "-" and before "/".
    std::string_view numbers(range);
    numbers.remove_prefix(std::min(numbers.size(), numbers.find(' ') + 1));
    const size_t dash = numbers.find('-');
    info.ContentRangeStart = ParseDecimal(numbers.substr(0, dash)).value_or(0);
    if (dash != std::string_view::npos) {
      std::string_view end = numbers.substr(dash + 1);
      info.ContentRangeEnd = ParseDecimal(end.substr(0, end.find('/'))).value_or(0);
    }
  }
  info.Date = ParseHttpDate(values[kDate]);
  info.LastModified = ParseHttpDate(values[kLastModified]);
  info.Expires = ParseHttpDate(values[kExpires]);
  info.ProxyAuthenticate = values[kProxyAuthenticate];
  return info;
}

}  // namespace

void THttpHeaderLines::Add(std::string_view line) {
  if (line.size() > UINT32_MAX - text_.size()) throw std::length_error("header lines");
  text_.append(line);
  ends_.push_back(static_cast<uint32_t>(text_.size()));
}

std::string THttpHeaderLines::Value(std::string_view name) const {
  return HeaderValueOf(Count(), [this](size_t i) { return Line(i); }, name);
}

TNetHeaderInfo ResponseHeaderInfo(const THttpHeaderLines& headers) {
  return HeaderInfoOf(headers.Count(), [&headers](size_t i) { return headers.Line(i); });
}

TNetHeaderInfo ResponseHeaderInfo(const TNetHeaderList& headers) {
  return HeaderInfoOf(headers.Lines.size(),
                      [&headers](size_t i) -> std::string_view { return headers.Lines[i]; });
}

platform::LocalDateTime ParseHttpDate(std::string_view value) {
  std::vector<std::string> words;
  for (size_t i = 0; i < value.size();) {
    const size_t end = std::min(value.find(' ', i), value.size());
    if (end > i) words.emplace_back(value.substr(i, end - i));
    i = end + 1;
  }
  // asctime: "Sun Nov  6 08:49:37 1994", always GMT.
  if (words.size() == 5 && words[3].find(':') != std::string::npos && words[4].find(':') == std::string::npos &&
      words[1].size() == 3 && (words[1][0] < '0' || words[1][0] > '9'))
    return ParseMailDate(words[2] + " " + words[1] + " " + words[4] + " " + words[3] + " GMT");
  // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT" is the mail form with dashes in the date.
  std::string text;
  for (std::string& word : words) {
    if (word.find('-') != word.rfind('-')) {
      for (char& c : word)
        if (c == '-') c = ' ';
    }
    text += word + " ";
  }
  return ParseMailDate(text);
}

#include "net/httpheaders.h"

#include <algorithm>
#include <cstdint>

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

bool NameIs(const std::string& line, std::string_view name) {
  const size_t colon = line.find(':');
  return colon != std::string::npos && EqualsNoCase(std::string_view(line).substr(0, colon), name);
}

// The header's value (the first of that name, unfolded); every line of that name goes from
// the list with its continuation lines.
std::string Take(TNetHeaderList& headers, std::string_view name) {
  std::string value = headers.Value(name);
  std::vector<std::string>& lines = headers.Lines;
  for (size_t i = 0; i < lines.size();) {
    if (!NameIs(lines[i], name)) {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < lines.size() && !lines[end].empty() && IsBlank(lines[end][0])) ++end;
    lines.erase(lines.begin() + static_cast<ptrdiff_t>(i), lines.begin() + static_cast<ptrdiff_t>(end));
  }
  return value;
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

TNetHeaderInfo ResponseHeaderInfo(TNetHeaderList headers) {
  TNetHeaderInfo info;
  info.Location = Take(headers, "Location");
  info.Server = Take(headers, "Server");
  info.Connection = Take(headers, "Connection");
  info.ContentVersion = Take(headers, "Content-Version");
  info.ContentEncoding = Take(headers, "Content-Encoding");
  info.ContentLanguage = Take(headers, "Content-Language");
  info.ContentType = Take(headers, "Content-Type");
  info.ContentLength = ParseDecimal(Take(headers, "Content-Length")).value_or(0);
  const std::string range = Take(headers, "Content-Range");
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
  info.Date = ParseHttpDate(Take(headers, "Date"));
  info.LastModified = ParseHttpDate(Take(headers, "Last-Modified"));
  info.Expires = ParseHttpDate(Take(headers, "Expires"));
  info.ProxyAuthenticate = Take(headers, "Proxy-Authenticate");
  info.ExtraHeaders = std::move(headers);
  return info;
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

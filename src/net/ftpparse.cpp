#include "net/ftpparse.h"

#include <algorithm>
#include <vector>

#include "base/numtext.h"
#include "text/asciitext.h"
#include "base/netexceptions.h"

namespace {


std::vector<std::string> SplitAtCommas(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    fields.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

}  // namespace

TFtpDataAddress ParsePassiveReply(const std::string& replyLine) {
  const std::string line(Trimmed(replyLine));
  const size_t open = line.find('('), close = line.find(')');
  std::string address;
  if (open != std::string::npos && close != std::string::npos) {
    // A ")" before the "(" leaves nothing between them.
    if (close > open) address = line.substr(open + 1, close - open - 1);
  } else {
    const size_t space = line.rfind(' ');
    address = space == std::string::npos ? line : line.substr(space + 1);
  }

  std::vector<std::string> fields = SplitAtCommas(address);
  fields.resize(std::max<size_t>(fields.size(), 6));
  int numbers[6];
  for (int i = 0; i < 6; ++i) {
    numbers[i] = StrToInt(fields[i]);
    if (numbers[i] < 0 || numbers[i] > 255) throw ENetProtocolReplyError(227, line);
  }
  TFtpDataAddress result;
  // From the numbers, not the field texts: " 127" or "0127" still make a dotted address.
  result.Host = IntToStr(numbers[0]) + "." + IntToStr(numbers[1]) + "." + IntToStr(numbers[2]) +
                "." + IntToStr(numbers[3]);
  result.Port = numbers[4] * 256 + numbers[5];
  return result;
}

int ParseExtendedPassiveReply(const std::string& replyLine) {
  const std::string line(Trimmed(replyLine));
  const size_t open = line.find('(');
  const size_t close = open == std::string::npos ? open : line.find(')', open);
  if (close == std::string::npos || close - open < 6) throw ENetProtocolReplyError(229, line);
  const std::string inside = line.substr(open + 1, close - open - 1);
  const char delimiter = inside[0];
  // RFC 2428: the delimiter is a printable character other than a digit.
  const bool printable = delimiter > ' ' && delimiter < 127 && (delimiter < '0' || delimiter > '9');
  if (!printable || inside[1] != delimiter || inside[2] != delimiter || inside.back() != delimiter)
    throw ENetProtocolReplyError(229, line);
  const std::string portText = inside.substr(3, inside.size() - 4);
  const bool digits = !portText.empty() && portText.size() <= 5 &&
                      std::all_of(portText.begin(), portText.end(), [](char c) { return c >= '0' && c <= '9'; });
  const int port = digits ? StrToInt(portText) : 0;
  if (port < 1 || port > 65535) throw ENetProtocolReplyError(229, line);
  return port;
}

std::string FormatPortArgument(const std::string& ip, int port) {
  std::string text = ip;
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text + "," + IntToStr(port / 256) + "," + IntToStr(port % 256);
}

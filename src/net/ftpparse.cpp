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

std::string FormatPortArgument(const std::string& ip, int port) {
  std::string text = ip;
  for (char& c : text) {
    if (c == '.') c = ',';
  }
  return text + "," + IntToStr(port / 256) + "," + IntToStr(port % 256);
}

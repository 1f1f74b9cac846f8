#include "intake/orderparser.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "base/errors.h"
#include "base/files.h"
#include "base/sjisliteral.h"
#include "text/sjissearch.h"
#include "text/lines.h"

namespace {

// The mall's markers. They are searched character by character (not byte-wise), so a
// marker beginning with an ASCII byte is never found inside a double-byte character:
// "ー商品]" holds the bytes of "[商品]" but not the marker.
struct TMailMarkers {
  std::string delivery = Sjis("[送付先] ");
  std::string shopName = Sjis("■ ショップ名 ： ");
  std::string orderTime = Sjis("[日時]");
  std::string orderer = Sjis("[注文者]");
  std::string postalMark = Sjis("〒");
  std::string items = Sjis("[商品]");
  std::string itemsEnd = "**********";
};

const TMailMarkers& Markers() {
  static const TMailMarkers markers;
  return markers;
}


// The bytes from position `from` (from 1), at most `count` of them; "" past the end.
std::string CopyFrom(std::string_view text, size_t from, size_t count = std::string_view::npos) {
  if (from > text.size()) return "";
  return std::string(text.substr(from - 1, count));
}

void DropQuotePrefix(std::string& line) {
  if (line.compare(0, 2, "> ") == 0) line.erase(0, 2);
}

// Reads "year/month/day hours:minutes[:seconds]" with optional blanks around it.
class TDateTimeReader {
 public:
  explicit TDateTimeReader(std::string_view text) : text_(text) {}

  std::optional<std::string> Read() {
    SkipBlanks();
    auto year = Number(4, 4);
    if (!year || !Take('/')) return std::nullopt;
    auto month = Number(1, 2);
    if (!month || !Take('/')) return std::nullopt;
    auto day = Number(1, 2);
    if (!day || SkipBlanks() == 0) return std::nullopt;
    auto hour = Number(1, 2);
    if (!hour || !Take(':')) return std::nullopt;
    auto minute = Number(1, 2);
    if (!minute) return std::nullopt;
    int second = 0;
    if (Take(':')) {
      auto s = Number(1, 2);
      if (!s) return std::nullopt;
      second = *s;
    }
    SkipBlanks();
    if (pos_ != text_.size()) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > DaysInMonth(*year, *month)) return std::nullopt;
    if (*hour > 23 || *minute > 59 || second > 59) return std::nullopt;
    return TwoDigits(*month) + "/" + TwoDigits(*day) + " " + TwoDigits(*hour) + ":" + TwoDigits(*minute);
  }

 private:
  static std::string TwoDigits(int value) {
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
  }

  static int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
  }

  size_t SkipBlanks() {
    const size_t begin = pos_;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    return pos_ - begin;
  }

  bool Take(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  std::optional<int> Number(size_t minDigits, size_t maxDigits) {
    size_t n = 0;
    int value = 0;
    while (pos_ < text_.size() && n < maxDigits && text_[pos_] >= '0' && text_[pos_] <= '9') {
      value = value * 10 + (text_[pos_++] - '0');
      ++n;
    }
    if (n < minDigits) return std::nullopt;
    return value;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// The order time of a "[日時]" line: at most 40 bytes from position 12, "-" read as "/",
// written back as "mm/dd hh:nn".
std::string ReadOrderTime(const std::string& line) {
  std::string text = CopyFrom(line, 12, 40);
  std::replace(text.begin(), text.end(), '-', '/');
  if (auto time = TDateTimeReader(text).Read()) return *time;
  static const std::string notDateTime = Sjis(" は正しい日付と時刻ではありません");
  throw EConvertError("'" + text + "'" + notDateTime);
}

// The address on the postal line: after "〒", the 8-byte postal code and a blank.
std::string AddressOf(const std::string& postalLine) {
  const size_t mark = PosFrom(Markers().postalMark, postalLine, 1);
  return CopyFrom(postalLine, mark + 11, 100);
}

// The item block as the lines stand now: from the first "[商品]" up to the first asterisk
// line, each line followed by CR LF; "" when the asterisks are missing or come first.
std::string ItemSection(const std::vector<std::string>& lines) {
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += "\r\n";
    joined += lines[i];
  }
  const size_t start = PosFrom(Markers().items, joined, 1);
  const size_t stop = PosFrom(Markers().itemsEnd, joined, 1);
  if (start == 0 || stop <= start) return "";
  std::string section;
  for (const std::string& line : SplitLines(std::string_view(joined).substr(start - 1, stop - start))) {
    section += line + "\r\n";
  }
  return section;
}

}  // namespace

std::string GetPrefecture(const std::string& address) {
  static const std::string longNames[] = {Sjis("神奈川県"), Sjis("和歌山県"), Sjis("鹿児島県")};
  static const std::string suffixes[] = {Sjis("都"), Sjis("道"), Sjis("府"), Sjis("県")};
  static const std::string abroad = Sjis("国外");

  const bool longName = std::any_of(std::begin(longNames), std::end(longNames),
                                    [&](const std::string& name) { return Contains(address, name); });
  // Four characters or three, counted as bytes; a character that would straddle the limit
  // stays out, so the head never ends in half a character.
  const size_t limit = longName ? 8 : 6;
  size_t end = 0;
  while (end < address.size()) {
    const size_t width = IsSjisLeadByte(static_cast<unsigned char>(address[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  const std::string head = address.substr(0, end);
  const bool named = std::any_of(std::begin(suffixes), std::end(suffixes),
                                 [&](const std::string& suffix) { return Contains(head, suffix); });
  return named ? head : abroad;
}

TOrderMail ParseOrderMail(const std::string& text) {
  const TMailMarkers& m = Markers();
  TOrderMail mail;
  if (CountOccurrences(m.delivery, text) >= 2) {
    mail.ignored = true;
    return mail;
  }

  std::vector<std::string> lines = SplitLines(text);
  for (std::string& line : lines) DropQuotePrefix(line);

  std::string orderTime;
  std::string prefecture;
  for (size_t i = 0; i < lines.size(); ++i) {
    // A second quote level becomes plain when the pass reaches the line; lines further
    // down keep theirs until then.
    DropQuotePrefix(lines[i]);
    const std::string& line = lines[i];
    if (Contains(line, m.shopName)) mail.shopName = CopyFrom(line, 17);
    if (Contains(line, m.orderTime)) orderTime = ReadOrderTime(line);
    if (Contains(line, m.orderer)) {
      // The postal line and the telephone line must follow.
      if (i + 2 >= lines.size()) {
        static const std::string missing = Sjis("[注文者] の後に郵便番号と電話番号の行がありません");
        throw EVendlumeError(missing);
      }
      prefecture = GetPrefecture(AddressOf(lines[i + 1]));
    }
    if (Contains(line, m.items)) mail.itemBlocks.push_back({ItemSection(lines), orderTime, prefecture});
  }
  // An order without its item line (an orderer block alone, or a marker that only the whole
  // text shows, as lines split differently) is never dropped quietly: the mail is unusable.
  if (mail.itemBlocks.empty() && (Contains(text, m.items) || Contains(text, m.orderer))) {
    static const std::string noItems = Sjis("注文の記載がありますが [商品] の行がありません");
    throw EVendlumeError(noItems);
  }
  return mail;
}

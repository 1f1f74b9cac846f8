#include "text/htmltext.h"

#include "text/asciitext.h"
#include "text/cp932.h"

namespace {

struct TNamedReference {
  std::string_view name;
  char32_t c;
};

// The named references of Japanese shop mails.
constexpr TNamedReference kNamedReferences[] = {
    {"amp", U'&'},         {"lt", U'<'},          {"gt", U'>'},          {"quot", U'"'},
    {"apos", U'\''},       {"nbsp", U' '},        {"yen", U'\u00A5'},    {"copy", U'\u00A9'},
    {"reg", U'\u00AE'},    {"times", U'\u00D7'},  {"divide", U'\u00F7'}, {"plusmn", U'\u00B1'},
    {"deg", U'\u00B0'},    {"sect", U'\u00A7'},   {"para", U'\u00B6'},   {"middot", U'\u30FB'},
    {"hellip", U'\u2026'}, {"mdash", U'\u2014'},  {"ndash", U'\u2013'},  {"minus", U'\u2212'},
    {"lsquo", U'\u2018'},  {"rsquo", U'\u2019'},  {"ldquo", U'\u201C'},  {"rdquo", U'\u201D'},
    {"laquo", U'\u00AB'},  {"raquo", U'\u00BB'},  {"bull", U'\u2022'},   {"trade", U'\u2122'},
    {"larr", U'\u2190'},   {"rarr", U'\u2192'},   {"uarr", U'\u2191'},   {"darr", U'\u2193'},
    {"hearts", U'\u2665'}, {"ensp", U' '},        {"emsp", U' '},        {"thinsp", U' '},
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class THtmlReader {
 public:
  explicit THtmlReader(std::string_view html) : html_(html) {}

  std::string Read() {
    out_.reserve(html_.size());
    while (pos_ < html_.size()) {
      const char c = html_[pos_];
      if (c == '<' && StartsTag()) {
        Tag();
      } else if (c == '&') {
        Reference();
      } else if (c == '\r' || c == '\n') {
        SourceLineBreak();
      } else {
        out_ += c;
        ++pos_;
      }
    }
    return std::move(out_);
  }

 private:
  bool StartsTag() const {
    if (pos_ + 1 >= html_.size()) return false;
    const char next = html_[pos_ + 1];
    return IsLetter(next) || next == '/' || next == '!' || next == '?';
  }

  void SourceLineBreak() {
    const bool crlf = html_.compare(pos_, 2, "\r\n") == 0;
    pos_ += crlf ? 2 : 1;
    if (preDepth_ > 0) {
      out_ += "\r\n";
      return;
    }
    while (pos_ < html_.size() && IsBlank(html_[pos_])) ++pos_;
  }

  // From a "<" that begins a tag, comment or declaration to after its ">" (or the end).
  void Tag() {
    if (html_.compare(pos_, 4, "<!--") == 0) {
      SkipPast("-->", pos_ + 4);
      return;
    }
    const char second = html_[pos_ + 1];
    if (second == '!' || second == '?') {
      SkipPast(">", pos_ + 2);
      return;
    }
    const bool closing = second == '/';
    size_t at = pos_ + (closing ? 2 : 1);
    const size_t nameStart = at;
    while (at < html_.size() && (IsLetter(html_[at]) || IsDigit(html_[at]))) ++at;
    const std::string name = AsciiLowerCase(html_.substr(nameStart, at - nameStart));
    pos_ = TagEnd(at);

    if (name == "br" || (closing && (name == "p" || name == "div" || name == "tr" || name == "li"))) out_ += "\r\n";
    if (name == "pre") {
      if (!closing) ++preDepth_;
      else if (preDepth_ > 0) --preDepth_;
    }
    if (!closing && (name == "style" || name == "script" || name == "title")) SkipElementContent(name);
  }

  // After the ">" that ends the tag whose attributes begin at `at`: a ">" inside a quoted
  // attribute value ends nothing.
  size_t TagEnd(size_t at) const {
    char quote = 0;
    for (; at < html_.size(); ++at) {
      const char c = html_[at];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        return at + 1;
      }
    }
    return html_.size();
  }

  // Everything up to the element's closing tag, which is taken too.
  void SkipElementContent(const std::string& name) {
    const std::string lower = "</" + name;
    for (size_t at = html_.find("</", pos_); at != std::string_view::npos; at = html_.find("</", at + 2)) {
      if (StartsWithNoCase(html_.substr(at), lower)) {
        const size_t after = at + lower.size();
        if (after == html_.size() || !(IsLetter(html_[after]) || IsDigit(html_[after]))) {
          pos_ = TagEnd(after);
          return;
        }
      }
    }
    pos_ = html_.size();
  }

  void SkipPast(std::string_view end, size_t from) {
    const size_t at = html_.find(end, from);
    pos_ = at == std::string_view::npos ? html_.size() : at + end.size();
  }

  // From an "&": a reference replaced by its character, or the "&" kept as text.
  void Reference() {
    size_t at = pos_ + 1;
    char32_t c = 0;
    bool known = false;
    if (at < html_.size() && html_[at] == '#') {
      ++at;
      const bool hex = at < html_.size() && (html_[at] == 'x' || html_[at] == 'X');
      if (hex) ++at;
      const size_t digits = at;
      uint32_t value = 0;
      for (; at < html_.size(); ++at) {
        const int digit = hex ? HexDigitValue(html_[at]) : IsDigit(html_[at]) ? html_[at] - '0' : -1;
        if (digit < 0) break;
        value = value > 0x10FFFF ? value : value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
      }
      known = at > digits;
      // Out of range, a surrogate or zero: the replacement character, which Shift-JIS lacks.
      c = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? U'\uFFFD' : value;
      if (known && at < html_.size() && html_[at] == ';') ++at;
    } else {
      const size_t nameStart = at;
      while (at < html_.size() && (IsLetter(html_[at]) || IsDigit(html_[at]))) ++at;
      const std::string_view name = html_.substr(nameStart, at - nameStart);
      if (at < html_.size() && html_[at] == ';') {
        for (const TNamedReference& named : kNamedReferences) {
          if (name == named.name) {
            c = named.c;
            known = true;
            ++at;
            break;
          }
        }
      }
    }
    if (!known) {
      out_ += '&';
      ++pos_;
      return;
    }
    AppendSjisChar(out_, c);
    pos_ = at;
  }

  std::string_view html_;
  size_t pos_ = 0;
  int preDepth_ = 0;
  std::string out_;
};

}  // namespace

std::string HtmlToText(std::string_view html) { return THtmlReader(html).Read(); }

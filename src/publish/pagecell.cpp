#include "publish/pagecell.h"

#include "base/sjisliteral.h"

namespace {

constexpr std::string_view kLinkTarget = "' target='_top'>";
constexpr std::string_view kLinkOpen = "<a href='";
constexpr std::string_view kLinkClose = "</a>";
constexpr std::string_view kImageOpen = "<img";
constexpr std::string_view kBreak = "<br>";

const std::string& ReviewLabel() {
  static const std::string text = Sjis("<br>レビュー:");
  return text;
}

const std::string& CountEnd() {
  static const std::string text = Sjis("件");
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// Cell text: one line (each line break one blank, NUL bytes gone), escaped, and a single
// quote made an entity too since the text may stand in a single-quoted attribute.
std::string CellText(std::string_view text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      line += ' ';
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] != '\0') {
      line += text[i];
    }
  }
  std::string out;
  for (char c : EscapeHtml(line)) {
    if (c == '\'') {
      out += "&#x27;";
    } else {
      out += c;
    }
  }
  return out;
}

// The entities CellText writes, decoded; any other "&" stays as it is.
std::string PlainText(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#x27;", '\''}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool decoded = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out += c;
        i += entity.size();
        decoded = true;
        break;
      }
    }
    if (!decoded) out += text[i++];
  }
  return out;
}

// "<img ...>" with the attributes in their order; nothing when one is not allowed, a number
// is not digits, the alt or src is not quoted, or there is not exactly one safe src.
std::optional<std::string> ImageTag(const std::vector<TCellAttribute>& attributes, std::string_view origin) {
  std::string tag(kImageOpen);
  int sources = 0;
  for (const TCellAttribute& a : attributes) {
    std::string value;
    if (a.name == "alt") {
      if (!a.quoted) return std::nullopt;
      value = CellText(a.value);
    } else if (a.name == "src") {
      const auto address = SafeAddress(a.value, origin);
      if (!a.quoted || !address) return std::nullopt;
      value = *address;
      ++sources;
    } else if (a.name == "border" || a.name == "width" || a.name == "height") {
      if (!IsDigits(a.value)) return std::nullopt;
      value = a.value;
    } else {
      return std::nullopt;
    }
    tag += " " + a.name + "=" + (a.quoted ? "'" + value + "'" : value);
  }
  if (sources != 1) return std::nullopt;
  return tag + ">";
}

// The image tag at the start of text, read back; pos is left after it.
std::optional<std::vector<TCellAttribute>> StoredImage(std::string_view text, size_t& pos) {
  if (pos > text.size() || !text.substr(pos).starts_with(kImageOpen)) return std::nullopt;
  pos += kImageOpen.size();
  auto attributes = TagAttributes(text, pos);
  if (!attributes) return std::nullopt;
  return WithAltAsText(std::move(*attributes));
}

// Plain text a builder could have written: it decodes and escapes back to itself.
bool IsCellText(std::string_view text) { return CellText(PlainText(text)) == text; }

}  // namespace

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> SafeAddress(std::string_view address, std::string_view origin) {
  for (char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '\'' || c == '"' || c == '<' || c == '>' || c == '\\' || c == '`') {
      return std::nullopt;
    }
  }
  for (std::string_view scheme : {"http://", "https://"}) {
    if (StartsWithNoCase(address, scheme) && address.size() > scheme.size() && address[scheme.size()] != '/') {
      return std::string(address);
    }
  }
  // A "//host" address would lead to another site under the page's own scheme.
  if (!origin.empty() && address.starts_with('/') && !address.starts_with("//")) {
    return std::string(origin) + std::string(address);
  }
  return std::nullopt;
}

std::optional<std::vector<TCellAttribute>> TagAttributes(std::string_view text, size_t& pos) {
  std::vector<TCellAttribute> attributes;
  while (true) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size()) return std::nullopt;
    if (text[pos] == '>') {
      ++pos;
      return attributes;
    }
    TCellAttribute a;
    while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != '=' && text[pos] != '>') {
      a.name += Lower(text[pos++]);
    }
    if (a.name.empty()) ++pos;  // a stray "=" or quote
    a.quoted = false;
    if (pos < text.size() && text[pos] == '=') {
      ++pos;
      if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
        const char quote = text[pos++];
        const size_t end = text.find(quote, pos);
        if (end == std::string_view::npos) return std::nullopt;
        a.value = std::string(text.substr(pos, end - pos));
        a.quoted = true;
        pos = end + 1;
      } else {
        while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != '>') a.value += text[pos++];
      }
    }
    if (!a.name.empty()) attributes.push_back(std::move(a));
  }
}

std::vector<TCellAttribute> WithAltAsText(std::vector<TCellAttribute> attributes) {
  for (TCellAttribute& a : attributes) {
    if (a.name == "alt") a.value = PlainText(a.value);
  }
  return attributes;
}

std::optional<std::string> PhotoCell(const TPhotoCellParts& parts) {
  const auto image = ImageTag(parts.image, parts.origin);
  if (!image) return std::nullopt;
  if (parts.itemAddress.empty()) return *image;
  const auto item = SafeAddress(parts.itemAddress, parts.origin);
  if (!item) return std::nullopt;
  return std::string(kLinkOpen) + *item + std::string(kLinkTarget) + *image +
         (parts.closeLink ? std::string(kLinkClose) : "");
}

std::string ReviewCell(const TReviewCellParts& parts) {
  std::string cell;
  if (!parts.stars.empty()) cell = ImageTag(parts.stars, parts.origin).value_or("");
  return cell + std::string(kBreak) + CellText(parts.average) + ReviewLabel() + CellText(parts.count) + CountEnd();
}

std::string CheckedLookupCell(const std::string& cell, const std::string& noPictureCell) {
  if (IsCellText(cell)) return cell;
  TPhotoCellParts parts;
  size_t pos = 0;
  if (cell.starts_with(kLinkOpen)) {
    const size_t end = cell.find('\'', kLinkOpen.size());
    if (end == std::string::npos) return noPictureCell;
    parts.itemAddress = cell.substr(kLinkOpen.size(), end - kLinkOpen.size());
    pos = end + kLinkTarget.size();
  }
  auto image = StoredImage(cell, pos);
  if (!image) return noPictureCell;
  parts.image = std::move(*image);
  parts.closeLink = cell.ends_with(kLinkClose);
  const auto rebuilt = PhotoCell(parts);
  return rebuilt == cell ? cell : noPictureCell;
}

std::string CheckedReviewCell(const std::string& cell) {
  static const std::string kRejected = "-";
  if (IsCellText(cell)) return cell;
  TReviewCellParts parts;
  size_t pos = 0;
  if (cell.starts_with(kImageOpen)) {
    auto stars = StoredImage(cell, pos);
    if (!stars) return kRejected;
    parts.stars = std::move(*stars);
  }
  if (cell.compare(pos, kBreak.size(), kBreak) != 0) return kRejected;
  pos += kBreak.size();
  const size_t label = cell.find(ReviewLabel(), pos);
  if (label == std::string::npos || !cell.ends_with(CountEnd())) return kRejected;
  const size_t countStart = label + ReviewLabel().size();
  if (countStart + CountEnd().size() > cell.size()) return kRejected;
  parts.average = PlainText(cell.substr(pos, label - pos));
  parts.count = PlainText(cell.substr(countStart, cell.size() - CountEnd().size() - countStart));
  return ReviewCell(parts) == cell ? cell : kRejected;
}

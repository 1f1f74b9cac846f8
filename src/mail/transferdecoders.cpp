#include "mail/transferdecoders.h"

#include <array>

#include "text/asciitext.h"

namespace {

constexpr std::array<signed char, 256> MakeBase64Table() {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i)
    t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
  return t;
}
constexpr auto kBase64 = MakeBase64Table();

}  // namespace

void TNetBase64Decoder::Decode(std::string_view in, std::string& out) {
  for (char c : in) {
    if (c == '=') {
      // Padding ends a group: what it holds is complete, and data after it (pieces
      // encoded one by one and joined) starts a new one.
      Finish(out);
      continue;
    }
    int v = kBase64[static_cast<unsigned char>(c)];
    // Characters outside the alphabet (line ends, blanks, stray bytes) are ignored
    // (RFC 2045 section 6.8).
    if (v < 0) continue;
    group_ = (group_ << 6) | static_cast<unsigned>(v);
    if (++count_ == 4) {
      out += static_cast<char>(group_ >> 16);
      out += static_cast<char>(group_ >> 8);
      out += static_cast<char>(group_);
      group_ = 0;
      count_ = 0;
    }
  }
}

void TNetBase64Decoder::Finish(std::string& out) {
  if (count_ == 2) {
    out += static_cast<char>(group_ >> 4);
  } else if (count_ == 3) {
    out += static_cast<char>(group_ >> 10);
    out += static_cast<char>(group_ >> 2);
  }
  group_ = 0;
  count_ = 0;
}

void TNetQuotedPrintableDecoder::Decode(std::string_view in, std::string& out) {
  for (char c : in) {
    if (pending_.empty()) {
      if (c == '=')
        pending_ = '=';
      else
        out += c;
    } else if (pending_.size() == 1) {
      pending_ += c;
    } else {
      char first = pending_[1];
      int hi = HexDigitValue(first), lo = HexDigitValue(c);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
      } else if (!(first == '\r' && c == '\n')) {
        out += pending_;
        out += c;
      }
      pending_.clear();
    }
  }
}

void TNetQuotedPrintableDecoder::Finish(std::string& out) {
  if (pending_.size() == 2) out += pending_[1];
  pending_.clear();
}

std::unique_ptr<TNetCoder> MakeTransferDecoder(std::string_view encoding) {
  std::string_view name = BeforeSemicolon(encoding);
  if (EqualsNoCase(name, "base64")) return std::make_unique<TNetBase64Decoder>();
  if (EqualsNoCase(name, "quoted-printable")) return std::make_unique<TNetQuotedPrintableDecoder>();
  return std::make_unique<TNetCoder>();
}

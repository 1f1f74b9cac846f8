// Content transfer decoders (RFC 2045): each takes the encoded body of one part in pieces
// of any size and appends the decoded bytes to an output string as it goes, so that a body
// of any length is decoded in one pass.
#pragma once
#include <memory>
#include <string>
#include <string_view>

// Pass-through: "7bit", "8bit", "binary", and every encoding not known.
class TNetCoder {
 public:
  virtual ~TNetCoder() = default;
  // Decodes the next piece of input, appending to out what can be decoded so far.
  virtual void Decode(std::string_view in, std::string& out) { out.append(in); }
  // Input complete: appends what was held back and starts afresh for the next part.
  virtual void Finish(std::string& /*out*/) {}
  // Whether the output is always the input unchanged and nothing is ever held back.
  virtual bool PassesThrough() const { return true; }
};

// Base64 (RFC 2045 section 6.8). Four characters of the alphabet give three bytes; every
// other character (CR, LF, blanks, stray bytes) is skipped. "=" ends a group: a group of
// two or three characters gives one or two bytes, there and at the end. Never fails.
class TNetBase64Decoder : public TNetCoder {
 public:
  void Decode(std::string_view in, std::string& out) override;
  void Finish(std::string& out) override;
  bool PassesThrough() const override { return false; }

 private:
  unsigned group_ = 0;  // the 6-bit values of the group so far, in order
  int count_ = 0;       // characters in the group so far
};

// Quoted-printable (RFC 2045 section 6.7). "=" and two hexadecimal digits (either case)
// become that byte; "=" CR LF (a soft line break) is removed; "=" and two other characters
// stay as they are. At the end, a pending "=" is dropped and one pending character after it
// is kept. Never fails; trailing blanks are kept.
class TNetQuotedPrintableDecoder : public TNetCoder {
 public:
  void Decode(std::string_view in, std::string& out) override;
  void Finish(std::string& out) override;
  bool PassesThrough() const override { return false; }

 private:
  std::string pending_;  // "=" and at most one character after it
};

// The decoder for a transfer encoding (its value before any ";"), compared without regard
// to case: "base64", "quoted-printable", else pass-through.
std::unique_ptr<TNetCoder> MakeTransferDecoder(std::string_view encoding);

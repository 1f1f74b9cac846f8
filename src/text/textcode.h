// Japanese text codes: guessing how a mail or page is encoded, and converting it to the
// Shift-JIS the rest of the system works on.
#pragma once
#include <string>
#include <string_view>

// Text code numbers: the results of DetectCode and the targets of ConvertCode.
enum : int {
  kCodeAscii = 0,      // 7-bit text without a kanji escape
  kCodeBinary = 1,     // a byte below 08 or the byte FF
  kCodeJisB = 2,       // JIS announced by ESC $ B
  kCodeJisAt = 3,      // JIS announced by ESC $ @
  kCodeEuc = 4,        // EUC-JP
  kCodeSjis = 5,       // Shift-JIS
  kCodeUndecided = 6,  // EUC-JP or Shift-JIS, not yet decided
};

// Guesses the text's code. Only the first 512 bytes are pre-scanned for binary bytes; the
// main scan stops at the first decided code (1 to 5), so an early escape sequence decides
// for JIS. The last byte is never examined on its own, only as the follower of a byte before
// it; nothing beyond the text is read, whatever construct it ends inside.
int DetectCode(std::string_view text);

// The text converted to the target code. ASCII, binary and undecided text, and text already
// in the target code, come back unchanged; so does everything for a target other than
// Shift-JIS (5), the only one the system asks for. JIS becomes Shift-JIS as JisToSjis
// (text/jis.h) does; EUC-JP becomes Shift-JIS pair by pair, with half-width katakana (8E xx)
// keeping their byte and JIS X 0212 characters (8F xx xx) as PutJis0212PairAsSjis. Never
// fails. A tail that ends inside a construct (an escape sequence, the first byte of a pair, a
// lone 8E, an 8F without both its bytes) is dropped.
std::string ConvertCode(std::string_view text, int target);
// The same conversion in the text's own storage (the output is never longer than the
// input): for a caller that owns the text and needs only the converted form.
void ConvertCodeInPlace(std::string& text, int target);
// The same conversion of text whose code is already known (kCodeJisB, kCodeJisAt or
// kCodeEuc; any other stays as it is), without detection.
void ConvertKnownCodeInPlace(std::string& text, int code, int target);

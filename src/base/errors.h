// The program's own failures. Every message is Shift-JIS text, as shown to the user
// by the top-level error handler.
#pragma once
#include <stdexcept>
#include <string>

// Text that is not a whole number ("'%s' は整数ではありません").
struct EConvertError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A file could not be created ("ファイル %s を作成できません").
struct EFCreateError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A file could not be opened for reading ("ファイル %s を開けません").
struct EFOpenError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Writing to a file failed ("ストリームへの書き込みエラー").
struct EWriteError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A settings key could not be written ("%s に書き込めません").
struct EIniFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Any other failure of the program's own logic (a malformed item, a missing line).
struct EVendlumeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The silent kind: aborts an action without a message to the user.
struct EAbort : std::runtime_error {
  EAbort() : std::runtime_error("Operation aborted") {}
};

#include "base/files.h"

#include <cstdio>
#include <fstream>

#include "base/errors.h"
#include "base/sjisliteral.h"
#include "platform/filesystem.h"

void ThrowFileCreateError(const std::string& path) {
  static const std::string before = Sjis("ファイル ");
  static const std::string after = Sjis(" を作成できません");
  throw EFCreateError(before + path + after);
}

void ThrowStreamWriteError() {
  static const std::string text = Sjis("ストリームへの書き込みエラー");
  throw EWriteError(text);
}

namespace {

void WriteAll(const std::string& path, std::string_view bytes, std::ios::openmode mode) {
  std::ofstream out(path, mode | std::ios::binary);
  if (!out) ThrowFileCreateError(path);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) ThrowStreamWriteError();
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  try {
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return data;
  } catch (const std::ios_base::failure&) {
    return std::nullopt;  // a folder opens on posix but cannot be read
  }
}

void ReplaceFileBytes(const std::string& path, std::string_view bytes, TFlush flush) {
  // A rename replaces a read-only file on Linux; the owner made it read-only to keep it.
  if (platform::IsReadOnlyFile(path)) ThrowFileCreateError(path);
  const std::string temp = path + ".new";
  try {
    WriteAll(temp, bytes, std::ios::out | std::ios::trunc);
  } catch (const EFCreateError&) {
    ThrowFileCreateError(path);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
  // The data on the disk before the name points at it, and the name on the disk before
  // the caller goes on (deletes the mail the file now holds): a power cut finds the old
  // file or the new one, never an empty or zero-filled one.
  if (flush == TFlush::kToDisk && !platform::FlushFileToDisk(temp)) {
    std::remove(temp.c_str());
    ThrowStreamWriteError();
  }
  if (!platform::RenameReplacing(temp, path)) {
    std::remove(temp.c_str());
    ThrowFileCreateError(path);
  }
  if (flush == TFlush::kToDisk && !platform::FlushFolderOf(path)) ThrowStreamWriteError();
}

void AppendFileBytes(const std::string& path, std::string_view bytes) {
  WriteAll(path, bytes, std::ios::out | std::ios::app);
}

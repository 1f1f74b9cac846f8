// File helpers shared by the program's four files. Paths are Shift-JIS (the ANSI code
// page on a Japanese Windows).
#pragma once
#include <optional>
#include <string>
#include <string_view>

// The file's bytes, or nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Replaces the file with the bytes so that readers see either the old or the new file,
// never a truncated one, even after a power cut: writes a temporary file beside it and
// flushes it to the disk, renames it over the old, then flushes the folder. On return the
// new file is on the disk.
// Throws EFCreateError ("ファイル %s を作成できません") when the file cannot be created and
// EWriteError ("ストリームへの書き込みエラー") when writing or flushing fails; the old file
// then stays (a failed flush of the folder comes after the rename: the new file may be in
// place, but is not known to be on the disk).
// A read-only file is refused with EFCreateError and stays as it is, as the settings do.
// TFlush::kNone leaves both flushes out, for a file rewritten every cycle whose loss in a
// power cut costs nothing (readers still never see it truncated).
enum class TFlush { kToDisk, kNone };
void ReplaceFileBytes(const std::string& path, std::string_view bytes, TFlush flush = TFlush::kToDisk);

// Appends the bytes, creating the file when it does not exist. Throws like ReplaceFileBytes.
void AppendFileBytes(const std::string& path, std::string_view bytes);

// The file layer's two failures, for code that writes files its own way.
[[noreturn]] void ThrowFileCreateError(const std::string& path);  // EFCreateError
[[noreturn]] void ThrowStreamWriteError();                      // EWriteError

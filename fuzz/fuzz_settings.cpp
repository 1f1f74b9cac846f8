// The settings file as any text: read it, write the settings back into the same file (its
// other sections and keys stay), read again. Every setting must read back as it was, and a
// second write of the same settings must leave the file's bytes as they are. Lines are cut
// to 2000 bytes first: a value is cut to 2047 bytes on reading, and one cut there may not
// survive being written again.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <tuple>

#include "app/settings.h"
#include "base/files.h"

namespace {

auto Fields(const TSettings& s) {
  return std::tie(s.Pop3Host, s.Pop3User, s.Pop3Pass, s.Pop3Port, s.FtpHost, s.FtpUser, s.FtpPass,
                  s.FtpPort, s.Target, s.Font, s.Back, s.HoverFont, s.HoverBack, s.Date, s.Code,
                  s.Review, s.LineLink, s.FadeIn, s.Table, s.Count, s.HinLen, s.GazouSize,
                  s.AddText, s.Mall.SearchHost, s.Mall.ThumbnailHost, s.Mall.ScriptHost,
                  s.Pop3Tls, s.Pop3Fingerprint, s.FtpTls, s.FtpFingerprint);
}

const std::string& IniPath() {
  static const std::string path = [] {
    char folder[] = "/tmp/vdl-fuzz-settings-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    return std::string(folder) + "/Vendlume.ini";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = IniPath();
  std::string text;
  size_t line = 0;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    line = c == '\r' || c == '\n' ? 0 : line + 1;
    if (line <= 2000) text += c;
  }
  ReplaceFileBytes(path, text);
  TSettings first;
  LoadSettings(first, path);
  SaveSettings(first, path);
  TSettings second;
  LoadSettings(second, path);
  if (Fields(first) != Fields(second)) std::abort();
  const std::optional<std::string> written = ReadFileBytes(path);
  SaveSettings(second, path);
  if (ReadFileBytes(path) != written) std::abort();
  return 0;
}

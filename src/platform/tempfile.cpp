#include "platform/tempfile.h"

namespace platform {

TempFile::~TempFile() { Close(); }

bool TempFile::Write(std::string_view bytes) {
  if (!file_) return false;
  if (bytes.empty()) return true;
  return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool TempFile::Close() {
  if (!file_) return true;
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

}  // namespace platform

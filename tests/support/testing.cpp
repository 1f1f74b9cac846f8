#include "support/testing.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/sjisliteral.h"

namespace fs = std::filesystem;

namespace testing_support {

ScopedTempDir::ScopedTempDir() {
  previous_ = fs::current_path().string();
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  for (;;) {
    fs::path p = fs::temp_directory_path() /
                 ("vdltest-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    if (fs::create_directory(p)) {
      path_ = p.string();
      break;
    }
  }
  fs::current_path(path_);
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(path); }

std::string Show(std::string_view sjis) { return SjisToUtf8Text(sjis); }

std::string SourceDir() {
  const char* dir = std::getenv("VDL_SOURCE_DIR");
  return dir ? dir : ".";
}

}  // namespace testing_support

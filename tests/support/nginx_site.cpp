#include "support/nginx_site.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/testing.h"

namespace fs = std::filesystem;

namespace testing_support {

bool NginxSite::Load(std::string& why) {
  const char* build = std::getenv("VDL_BINARY_DIR");
  if (!build) {
    why = "VDL_BINARY_DIR is not set: run the tests through ctest, which starts nginx";
    return false;
  }
  const std::string file = std::string(build) + "/servers/nginx/http.env";
  std::ifstream in(file);
  if (!in) {
    why = file + " is missing: nginx was not started (scripts/servers/nginx start)";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "PORT") Port = std::atoi(value.c_str());
    else if (key == "DOCROOT") Docroot = value;
  }
  if (Port <= 0 || Docroot.empty()) {
    why = file + " is incomplete";
    return false;
  }
  return true;
}

void NginxSite::Put(const std::string& path, std::string_view bytes) const {
  const fs::path file = fs::path(Docroot + path);
  fs::create_directories(file.parent_path());
  // Written beside and renamed, so the server never sends half a file.
  const fs::path part = file.string() + ".part";
  WriteAll(part.string(), bytes);
  fs::remove(file);  // a rename on Windows does not replace
  fs::rename(part, file);
}

std::string NginxSite::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port) + path;
}

}  // namespace testing_support

#include "support/nginx_site.h"

#include <cstdlib>
#include <filesystem>
#include <map>

#include "support/server_env.h"
#include "support/testing.h"

namespace fs = std::filesystem;

namespace testing_support {

bool NginxSite::Load(std::string& why) {
  std::map<std::string, std::string> values;
  if (!ReadServerEnv("nginx/http.env", values, why)) return false;
  Port = std::atoi(values["PORT"].c_str());
  Docroot = values["DOCROOT"];
  if (Port <= 0 || Docroot.empty()) {
    why = "http.env is incomplete";
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

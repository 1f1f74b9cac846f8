// The private nginx instance that CTest starts for the network tests
// (scripts/servers/nginx): where it listens and its docroot, into which tests put files.
#pragma once
#include <string>
#include <string_view>

namespace testing_support {

struct NginxSite {
  int Port = 0;
  std::string Docroot;

  // Reads nginx/http.env of the test's servers (support/server_env.h); false (with the
  // reason) when the server is not running.
  bool Load(std::string& why);
  // Writes a file under the docroot (its folders made as needed); path begins with "/".
  void Put(const std::string& path, std::string_view bytes) const;
  // "http://127.0.0.1:<port>" + path.
  std::string Url(const std::string& path) const;
};

}  // namespace testing_support

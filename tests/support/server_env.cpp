#include "support/server_env.h"

#include <cstdlib>
#include <fstream>

namespace testing_support {

bool ReadServerEnv(const std::string& relativePath, std::map<std::string, std::string>& values,
                   std::string& why) {
  const char* build = std::getenv("VDL_BINARY_DIR");
  if (!build) {
    why = "VDL_BINARY_DIR is not set: run the tests through ctest, which starts the servers";
    return false;
  }
  // Each CTest entry has servers of its own, under servers/<VDL_SERVER_SET>/.
  std::string folder = std::string(build) + "/servers/";
  if (const char* set = std::getenv("VDL_SERVER_SET"); set && *set) folder += std::string(set) + "/";
  const std::string file = folder + relativePath;
  std::ifstream in(file);
  if (!in) {
    why = file + " is missing: the server was not started";
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return true;
}

bool FtpAccount::Load(std::string& why) {
  std::map<std::string, std::string> values;
  if (!ReadServerEnv("ftp/ftp.env", values, why)) return false;
  Port = std::atoi(values["PORT"].c_str());
  User = values["USER"];
  Password = values["PASSWORD"];
  Home = values["HOME"];
  Log = values["LOG"];
  if (Port <= 0 || Home.empty()) {
    why = "ftp.env is incomplete";
    return false;
  }
  return true;
}

}  // namespace testing_support

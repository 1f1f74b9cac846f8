// The private servers CTest starts write where they listen to <build>/servers/SET/NAME, as
// KEY=value lines; the tests read them here. SET is the test's own set of servers
// (VDL_SERVER_SET, given by CTest); without it, <build>/servers/NAME.
#pragma once
#include <map>
#include <string>

namespace testing_support {

// The KEY=value lines of <build>/servers/[<VDL_SERVER_SET>/]<relativePath>; false (with the reason) when the
// file is missing, that is when the server was not started by ctest.
bool ReadServerEnv(const std::string& relativePath, std::map<std::string, std::string>& values,
                   std::string& why);

// The private FTP server: where it listens, its user, the home the uploads land in, and
// its log of every command and reply.
struct FtpAccount {
  int Port = 0;
  std::string User, Password, Home, Log;
  bool Load(std::string& why);
};

}  // namespace testing_support

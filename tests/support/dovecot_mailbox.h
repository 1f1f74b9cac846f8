// The private dovecot instance that CTest starts for the network tests
// (scripts/servers/dovecot): where it listens, its user, and its maildir, into which tests
// put mails directly.
#pragma once
#include <string>

namespace testing_support {

struct DovecotMailbox {
  int Port = 0;
  std::string User;
  std::string Password;
  std::string Maildir;

  // Reads dovecot/pop3.env of the test's servers (support/server_env.h); false (with the
  // reason) when the server is not running.
  bool Load(std::string& why);
  // Removes every mail from the maildir.
  void Clear() const;
  // Delivers one mail (the bytes as stored, CR LF line ends) into new/.
  void Put(const std::string& mail) const;
};

}  // namespace testing_support

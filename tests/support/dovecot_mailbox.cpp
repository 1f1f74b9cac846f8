#include "support/dovecot_mailbox.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>

#include "support/server_env.h"
#include "support/testing.h"

namespace fs = std::filesystem;

namespace testing_support {

bool DovecotMailbox::Load(std::string& why) {
  std::map<std::string, std::string> values;
  if (!ReadServerEnv("dovecot/pop3.env", values, why)) return false;
  Port = std::atoi(values["PORT"].c_str());
  User = values["USER"];
  Password = values["PASSWORD"];
  Maildir = values["MAILDIR"];
  if (Port <= 0 || User.empty() || Maildir.empty()) {
    why = "pop3.env is incomplete";
    return false;
  }
  return true;
}

void DovecotMailbox::Clear() const {
  for (const char* sub : {"new", "cur", "tmp"}) {
    for (const auto& entry : fs::directory_iterator(fs::path(Maildir) / sub))
      fs::remove(entry.path());
  }
}

void DovecotMailbox::Put(const std::string& mail) const {
  // Written under tmp/ and moved into new/, so the server never sees half a mail. The server
  // numbers new mails in the order of their names' leading time, then of the whole name.
  static std::atomic<unsigned> counter{0};
  char sequence[16];
  std::snprintf(sequence, sizeof sequence, "%08u", counter++);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
  const std::string name = std::to_string(seconds) + "." + sequence + ".vdltest";
  const fs::path tmp = fs::path(Maildir) / "tmp" / name;
  WriteAll(tmp.string(), mail);
  fs::rename(tmp, fs::path(Maildir) / "new" / name);
}

}  // namespace testing_support

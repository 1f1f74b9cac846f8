#include "support/dovecot_mailbox.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <fstream>
#include <thread>

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
  // A session that ended just before may still be renaming mails (flags set at "Quit"):
  // a file listed under its old name escapes one pass, so passes repeat until none is left.
  for (int pass = 0; pass < 100; ++pass) {
    bool empty = true;
    for (const char* sub : {"new", "cur", "tmp"}) {
      std::error_code ec;
      for (const auto& entry : fs::directory_iterator(fs::path(Maildir) / sub)) {
        empty = false;
        fs::remove(entry.path(), ec);
      }
    }
    if (empty) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

#include "support/dovecot_mailbox.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/testing.h"

namespace fs = std::filesystem;

namespace testing_support {

bool DovecotMailbox::Load(std::string& why) {
  const char* build = std::getenv("VDL_BINARY_DIR");
  if (!build) {
    why = "VDL_BINARY_DIR is not set: run the tests through ctest, which starts dovecot";
    return false;
  }
  const std::string file = std::string(build) + "/servers/dovecot/pop3.env";
  std::ifstream in(file);
  if (!in) {
    why = file + " is missing: dovecot was not started (scripts/servers/dovecot start)";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "PORT") Port = std::atoi(value.c_str());
    else if (key == "USER") User = value;
    else if (key == "PASSWORD") Password = value;
    else if (key == "MAILDIR") Maildir = value;
  }
  if (Port <= 0 || User.empty() || Maildir.empty()) {
    why = file + " is incomplete";
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

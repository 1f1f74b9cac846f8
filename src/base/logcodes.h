// The codes of the events the program logs, shared by every part that reports one.
#pragma once

enum : int {
  kLogConnectionFailed = 1,  // connecting or logging in to the mailbox failed
  kLogGetCsv = 2,            // converting, deleting or parsing a mail failed
  kLogGetGz = 3,             // looking a product up by its code failed
  kLogGetGz2 = 4,            // looking a product up by its name failed
  kLogListSetAside = 5,      // itemsl.csv could not be read at start-up and was renamed aside
};

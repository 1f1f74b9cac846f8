// The event log Vendlume.log: one line per failure of the unattended work, kept only on a
// house machine. The file only grows.
#pragma once
#include <string>

#include "platform/system.h"

constexpr const char* kLogFileName = "Vendlume.log";

// The codes the program logs.
enum : int {
  kLogConnectionFailed = 1,  // connecting or logging in to the mailbox failed
  kLogGetCsv = 2,            // converting, deleting or parsing a mail failed
  kLogGetGz = 3,             // looking a product up by its code failed
  kLogGetGz2 = 4,            // looking a product up by its name failed
  kLogListSetAside = 5,      // itemsl.csv could not be read at start-up and was renamed aside
};

// The line for the event at that time: "mm/dd hh:nn:ss - Text" and CR LF. Codes without a
// text give the line with an empty text.
std::string FormatLogLine(int code, const platform::LocalDateTime& at);

// Appends the line for the event now to the log, creating the file when it does not exist.
// Does nothing at all unless houseMachine. Failures to create or write the file are thrown
// (EFCreateError, EWriteError) to the caller.
void WriteLog(int code, bool houseMachine, const std::string& logPath);

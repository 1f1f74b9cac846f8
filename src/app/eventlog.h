// The event log Vendlume.log: one line per failure of the unattended work, kept only on a
// house machine. The file only grows.
#pragma once
#include <string>

#include "base/logcodes.h"
#include "platform/system.h"

constexpr const char* kLogFileName = "Vendlume.log";

// The line for the event at that time: "mm/dd hh:nn:ss - Text" and CR LF. Codes without a
// text give the line with an empty text.
std::string FormatLogLine(int code, const platform::LocalDateTime& at);

// Appends the line for the event now to the log, creating the file when it does not exist.
// Does nothing at all unless houseMachine. Failures to create or write the file are thrown
// (EFCreateError, EWriteError) to the caller.
void WriteLog(int code, bool houseMachine, const std::string& logPath);

// The event logs. Vendlume.log: one line per failure of the unattended work, kept only on a
// house machine; the file only grows. Vendlume-events.log: the owner's log on every machine,
// one Japanese line per event of the health record (app/health.h), Shift-JIS with CR LF.
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

constexpr const char* kEventsLogFileName = "Vendlume-events.log";
// The owner's log is kept below this size: the line that would take it past it first moves
// the file to the name + ".1" (replacing an older one there), so at most twice this is kept.
constexpr long kEventsLogMaxBytes = 1024 * 1024;

// Appends the line and CR LF to the owner's log, moving a full log aside first. Failures to
// write are thrown (EFCreateError, EWriteError); a log that cannot be moved aside grows on.
void AppendEventsLogLine(const std::string& logPath, const std::string& line);

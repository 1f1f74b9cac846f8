// The settings file Vendlume.ini: every choice of the shop owner, read once at start-up and
// written whole when a settings dialog closes.
#pragma once
#include <string>

#include "base/settingsrecord.h"

constexpr const char* kSettingsFileName = "Vendlume.ini";

// Reads every key of the file into the settings; a missing file, section or key, a number
// that is not a whole number and a boolean that is not one give the default of
// TSettings. Booleans are whole numbers, any value but 0 meaning true. Strings are cut to
// 2047 bytes. The optional [Mall] section gives the mall's hosts (an empty value counts as
// missing).
void LoadSettings(TSettings& settings, const std::string& iniPath);

// Writes every key of [POP3], [FTP] and [HTML] in the file's order, keeping the file's other
// sections (among them [Mall], which the program never writes) and keys, by the rules of
// the Windows profile functions on both systems (platform/profiletext.h). Texts (AddText,
// hosts, users, passwords, Target) are stored on one line, each line break (CR LF, or a
// lone CR or LF) written as "<CRLF>"; reading turns every "<CRLF>" back into CR LF.
// The file is replaced whole (base/files.h), or not at all: when it cannot be read or
// written, it stays as it was and EIniFileError ("<iniPath> に書き込めません") is thrown.
// A save that changes nothing leaves the file untouched.
void SaveSettings(const TSettings& settings, const std::string& iniPath);


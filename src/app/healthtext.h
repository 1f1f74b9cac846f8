// The health record as the owner reads it: the events log's lines, the tray's tip and the
// status file.
#pragma once
#include <string>

#include "app/health.h"

// The tip's room: the shell's record holds 127 characters and a zero; the tip is kept to
// 127 bytes of Shift-JIS, which is never more characters than that.
constexpr size_t kHealthTipBytes = 127;

// "2026/12/09 16:20:05 [FTP] 失敗: 530 Login incorrect." without a line end, Shift-JIS.
std::string HealthEventLine(const THealthEvent& event);

// The tip: "Vendlume", then one line per trouble ("FTP 12/09 16:20 から: " and its message,
// cut to fit, never inside a double-byte character) and the last check, order and upload
// as far as they fit. Lines end with CR LF; at most kHealthTipBytes bytes.
std::string HealthTip(const THealth& health);

// The status window's text: the last check, order and upload, each part's state, then the
// kept events, newest first. Shift-JIS with CR LF.
std::string HealthReport(const THealth& health);

// The status file: "key=value" lines in UTF-8 with LF, for monitoring scripts. Times are
// "2026-12-09 16:20:05", empty when the thing never happened.
std::string HealthStatusText(const THealth& health);

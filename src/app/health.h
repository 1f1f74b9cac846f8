// The health record: what the owner is told about the unattended work. The controller
// feeds it (the poll cycle's outcome, orders taken, uploads, and every part's failures and
// successes); the tray's tip and icon, the notices, the status window, the events log and
// the status file all read it. Texts are Shift-JIS.
#pragma once
#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

// The parts of the work that can be in trouble.
enum class THealthPart { Mailbox, Ftp, Mall, LocalFiles };
constexpr int kHealthPartCount = 4;

// A trouble is told (the warning icon, a notice) once it has lasted longer than this many
// poll cycles: a failure that the next cycle mends is not worth the owner's attention.
constexpr int kTroubleQuietCycles = 2;
// The events the record keeps for the status window.
constexpr size_t kHealthEventsKept = 50;

// One event: a trouble that began, lasted, changed or cleared, an order, an upload.
struct THealthEvent {
  platform::LocalDateTime at;
  std::optional<THealthPart> part;  // none for the program's own events
  std::string text;
};

struct TTrouble {
  platform::LocalDateTime since;
  int cycles = 0;           // the poll cycles that saw it
  std::string message;      // the failure's own text: the server's reply, the file's error
  bool told = false;        // it lasted: the owner was (or is being) told
  bool seenThisCycle = false;
};

// A notice for the owner: a trouble that now lasts, or one that cleared after it was told.
struct THealthNotice {
  THealthPart part;
  bool cleared = false;
  std::string message;  // the trouble's text
};

class THealth {
 public:
  using Clock = std::function<platform::LocalDateTime()>;
  // sink sees every event as it is recorded (the events log); it may be empty.
  explicit THealth(Clock clock, std::function<void(const THealthEvent&)> sink = {});

  // A part failed now; the trouble begins with the first failure and keeps its first time.
  void Failed(THealthPart part, const std::string& message);
  // A part worked now: its trouble, if any, is over, unless the part failed in this same
  // cycle too (one lookup of several, a mailbox that failed after it opened).
  void Succeeded(THealthPart part);
  // An order's rows were saved.
  void OrderTaken();
  // An upload ended; a failure is also the FTP part's trouble.
  void UploadEnded(bool stored, const std::string& failure);
  // A poll cycle ended (ok: it ran without a failure of its own; a mailbox failure reported
  // in it makes the check failed all the same): every trouble seen in it
  // counts one more cycle, and one that now lasts longer than kTroubleQuietCycles is told.
  void CycleEnded(bool ok);

  // The notices due since the last call.
  std::vector<THealthNotice> TakeNotices();

  const std::optional<platform::LocalDateTime>& LastPoll() const { return lastPoll_; }
  bool LastPollOk() const { return lastPollOk_; }
  const std::optional<platform::LocalDateTime>& LastOrder() const { return lastOrder_; }
  // The orders taken on the day of the last one that is today by the clock.
  int OrdersToday() const;
  const std::optional<platform::LocalDateTime>& LastUpload() const { return lastUpload_; }
  bool LastUploadOk() const { return lastUploadOk_; }
  const std::optional<TTrouble>& Trouble(THealthPart part) const { return troubles_[Index(part)]; }
  // Some trouble has lasted: the warning icon shows.
  bool Warning() const;
  // The last kHealthEventsKept events, oldest first.
  const std::deque<THealthEvent>& Events() const { return events_; }
  platform::LocalDateTime Now() const { return clock_(); }

 private:
  static size_t Index(THealthPart part) { return static_cast<size_t>(part); }
  void Record(std::optional<THealthPart> part, std::string text);

  Clock clock_;
  std::function<void(const THealthEvent&)> sink_;
  std::optional<platform::LocalDateTime> lastPoll_, lastOrder_, lastUpload_;
  bool lastPollOk_ = false, lastUploadOk_ = false;
  int ordersOnLastOrderDay_ = 0;
  std::array<std::optional<TTrouble>, kHealthPartCount> troubles_;
  std::vector<THealthNotice> notices_;
  std::deque<THealthEvent> events_;
};

// The part's name as the owner reads it ("メールボックス", "FTP", "モール", "ファイル").
std::string HealthPartName(THealthPart part);
// The part's key in the status file ("mailbox", "ftp", "mall", "files").
const char* HealthPartKey(THealthPart part);

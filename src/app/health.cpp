#include "app/health.h"

#include <utility>

#include "base/sjisliteral.h"

namespace {

bool SameDay(const platform::LocalDateTime& a, const platform::LocalDateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

// A reply or an error text may run over several lines; an event is one line.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

THealth::THealth(Clock clock, std::function<void(const THealthEvent&)> sink)
    : clock_(std::move(clock)), sink_(std::move(sink)) {}

void THealth::Failed(THealthPart part, const std::string& message) {
  const std::string text = OneLine(message);
  std::optional<TTrouble>& trouble = troubles_[Index(part)];
  if (!trouble) {
    trouble = TTrouble{clock_(), 0, text};
    Record(part, Sjis("失敗: ") + text);
  } else if (trouble->message != text) {
    // The same part fails another way: the newest reason is the one worth reading.
    trouble->message = text;
    Record(part, Sjis("失敗: ") + text);
  }
  trouble->seenThisCycle = true;
}

void THealth::Succeeded(THealthPart part) {
  std::optional<TTrouble>& trouble = troubles_[Index(part)];
  if (!trouble || trouble->seenThisCycle) return;
  if (trouble->told) notices_.push_back({part, true, trouble->message});
  trouble.reset();
  Record(part, Sjis("回復しました"));
}

void THealth::OrderTaken() {
  const platform::LocalDateTime now = clock_();
  ordersOnLastOrderDay_ = lastOrder_ && SameDay(*lastOrder_, now) ? ordersOnLastOrderDay_ + 1 : 1;
  lastOrder_ = now;
  Record(std::nullopt, Sjis("注文を受け付けました (今日 ") + std::to_string(ordersOnLastOrderDay_) + Sjis(" 件目)"));
}

void THealth::UploadEnded(bool stored, const std::string& failure) {
  lastUpload_ = clock_();
  lastUploadOk_ = stored;
  if (!stored) return Failed(THealthPart::Ftp, failure);
  Succeeded(THealthPart::Ftp);
  Record(THealthPart::Ftp, Sjis("ページを公開しました"));
}

void THealth::CycleEnded(bool ok) {
  lastPoll_ = clock_();
  // A mailbox that could not be opened ends the cycle quietly, but the check failed.
  const auto& mailbox = troubles_[Index(THealthPart::Mailbox)];
  lastPollOk_ = ok && !(mailbox && mailbox->seenThisCycle);
  for (size_t i = 0; i < troubles_.size(); ++i) {
    std::optional<TTrouble>& trouble = troubles_[i];
    if (!trouble || !trouble->seenThisCycle) continue;
    trouble->seenThisCycle = false;
    ++trouble->cycles;
    if (!trouble->told && trouble->cycles > kTroubleQuietCycles) {
      trouble->told = true;
      const auto part = static_cast<THealthPart>(i);
      notices_.push_back({part, false, trouble->message});
      Record(part, Sjis("問題が続いています (") + std::to_string(trouble->cycles) + Sjis(" 回目)"));
    }
  }
}

std::vector<THealthNotice> THealth::TakeNotices() { return std::exchange(notices_, {}); }

int THealth::OrdersToday() const {
  return lastOrder_ && SameDay(*lastOrder_, clock_()) ? ordersOnLastOrderDay_ : 0;
}

bool THealth::Warning() const {
  for (const auto& trouble : troubles_)
    if (trouble && trouble->told) return true;
  return false;
}

void THealth::Record(std::optional<THealthPart> part, std::string text) {
  events_.push_back({clock_(), part, std::move(text)});
  if (events_.size() > kHealthEventsKept) events_.pop_front();
  if (sink_) sink_(events_.back());
}

std::string HealthPartName(THealthPart part) {
  switch (part) {
    case THealthPart::Mailbox: return Sjis("メールボックス");
    case THealthPart::Ftp: return "FTP";
    case THealthPart::Mall: return Sjis("モール");
    case THealthPart::LocalFiles: return Sjis("ファイル");
  }
  return "";
}

const char* HealthPartKey(THealthPart part) {
  switch (part) {
    case THealthPart::Mailbox: return "mailbox";
    case THealthPart::Ftp: return "ftp";
    case THealthPart::Mall: return "mall";
    case THealthPart::LocalFiles: return "files";
  }
  return "";
}

#include "app/healthtext.h"

#include <cstdio>

#include "base/sjisliteral.h"
#include "text/sjissearch.h"

namespace {

std::string Stamp(const char* format, const platform::LocalDateTime& at) {
  char text[32];
  std::snprintf(text, sizeof text, format, at.year, at.month, at.day, at.hour, at.minute, at.second);
  return text;
}

std::string DateTime(const platform::LocalDateTime& at) { return Stamp("%04d/%02d/%02d %02d:%02d:%02d", at); }

// "12/09 16:20": the tip's short form.
std::string Short(const platform::LocalDateTime& at) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d", at.month, at.day, at.hour, at.minute);
  return text;
}

std::string StatusTime(const std::optional<platform::LocalDateTime>& at) {
  return at ? Stamp("%04d-%02d-%02d %02d:%02d:%02d", *at) : "";
}

// At most maxBytes of the text, never ending in the first half of a double-byte character.
std::string CutSjis(const std::string& text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t step = IsSjisLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + step > maxBytes) break;
    end += step;
  }
  return text.substr(0, end);
}

}  // namespace

std::string HealthEventLine(const THealthEvent& event) {
  std::string line = DateTime(event.at) + " ";
  if (event.part) line += "[" + HealthPartName(*event.part) + "] ";
  return line + event.text;
}

std::string HealthTip(const THealth& health) {
  std::string tip = "Vendlume";
  // A line goes in whole when it fits, else not at all.
  auto add = [&tip](const std::string& line) {
    if (tip.size() + 2 + line.size() <= kHealthTipBytes) tip += "\r\n" + line;
  };
  for (int i = 0; i < kHealthPartCount; ++i) {
    const auto part = static_cast<THealthPart>(i);
    const auto& trouble = health.Trouble(part);
    if (!trouble) continue;
    const std::string head = HealthPartName(part) + " " + Short(trouble->since) + Sjis(" から: ");
    if (tip.size() + 2 + head.size() > kHealthTipBytes) break;
    tip += "\r\n" + head + CutSjis(trouble->message, kHealthTipBytes - tip.size() - 2 - head.size());
  }
  const std::string failed = Sjis(" 失敗");
  add(Sjis("確認 ") + (health.LastPoll() ? Short(*health.LastPoll()) + (health.LastPollOk() ? "" : failed)
                                          : Sjis("まだ")));
  add(Sjis("注文 ") + (health.LastOrder() ? Short(*health.LastOrder()) + Sjis(" (今日 ") +
                                                std::to_string(health.OrdersToday()) + Sjis(" 件)")
                                          : Sjis("なし")));
  if (health.LastUpload())
    add(Sjis("公開 ") + Short(*health.LastUpload()) + (health.LastUploadOk() ? "" : failed));
  return tip;
}

std::string HealthReport(const THealth& health) {
  auto when = [](const std::optional<platform::LocalDateTime>& at, const std::string& none) {
    return at ? DateTime(*at) : none;
  };
  const std::string ok = Sjis(" (正常)"), failed = Sjis(" (失敗)"), none = Sjis("まだありません");
  std::string text = Sjis("最終確認: ") + when(health.LastPoll(), none) +
                     (health.LastPoll() ? (health.LastPollOk() ? ok : failed) : "") + "\r\n";
  text += Sjis("最終注文: ") + when(health.LastOrder(), none) +
          (health.LastOrder() ? Sjis(" (今日 ") + std::to_string(health.OrdersToday()) + Sjis(" 件)") : "") + "\r\n";
  text += Sjis("最終公開: ") + when(health.LastUpload(), none) +
          (health.LastUpload() ? (health.LastUploadOk() ? ok : failed) : "") + "\r\n\r\n";
  for (int i = 0; i < kHealthPartCount; ++i) {
    const auto part = static_cast<THealthPart>(i);
    const auto& trouble = health.Trouble(part);
    text += HealthPartName(part) + ": ";
    if (!trouble) {
      text += Sjis("正常\r\n");
      continue;
    }
    text += Sjis("問題あり (") + DateTime(trouble->since) + Sjis(" から ") + std::to_string(trouble->cycles) +
            Sjis(" 回) ") + trouble->message + "\r\n";
  }
  text += Sjis("\r\n最近の出来事:\r\n");
  const auto& events = health.Events();
  for (auto e = events.rbegin(); e != events.rend(); ++e) text += HealthEventLine(*e) + "\r\n";
  return text;
}

std::string HealthStatusText(const THealth& health) {
  std::string text;
  auto put = [&text](const std::string& key, const std::string& value) { text += key + "=" + value + "\n"; };
  put("updated", StatusTime(health.Now()));
  put("last_poll", StatusTime(health.LastPoll()));
  put("last_poll_ok", health.LastPoll() ? (health.LastPollOk() ? "1" : "0") : "");
  put("last_order", StatusTime(health.LastOrder()));
  put("orders_today", std::to_string(health.OrdersToday()));
  put("last_upload", StatusTime(health.LastUpload()));
  put("last_upload_ok", health.LastUpload() ? (health.LastUploadOk() ? "1" : "0") : "");
  put("warning", health.Warning() ? "1" : "0");
  for (int i = 0; i < kHealthPartCount; ++i) {
    const auto part = static_cast<THealthPart>(i);
    const std::string key = HealthPartKey(part);
    const auto& trouble = health.Trouble(part);
    put(key, trouble ? "trouble" : "ok");
    if (!trouble) continue;
    put(key + ".since", StatusTime(trouble->since));
    put(key + ".cycles", std::to_string(trouble->cycles));
    put(key + ".message", SjisToUtf8Text(trouble->message));
  }
  return text;
}

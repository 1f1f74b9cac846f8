#include "app/settings.h"

#include <filesystem>
#include <optional>

#include "base/errors.h"
#include "base/files.h"
#include "base/numtext.h"
#include "base/sjisliteral.h"
#include "platform/profile.h"
#include "platform/profiletext.h"

namespace {

constexpr std::string_view kLineBreakMark = "<CRLF>";

// A lone CR or LF is escaped too: written raw it would end the line in the file and the
// rest of the text would be lost (or read as keys of its own). Every text the owner types
// (hosts, users, passwords, Target, AddText) is stored this way.
std::string EscapeLineBreaks(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += kLineBreakMark;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string UnescapeLineBreaks(const std::string& stored) {
  std::string out;
  size_t start = 0;
  for (size_t at; (at = stored.find(kLineBreakMark, start)) != std::string::npos;
       start = at + kLineBreakMark.size()) {
    out.append(stored, start, at - start);
    out += "\r\n";
  }
  out.append(stored, start);
  return out;
}

// Reading a value trims the blanks around it and removes one pair of enclosing quotes ("..."
// or '...'). A text that would lose something that way (a password with a blank at its end,
// a name in quotes) is written inside one more pair of double quotes, which the reading
// removes again.
std::string ProtectedValue(const std::string& text) {
  if (text.empty()) return text;
  auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  const char first = text.front(), last = text.back();
  const bool quoted = text.size() >= 2 && (first == '"' || first == '\'') && last == first;
  return quoted || blank(first) || blank(last) ? "\"" + text + "\"" : text;
}

// How a key's value is stored and read back.
enum class Kind {
  Text,     // the owner's typed text: line breaks escaped, kept whole
  Name,     // a colour or a fingerprint, stored as it is
  Number,   // a whole number
  Boolean,  // a whole number, any but 0 meaning true
  Tls,      // 0 to kTlsSettingMost; any other number is malformed
  MallHost, // read only; an empty value names no host
};

struct SettingKey {
  const char* section;
  const char* key;
  Kind kind;
  std::string TSettings::*text = nullptr;
  int TSettings::*number = nullptr;
  bool TSettings::*flag = nullptr;
  std::string TMallHosts::*host = nullptr;
};

constexpr SettingKey Text(const char* section, const char* key, std::string TSettings::*m) {
  return {section, key, Kind::Text, m};
}
constexpr SettingKey Name(const char* section, const char* key, std::string TSettings::*m) {
  return {section, key, Kind::Name, m};
}
constexpr SettingKey Number(const char* section, const char* key, int TSettings::*m, Kind kind = Kind::Number) {
  return {section, key, kind, nullptr, m};
}
constexpr SettingKey Boolean(const char* section, const char* key, bool TSettings::*m) {
  return {section, key, Kind::Boolean, nullptr, nullptr, m};
}
constexpr SettingKey MallHost(const char* key, std::string TMallHosts::*m) {
  return {"Mall", key, Kind::MallHost, nullptr, nullptr, nullptr, m};
}

// Every key of the file, in the order a fresh file holds them.
constexpr SettingKey kKeys[] = {
    Text("POP3", "Host", &TSettings::Pop3Host),
    Text("POP3", "User", &TSettings::Pop3User),
    Text("POP3", "Pass", &TSettings::Pop3Pass),
    Number("POP3", "Port", &TSettings::Pop3Port),
    Text("FTP", "Host", &TSettings::FtpHost),
    Text("FTP", "User", &TSettings::FtpUser),
    Text("FTP", "Pass", &TSettings::FtpPass),
    Number("FTP", "Port", &TSettings::FtpPort),
    Text("FTP", "Target", &TSettings::Target),
    Name("HTML", "Font", &TSettings::Font),
    Name("HTML", "Back", &TSettings::Back),
    Name("HTML", "HoverFont", &TSettings::HoverFont),
    Name("HTML", "HoverBack", &TSettings::HoverBack),
    Boolean("HTML", "Date", &TSettings::Date),
    Boolean("HTML", "Code", &TSettings::Code),
    Boolean("HTML", "Review", &TSettings::Review),
    Boolean("HTML", "LineLink", &TSettings::LineLink),
    Boolean("HTML", "FadeIn", &TSettings::FadeIn),
    Number("HTML", "TABLE", &TSettings::Table),
    Number("HTML", "Count", &TSettings::Count),
    Number("HTML", "Hin_Len", &TSettings::HinLen),
    Number("HTML", "Gazou_Size", &TSettings::GazouSize),
    Text("HTML", "AddText", &TSettings::AddText),
    Number("POP3", "TLS", &TSettings::Pop3Tls, Kind::Tls),
    Name("POP3", "Fingerprint", &TSettings::Pop3Fingerprint),
    Number("FTP", "TLS", &TSettings::FtpTls, Kind::Tls),
    Name("FTP", "Fingerprint", &TSettings::FtpFingerprint),
    MallHost("SearchHost", &TMallHosts::SearchHost),
    MallHost("ThumbnailHost", &TMallHosts::ThumbnailHost),
    MallHost("ScriptHost", &TMallHosts::ScriptHost),
    Boolean("Notice", "Balloon", &TSettings::NoticeBalloon),
};

// The key's value read from the file into the settings; def holds the defaults.
void ReadKey(const SettingKey& k, const std::string& iniPath, const TSettings& def, TSettings& s) {
  auto read = [&](const std::string& fallback) {
    return platform::ReadProfileString(iniPath, k.section, k.key, fallback);
  };
  switch (k.kind) {
    case Kind::Text: s.*k.text = UnescapeLineBreaks(read(def.*k.text)); break;
    case Kind::Name: s.*k.text = read(def.*k.text); break;
    case Kind::Number: s.*k.number = StrToIntDef(read(""), def.*k.number); break;
    case Kind::Boolean: s.*k.flag = StrToIntDef(read(""), def.*k.flag ? 1 : 0) != 0; break;
    case Kind::Tls: {
      const int mode = StrToIntDef(read(""), def.*k.number);
      s.*k.number = mode >= 0 && mode <= kTlsSettingMost ? mode : def.*k.number;
      break;
    }
    case Kind::MallHost: {
      const std::string host = read(def.Mall.*k.host);
      s.Mall.*k.host = host.empty() ? def.Mall.*k.host : host;
      break;
    }
  }
}

// The key's value as the file stores it; none for a key the program never writes.
std::optional<std::string> StoredValue(const SettingKey& k, const TSettings& s) {
  switch (k.kind) {
    case Kind::Text: return ProtectedValue(EscapeLineBreaks(s.*k.text));
    case Kind::Name: return ProtectedValue(s.*k.text);
    case Kind::Number:
    case Kind::Tls: return IntToStr(s.*k.number);
    case Kind::Boolean: return s.*k.flag ? "1" : "0";
    case Kind::MallHost: break;
  }
  return std::nullopt;
}

[[noreturn]] void ThrowCannotWrite(const std::string& iniPath) {
  static const std::string cannotWrite = Sjis(" に書き込めません");
  throw EIniFileError(iniPath + cannotWrite);
}

}  // namespace

void LoadSettings(TSettings& s, const std::string& iniPath) {
  const TSettings def;
  for (const SettingKey& k : kKeys) ReadKey(k, iniPath, def, s);
}

void SaveSettings(const TSettings& s, const std::string& iniPath) {
  std::optional<std::string> old = ReadFileBytes(iniPath);
  std::error_code error;
  if (!old && (std::filesystem::exists(iniPath, error) || error)) ThrowCannotWrite(iniPath);
  platform::ProfileText ini(old.value_or(""));
  bool changed = !old;
  for (const SettingKey& k : kKeys) {
    if (std::optional<std::string> value = StoredValue(k, s)) changed |= ini.Write(k.section, k.key, *value);
  }
  if (!changed) return;
  try {
    ReplaceFileBytes(iniPath, ini.Text());
  } catch (const std::exception&) {
    ThrowCannotWrite(iniPath);
  }
}

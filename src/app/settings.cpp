#include "app/settings.h"

#include "base/errors.h"
#include "base/numtext.h"
#include "base/sjisliteral.h"
#include "platform/profile.h"

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

class SettingsReader {
 public:
  explicit SettingsReader(const std::string& path) : path_(path) {}

  std::string String(const char* section, const char* key, const std::string& def) const {
    return platform::ReadProfileString(path_, section, key, def);
  }
  int Integer(const char* section, const char* key, int def) const {
    return StrToIntDef(String(section, key, ""), def);
  }
  bool Boolean(const char* section, const char* key, bool def) const {
    return Integer(section, key, def ? 1 : 0) != 0;
  }
  // A TLS choice outside 0 to 2 is malformed: the default stays.
  int TlsMode(const char* section, int def) const {
    const int mode = Integer(section, "TLS", def);
    return mode >= 0 && mode <= kTlsSettingMost ? mode : def;
  }
  // A host left empty names no host: the default stays.
  std::string Host(const char* key, const std::string& def) const {
    std::string host = String("Mall", key, def);
    return host.empty() ? def : host;
  }

 private:
  const std::string& path_;
};

class SettingsWriter {
 public:
  explicit SettingsWriter(const std::string& path) : path_(path) {}

  void String(const char* section, const char* key, const std::string& value) const {
    if (!platform::WriteProfileString(path_, section, key, ProtectedValue(value))) {
      static const std::string cannotWrite = Sjis(" に書き込めません");
      throw EIniFileError(path_ + cannotWrite);
    }
  }
  void Integer(const char* section, const char* key, int value) const {
    String(section, key, IntToStr(value));
  }
  void Boolean(const char* section, const char* key, bool value) const {
    String(section, key, value ? "1" : "0");
  }

 private:
  const std::string& path_;
};

}  // namespace

void LoadSettings(TSettings& s, const std::string& iniPath) {
  const TSettings def;
  const SettingsReader in(iniPath);
  s.Pop3Host = UnescapeLineBreaks(in.String("POP3", "Host", def.Pop3Host));
  s.Pop3User = UnescapeLineBreaks(in.String("POP3", "User", def.Pop3User));
  s.Pop3Pass = UnescapeLineBreaks(in.String("POP3", "Pass", def.Pop3Pass));
  s.Pop3Port = in.Integer("POP3", "Port", def.Pop3Port);

  s.FtpHost = UnescapeLineBreaks(in.String("FTP", "Host", def.FtpHost));
  s.FtpUser = UnescapeLineBreaks(in.String("FTP", "User", def.FtpUser));
  s.FtpPass = UnescapeLineBreaks(in.String("FTP", "Pass", def.FtpPass));
  s.FtpPort = in.Integer("FTP", "Port", def.FtpPort);
  s.Target = UnescapeLineBreaks(in.String("FTP", "Target", def.Target));

  s.Font = in.String("HTML", "Font", def.Font);
  s.Back = in.String("HTML", "Back", def.Back);
  s.Date = in.Boolean("HTML", "Date", def.Date);
  s.Code = in.Boolean("HTML", "Code", def.Code);
  s.Review = in.Boolean("HTML", "Review", def.Review);
  s.LineLink = in.Boolean("HTML", "LineLink", def.LineLink);
  s.FadeIn = in.Boolean("HTML", "FadeIn", def.FadeIn);
  s.Table = in.Integer("HTML", "TABLE", def.Table);
  s.Count = in.Integer("HTML", "Count", def.Count);
  s.HinLen = in.Integer("HTML", "Hin_Len", def.HinLen);
  s.HoverFont = in.String("HTML", "HoverFont", def.HoverFont);
  s.HoverBack = in.String("HTML", "HoverBack", def.HoverBack);
  s.GazouSize = in.Integer("HTML", "Gazou_Size", def.GazouSize);
  s.AddText = UnescapeLineBreaks(in.String("HTML", "AddText", def.AddText));

  s.Pop3Tls = in.TlsMode("POP3", def.Pop3Tls);
  s.Pop3Fingerprint = in.String("POP3", "Fingerprint", def.Pop3Fingerprint);
  s.FtpTls = in.TlsMode("FTP", def.FtpTls);
  s.FtpFingerprint = in.String("FTP", "Fingerprint", def.FtpFingerprint);

  s.Mall.SearchHost = in.Host("SearchHost", def.Mall.SearchHost);
  s.Mall.ThumbnailHost = in.Host("ThumbnailHost", def.Mall.ThumbnailHost);
  s.Mall.ScriptHost = in.Host("ScriptHost", def.Mall.ScriptHost);
}

void SaveSettings(const TSettings& s, const std::string& iniPath) {
  const SettingsWriter out(iniPath);
  out.String("POP3", "Host", EscapeLineBreaks(s.Pop3Host));
  out.String("POP3", "User", EscapeLineBreaks(s.Pop3User));
  out.String("POP3", "Pass", EscapeLineBreaks(s.Pop3Pass));
  out.Integer("POP3", "Port", s.Pop3Port);

  out.String("FTP", "Host", EscapeLineBreaks(s.FtpHost));
  out.String("FTP", "User", EscapeLineBreaks(s.FtpUser));
  out.String("FTP", "Pass", EscapeLineBreaks(s.FtpPass));
  out.Integer("FTP", "Port", s.FtpPort);
  out.String("FTP", "Target", EscapeLineBreaks(s.Target));

  out.String("HTML", "Font", s.Font);
  out.String("HTML", "Back", s.Back);
  out.String("HTML", "HoverFont", s.HoverFont);
  out.String("HTML", "HoverBack", s.HoverBack);
  out.Boolean("HTML", "Date", s.Date);
  out.Boolean("HTML", "Code", s.Code);
  out.Boolean("HTML", "Review", s.Review);
  out.Boolean("HTML", "LineLink", s.LineLink);
  out.Boolean("HTML", "FadeIn", s.FadeIn);
  out.Integer("HTML", "TABLE", s.Table);
  out.Integer("HTML", "Count", s.Count);
  out.Integer("HTML", "Hin_Len", s.HinLen);
  out.Integer("HTML", "Gazou_Size", s.GazouSize);
  out.String("HTML", "AddText", EscapeLineBreaks(s.AddText));

  out.Integer("POP3", "TLS", s.Pop3Tls);
  out.String("POP3", "Fingerprint", s.Pop3Fingerprint);
  out.Integer("FTP", "TLS", s.FtpTls);
  out.String("FTP", "Fingerprint", s.FtpFingerprint);
}

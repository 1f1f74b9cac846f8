// Every choice of the shop owner, as held by the controller while the program runs.
// Vendlume.ini stores them (app/settings.h reads and writes the file); the defaults here
// are the values of a first start without a settings file.
#pragma once
#include <string>

// The mall's hosts, from the optional [Mall] section of the settings file: "host" or
// "host:port" (reached by http://), or an address naming its scheme. The built-in ones
// name https, so the page's images and script are no mixed content on an https shop page.
// The program reads them at start-up and never writes them.
struct TMallHosts {
  std::string SearchHost = "https://search.rakuten.co.jp";
  std::string ThumbnailHost = "https://thumbnail.image.rakuten.co.jp";
  std::string ScriptHost = "https://r.r10s.jp";
};

struct TSettings {
  // [POP3]: the mailbox that receives the order mails. "NONE" means never configured.
  std::string Pop3Host = "NONE";
  std::string Pop3User = "NONE";
  std::string Pop3Pass = "NONE";
  int Pop3Port = 110;

  // [FTP]: the shop's web space; the page is uploaded as Target + ".html".
  std::string FtpHost = "NONE";
  std::string FtpUser = "NONE";
  std::string FtpPass = "NONE";
  int FtpPort = 16910;
  std::string Target = "Recent";

  // [HTML]: the look of the page. Colours are colour texts ("$00BBGGRR" or an identifier).
  std::string Font = "$00FFFFFF";
  std::string Back = "$00000000";
  std::string HoverFont = "$00000000";
  std::string HoverBack = "$00FFFFFF";
  bool Date = true;
  bool Code = true;
  bool Review = false;
  bool LineLink = false;
  bool FadeIn = false;
  int Table = 600;     // table width in pixels; 0 is "100%"
  int Count = 20;      // most rows kept in the recent-orders list
  int HinLen = 60;     // longest item name shown, in characters
  int GazouSize = 48;  // thumbnail edge in pixels
  std::string AddText; // extra HTML for the page head; may hold CR LF

  TMallHosts Mall;

  // TLS per account, after the keys above in the file ([POP3] and [FTP] "TLS" and
  // "Fingerprint"): 0 none (the default), 1 from the first byte (POP3 995, FTPS 990),
  // 2 started by the protocol (STLS, AUTH TLS). The fingerprint, the SHA-256 of a
  // self-signed server certificate in hex, is the one certificate then accepted.
  int Pop3Tls = 0;
  std::string Pop3Fingerprint;
  int FtpTls = 0;
  std::string FtpFingerprint;

  // [Notice] Balloon: the tray tells a trouble that lasts, and its end, in a balloon.
  bool NoticeBalloon = true;
};

constexpr int kTlsSettingMost = 2;

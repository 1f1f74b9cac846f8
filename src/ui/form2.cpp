#include "ui/form2.h"

#include "base/errors.h"
#include "base/netexceptions.h"
#include "base/numtext.h"
#include "net/accounts.h"
#include "platform/dialog.h"
#include "text/sjissearch.h"

namespace {

// The text with each full-width digit ("０" to "９", 82 4F to 82 58) made an ASCII digit: the
// Japanese input method types digits full-width unless switched off.
std::string HalfWidthDigits(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsSjisLeadByte(c) || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const auto trail = static_cast<unsigned char>(text[i + 1]);
    if (c == 0x82 && trail >= 0x4F && trail <= 0x58) out += static_cast<char>('0' + (trail - 0x4F));
    else out.append(text, i, 2);
    ++i;
  }
  return out;
}

// The port in a box, by the shared whole-number rule after full-width digits; a text that
// is no whole number fails with the box's text as typed.
int32_t PortIn(const TEdit& box) {
  if (auto port = TryStrToInt(HalfWidthDigits(box.Text()))) return *port;
  return StrToInt(box.Text());  // not a number with ASCII digits either: throws
}

int CheckedIndex(TRadioButton* const (&choice)[3]) {
  for (int i = 0; i < 3; ++i)
    if (choice[i]->Checked()) return i;
  return 0;
}

}  // namespace

TForm2::TForm2(TForm2Host host)
    : TForm("Form2", ::Sjis("環境設定"), 434, 499), ShowMessage(platform::ShowMessageBox), host_(std::move(host)) {
  GroupBox1.Setup().TabOrder = 0;
  GroupBox2.Setup().TabOrder = 1;
  GroupBox3.Setup().TabOrder = 2;
  GroupBox4.Setup().TabOrder = 3;
  Edit3.Setup().Password = true;
  Edit5.Setup().Password = true;
  Button1.OnClick = [this](TObject* s) { Button1Click(s); };
  Button10.OnClick = [this](TObject* s) { Button10Click(s); };
  Button2.OnClick = [this](TObject* s) { Button2Click(s); };
  Button3.OnClick = [this](TObject* s) { Button3Click(s); };
  Button4.OnClick = [this](TObject* s) { Button4Click(s); };
  Edit9.OnChange = [this](TObject* s) { Edit9Change(s); };
  GroupBox2.OnMouseDown = [this](TObject* s, int x, int y) { GroupBox2MouseDown(s, x, y); };
  OnCloseQuery = [this](TObject* s) { return FormCloseQuery(s); };
  OnClose = [this](TObject* s) { FormClose(s); };
  subscription_ = host_.Clients.Subscribe([this] { ClientsChanged(); });
  ClientsChanged();
  RunEventHandler([this] { FormCreate(); });
}

TForm2::~TForm2() { host_.Clients.Unsubscribe(subscription_); }

void TForm2::FormCreate() {
  const TSettings& s = host_.Settings;
  Edit1.SetText(s.Pop3Host);
  Edit2.SetText(s.Pop3User);
  Edit3.SetText(s.Pop3Pass);
  Edit4.SetText(IntToStr(s.Pop3Port));
  Edit5.SetText(s.FtpPass);
  Edit6.SetText(s.FtpHost);
  Edit7.SetText(s.FtpUser);
  Edit8.SetText(IntToStr(s.FtpPort));
  Edit9.SetText(s.Target);
  ShowTlsChoice(pop3TlsChoice_, s.Pop3Tls);
  Edit10.SetText(s.Pop3Fingerprint);
  ShowTlsChoice(ftpTlsChoice_, s.FtpTls);
  Edit11.SetText(s.FtpFingerprint);
}

void TForm2::ShowTlsChoice(TRadioButton* const (&choice)[3], int mode) {
  if (mode < 0 || mode > kTlsSettingMost) mode = 0;
  choice[mode]->SetChecked(true);
}

int TForm2::Pop3TlsChoice() const { return CheckedIndex(pop3TlsChoice_); }

int TForm2::FtpTlsChoice() const { return CheckedIndex(ftpTlsChoice_); }

// An account is applied whole or not at all: a port that fails after a new password was
// assigned would leave that password with the old TLS mode, and the next poll would send it
// in clear. So every field is read and checked before the first is assigned.
void TForm2::Button1Click(TObject*) {
  const int32_t port = PortIn(Edit4);
  TSettings& s = host_.Settings;
  s.Pop3Host = Edit1.Text();
  s.Pop3User = Edit2.Text();
  s.Pop3Pass = Edit3.Text();
  s.Pop3Port = port;
  s.Pop3Tls = Pop3TlsChoice();
  s.Pop3Fingerprint = Edit10.Text();
}

void TForm2::Button2Click(TObject*) {
  const int32_t port = PortIn(Edit8);
  TSettings& s = host_.Settings;
  s.FtpHost = Edit6.Text();
  s.FtpUser = Edit7.Text();
  s.FtpPass = Edit5.Text();
  s.FtpPort = port;
  s.FtpTls = FtpTlsChoice();
  s.FtpFingerprint = Edit11.Text();
}

void TForm2::TestConnection(TNetTCPClient& client, const std::function<void()>& open) {
  std::string message = ::Sjis("接続を確認しました");
  try {
    open();
  } catch (const EAbort&) {
    // The program is ending (exit, or the session ends): no message; the server is left
    // without a goodbye, as the wait was abandoned.
    client.TNetTCPClient::CloseConnection();
    throw;
  } catch (const ENetCertificateError& refused) {
    // The settings are right but the server's certificate is refused: the owner has to
    // install its issuer, correct the host name or pin the fingerprint, so this one says why.
    message = ::Sjis("サーバーの証明書を確認できません。設定を見直して下さい！") + "\r\n" + refused.what();
  } catch (const std::exception&) {
    // Any other failure: the owner is asked to check the settings; the cause is not shown.
    message = ::Sjis("接続エラー！ 設定を見直して下さい！");
  }
  try {
    ShowMessage(message);
  } catch (...) {
    if (client.IsOpen()) client.CloseConnection();
    throw;
  }
  if (client.IsOpen()) {
    try {
      client.CloseConnection();
    } catch (const std::exception&) {
      // The server may already have gone; the connection is closed either way.
    }
  }
}

void TForm2::Button10Click(TObject*) {
  // The button is disabled while a poll cycle uses the client; a click that still arrives
  // then does nothing.
  auto lease = host_.Clients.TryTake(TNetClientKind::Mailbox);
  if (!lease) return;
  TNetPOP3& pop3 = host_.NetPOP31;
  // The values last applied with "設定完了" (or loaded at start-up), as the poll cycle uses them.
  ApplyMailboxAccount(pop3, host_.Settings);
  TestConnection(pop3, [&] { pop3.OpenConnection(); });
}

void TForm2::Button3Click(TObject*) {
  auto lease = host_.Clients.TryTake(TNetClientKind::Ftp);
  if (!lease) return;
  TNetFTP& ftp = host_.NetFTP1;
  ApplyFtpAccount(ftp, host_.Settings);
  TestConnection(ftp, [&] { ftp.OpenAndLogIn(true); });
}

void TForm2::Button4Click(TObject*) {
  if (host_.PublishPage) host_.PublishPage();
}

void TForm2::Edit9Change(TObject*) { host_.Settings.Target = Edit9.Text(); }

bool TForm2::FormCloseQuery(TObject*) {
  host_.SaveSettings();
  return true;
}

void TForm2::FormClose(TObject*) {}

void TForm2::ClientsChanged() {
  bool mailboxFree = !host_.Clients.Busy(TNetClientKind::Mailbox);
  bool ftpFree = !host_.Clients.Busy(TNetClientKind::Ftp);
  Button10.SetEnabled(mailboxFree);
  Button3.SetEnabled(ftpFree);
  Button4.SetEnabled(ftpFree);
}

// TForm2 "環境設定": the mailbox and FTP accounts, their connection tests, the page's name and
// "UpLoad". The dialog keeps no copy of the settings: it fills its boxes from the
// controller's record, writes a group back on "設定完了" (Target at every keystroke) and has
// the controller save the file when it closes. Below the two account groups, one group per
// account holds its TLS mode and pinned certificate fingerprint; the account's "設定完了"
// applies them with the rest of the account.
#pragma once
#include <functional>

#include "base/settingsrecord.h"
#include "base/sjisliteral.h"
#include "net/ftp.h"
#include "net/pop3.h"
#include "ui/clientuse.h"
#include "ui/controls.h"

// What the settings dialog works on: the controller's settings and clients.
struct TForm2Host {
  TSettings& Settings;
  TNetPOP3& NetPOP31;
  TNetFTP& NetFTP1;
  TClientUse& Clients;
  std::function<void()> SaveSettings;  // may throw ("%s に書き込めません")
  std::function<void()> PublishPage;   // silent; waits for the FTP client when it is taken
};

class TForm2 : public TForm {
 public:
  explicit TForm2(TForm2Host host);
  ~TForm2() override;

  void FormCreate();
  void Button1Click(TObject* Sender);
  void Button10Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Edit9Change(TObject* Sender);
  void GroupBox2MouseDown(TObject*, int, int) {}
  bool FormCloseQuery(TObject* Sender);
  void FormClose(TObject* Sender);

  // The message box of the connection tests (a seam for tests).
  std::function<void(const std::string& text)> ShowMessage;

  TGroupBox GroupBox1{this, "GroupBox1", 8, 8, 409, 121, Sjis("受信メール設定")};
  TLabel Label1{&GroupBox1, "Label1", 8, 26, "Host"};
  TEdit Edit1{&GroupBox1, "Edit1", 64, 24, 329, 20, 0};
  TLabel Label2{&GroupBox1, "Label2", 8, 58, "UserID"};
  TEdit Edit2{&GroupBox1, "Edit2", 64, 56, 161, 20, 1};
  TLabel Label4{&GroupBox1, "Label4", 232, 58, "Port"};
  TEdit Edit4{&GroupBox1, "Edit4", 264, 56, 49, 20, 3};
  TLabel Label3{&GroupBox1, "Label3", 8, 90, "Password"};
  TEdit Edit3{&GroupBox1, "Edit3", 64, 88, 161, 20, 2};
  TButton Button1{&GroupBox1, "Button1", 240, 88, 73, 25, Sjis("設定完了"), 4};
  TButton Button10{&GroupBox1, "Button10", 320, 88, 73, 25, Sjis("接続テスト"), 5};
  TGroupBox GroupBox2{this, "GroupBox2", 8, 136, 409, 153, Sjis("FTP 設定")};
  TLabel Label5{&GroupBox2, "Label5", 8, 26, "Host"};
  TEdit Edit6{&GroupBox2, "Edit6", 64, 24, 329, 20, 0};
  TLabel Label6{&GroupBox2, "Label6", 8, 58, "UserID"};
  TEdit Edit7{&GroupBox2, "Edit7", 64, 56, 161, 20, 1};
  TLabel Label8{&GroupBox2, "Label8", 296, 58, "Port"};
  TEdit Edit8{&GroupBox2, "Edit8", 328, 56, 65, 20, 3};
  TLabel Label7{&GroupBox2, "Label7", 8, 90, "Password"};
  TEdit Edit5{&GroupBox2, "Edit5", 64, 88, 161, 20, 2};
  TBevel Bevel1{&GroupBox2, "Bevel1", 8, 115, 385, 2};
  TLabel Label9{&GroupBox2, "Label9", 8, 127, "URL"};
  TEdit Edit9{&GroupBox2, "Edit9", 64, 125, 113, 20, 4};
  TLabel Label11{&GroupBox2, "Label11", 184, 128, ".html", true};
  TButton Button2{&GroupBox2, "Button2", 216, 122, 65, 25, Sjis("設定完了"), 5};
  TButton Button3{&GroupBox2, "Button3", 284, 122, 65, 25, Sjis("接続テスト"), 6};
  TButton Button4{&GroupBox2, "Button4", 352, 122, 49, 25, "UpLoad", 7};
  // The mailbox's TLS: one choice of three radio buttons (none, from the first byte, STLS),
  // and the SHA-256 fingerprint of a self-signed certificate.
  TGroupBox GroupBox3{this, "GroupBox3", 8, 297, 409, 80, Sjis("受信メール TLS")};
  TLabel Label12{&GroupBox3, "Label12", 8, 22, Sjis("接続")};
  TRadioButton RadioButton1{&GroupBox3, "RadioButton1", 64, 20, 49, 17, Sjis("なし"), 0, true};
  TRadioButton RadioButton2{&GroupBox3, "RadioButton2", 120, 20, 89, 17, "TLS (995)", 1};
  TRadioButton RadioButton3{&GroupBox3, "RadioButton3", 216, 20, 81, 17, "STLS", 2};
  TLabel Label13{&GroupBox3, "Label13", 8, 50, Sjis("証明書 SHA-256")};
  TEdit Edit10{&GroupBox3, "Edit10", 64, 48, 329, 20, 3};
  // The same for the FTP account (FTPS from the first byte, or AUTH TLS).
  TGroupBox GroupBox4{this, "GroupBox4", 8, 384, 409, 80, Sjis("FTP TLS")};
  TLabel Label14{&GroupBox4, "Label14", 8, 22, Sjis("接続")};
  TRadioButton RadioButton4{&GroupBox4, "RadioButton4", 64, 20, 49, 17, Sjis("なし"), 0, true};
  TRadioButton RadioButton5{&GroupBox4, "RadioButton5", 120, 20, 89, 17, "FTPS (990)", 1};
  TRadioButton RadioButton6{&GroupBox4, "RadioButton6", 216, 20, 81, 17, "AUTH TLS", 2};
  TLabel Label15{&GroupBox4, "Label15", 8, 50, Sjis("証明書 SHA-256")};
  TEdit Edit11{&GroupBox4, "Edit11", 64, 48, 329, 20, 3};

  // The TLS mode (0 none, 1 from the first byte, 2 started by the protocol) the radio
  // buttons of an account show.
  int Pop3TlsChoice() const;
  int FtpTlsChoice() const;

 private:
  // Enables the buttons whose client is free.
  void ClientsChanged();
  // Checks the radio button of that mode; a mode out of range checks the first ("none").
  static void ShowTlsChoice(TRadioButton* const (&choice)[3], int mode);
  // Opens and closes the connection with open(); one of the two message texts.
  void TestConnection(TNetTCPClient& client, const std::function<void()>& open);
  TForm2Host host_;
  int subscription_ = 0;
  TRadioButton* const pop3TlsChoice_[3] = {&RadioButton1, &RadioButton2, &RadioButton3};
  TRadioButton* const ftpTlsChoice_[3] = {&RadioButton4, &RadioButton5, &RadioButton6};
};

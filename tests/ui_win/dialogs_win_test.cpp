// The settings dialogs as real windows (Wine on a virtual X server): every control read back
// from its window — class, place, size, caption, tab order, font — and the dialogs driven
// with window messages as the user would (typing, clicks, Enter, the close box).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "app/settings.h"
#include "platform/application.h"
#include "platform/codepage.h"
#include "platform/dialog.h"
#include "support/testing.h"
#include "ui/dialogs.h"

namespace {

std::wstring W(const std::string& utf8) {
  std::u16string u = platform::Cp932ToUtf16(Sjis(utf8));
  return std::wstring(u.begin(), u.end());
}

HWND H(const TControl& c) { return reinterpret_cast<HWND>(c.Native() ? c.Native()->Handle() : 0); }

std::wstring Text(HWND h) {
  wchar_t buffer[512] = {};
  GetWindowTextW(h, buffer, 512);
  return buffer;
}

std::wstring ClassOf(HWND h) {
  wchar_t buffer[64] = {};
  GetClassNameW(h, buffer, 64);
  return buffer;
}

// Place and size relative to the parent's client area.
RECT PlaceOf(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Pump() {
  for (int i = 0; i < 5; ++i) {
    platform::ProcessMessages();
    Sleep(20);
  }
}

// Keys typed at the end of the box's text, as after a click behind the text.
void Type(HWND h, const std::wstring& keys) {
  int end = GetWindowTextLengthW(h);
  SendMessageW(h, EM_SETSEL, end, end);
  for (wchar_t k : keys) SendMessageW(h, WM_CHAR, k, 0);
}

// One control as it must appear: kind of window, place (a label's size follows its text
// and is not checked), caption.
struct Row {
  const TControl& control;
  const wchar_t* cls;
  int left, top, width, height;
  std::string caption;
};

void CheckRows(const std::vector<Row>& rows) {
  for (const auto& r : rows) {
    SCOPED_TRACE(r.control.Name);
    HWND h = H(r.control);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(ClassOf(h), r.cls);
    RECT p = PlaceOf(h);
    EXPECT_EQ(p.left, r.left);
    EXPECT_EQ(p.top, r.top);
    if (r.width >= 0) {
      EXPECT_EQ(p.right - p.left, r.width);
      EXPECT_EQ(p.bottom - p.top, r.height);
    }
    if (ClassOf(h) != L"Edit") {
      EXPECT_EQ(Text(h), W(r.caption));
    }
  }
}

// Tab walks the controls in this order and comes back to the first.
void CheckTabOrder(HWND form, const std::vector<const TControl*>& order) {
  for (size_t i = 0; i < order.size(); ++i) {
    HWND next = GetNextDlgTabItem(form, H(*order[i]), FALSE);
    EXPECT_EQ(next, H(*order[(i + 1) % order.size()])) << "after " << order[i]->Name;
  }
}

void CheckFrame(const TForm& form, int width, int height, int left, int top, const std::string& caption) {
  HWND h = H(form);
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r.right - r.left, width);
  EXPECT_EQ(r.bottom - r.top, height);
  EXPECT_EQ(r.left, left < 0 ? (GetSystemMetrics(SM_CXSCREEN) - width) / 2 : left);
  EXPECT_EQ(r.top, top < 0 ? (GetSystemMetrics(SM_CYSCREEN) - height) / 2 : top);
  EXPECT_EQ(Text(h), W(caption));
  LONG style = GetWindowLongW(h, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
}

// The font the control's window draws with.
LOGFONTW FontOf(const TControl& c) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(H(c), WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf;
}

// The dialogs' own face: the test prefix has it (scripts/wine-dialogs maps it to IPA P Gothic).
void CheckFont(const TControl& c, int height) {
  LOGFONTW lf = FontOf(c);
  EXPECT_EQ(lf.lfHeight, -height) << c.Name;
  EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET) << c.Name;
  EXPECT_EQ(std::wstring(lf.lfFaceName), W("ＭＳ Ｐゴシック")) << c.Name;
}

// The window as it is on the screen, as a 32-bit bitmap in $VDL_SCREENSHOTS.
void Screenshot(const TForm& form, const char* name) {
  const char* dir = std::getenv("VDL_SCREENSHOTS");
  if (!dir) return;
  std::filesystem::create_directories(dir);
  HWND h = H(form);
  SetForegroundWindow(h);
  RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  for (int i = 0; i < 10; ++i) {
    Pump();
    Sleep(50);
  }
  RECT r;
  GetWindowRect(h, &r);
  int w = r.right - r.left, ht = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -ht, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
  SelectObject(mem, old);
  std::string path = std::string(dir) + "/" + name + ".bmp";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    DWORD size = static_cast<DWORD>(w * ht * 4);
    BITMAPFILEHEADER fh{0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                        static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
    std::fwrite(bits, size, 1, f);
    std::fclose(f);
  }
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

class WinDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUnhandledErrorHandler([this](const std::exception& e) { errors.push_back(e.what()); });
  }
  void TearDown() override {
    form2.reset();
    form3.reset();
    form4.reset();
    Pump();
  }
  std::string Ini() const { return dir.path() + "/Vendlume.ini"; }

  testing_support::ScopedTempDir dir;
  std::vector<std::string> errors;
  TSettings settings;
  TNetPOP3 pop3;
  TNetFTP ftp;
  TClientUse clients;
  std::unique_ptr<TForm2> form2;
  std::unique_ptr<TForm3> form3;
  std::unique_ptr<TForm4> form4;
};

TEST_F(WinDialogs, SettingsDialogWindowsAndTheirUse) {
  settings.Pop3Host = "mail.example";
  settings.Pop3Pass = "secret";
  settings.Pop3Tls = 1;
  settings.Pop3Fingerprint = "5E:0F:3A:91";
  ShowSettingsDialog(form2, TForm2Host{settings, pop3, ftp, clients, [&] { SaveSettings(settings, Ini()); }, nullptr});
  TForm2& f = *form2;
  ASSERT_NE(H(f), nullptr) << "no window: is the X server there?";
  CheckFrame(f, 434, 499, -1, -1, "環境設定");
  CheckRows({
      {f.GroupBox1, L"Button", 8, 8, 409, 121, "受信メール設定"},
      {f.Label1, L"Static", 8, 26, -1, -1, "Host"},
      {f.Edit1, L"Edit", 64, 24, 329, 20, ""},
      {f.Label2, L"Static", 8, 58, -1, -1, "UserID"},
      {f.Edit2, L"Edit", 64, 56, 161, 20, ""},
      {f.Label4, L"Static", 232, 58, -1, -1, "Port"},
      {f.Edit4, L"Edit", 264, 56, 49, 20, ""},
      {f.Label3, L"Static", 8, 90, -1, -1, "Password"},
      {f.Edit3, L"Edit", 64, 88, 161, 20, ""},
      {f.Button1, L"Button", 240, 88, 73, 25, "設定完了"},
      {f.Button10, L"Button", 320, 88, 73, 25, "接続テスト"},
      {f.GroupBox2, L"Button", 8, 136, 409, 153, "FTP 設定"},
      {f.Label5, L"Static", 8, 26, -1, -1, "Host"},
      {f.Edit6, L"Edit", 64, 24, 329, 20, ""},
      {f.Label6, L"Static", 8, 58, -1, -1, "UserID"},
      {f.Edit7, L"Edit", 64, 56, 161, 20, ""},
      {f.Label8, L"Static", 296, 58, -1, -1, "Port"},
      {f.Edit8, L"Edit", 328, 56, 65, 20, ""},
      {f.Label7, L"Static", 8, 90, -1, -1, "Password"},
      {f.Edit5, L"Edit", 64, 88, 161, 20, ""},
      {f.Bevel1, L"VendlumeBevel", 8, 115, 385, 2, ""},
      {f.Label9, L"Static", 8, 127, -1, -1, "URL"},
      {f.Edit9, L"Edit", 64, 125, 113, 20, ""},
      {f.Label11, L"Static", 184, 128, -1, -1, ".html"},
      {f.Button2, L"Button", 216, 122, 65, 25, "設定完了"},
      {f.Button3, L"Button", 284, 122, 65, 25, "接続テスト"},
      {f.Button4, L"Button", 352, 122, 49, 25, "UpLoad"},
      {f.GroupBox3, L"Button", 8, 297, 409, 80, "受信メール TLS"},
      {f.Label12, L"Static", 8, 22, -1, -1, "接続"},
      {f.RadioButton1, L"Button", 64, 20, 49, 17, "なし"},
      {f.RadioButton2, L"Button", 120, 20, 89, 17, "TLS (995)"},
      {f.RadioButton3, L"Button", 216, 20, 81, 17, "STLS"},
      {f.Label13, L"Static", 8, 50, -1, -1, "証明書 SHA-256"},
      {f.Edit10, L"Edit", 64, 48, 329, 20, ""},
      {f.GroupBox4, L"Button", 8, 384, 409, 80, "FTP TLS"},
      {f.Label14, L"Static", 8, 22, -1, -1, "接続"},
      {f.RadioButton4, L"Button", 64, 20, 49, 17, "なし"},
      {f.RadioButton5, L"Button", 120, 20, 89, 17, "FTPS (990)"},
      {f.RadioButton6, L"Button", 216, 20, 81, 17, "AUTH TLS"},
      {f.Label15, L"Static", 8, 50, -1, -1, "証明書 SHA-256"},
      {f.Edit11, L"Edit", 64, 48, 329, 20, ""},
  });
  CheckTabOrder(H(f), {&f.Edit1, &f.Edit2, &f.Edit3, &f.Edit4, &f.Button1, &f.Button10, &f.Edit6, &f.Edit7,
                       &f.Edit5, &f.Edit8, &f.Edit9, &f.Button2, &f.Button3, &f.Button4, &f.RadioButton2,
                       &f.Edit10, &f.RadioButton4, &f.Edit11});
  // The TLS modes as the windows show them: one box per account checked.
  auto checks = [](std::initializer_list<const TRadioButton*> boxes) {
    std::string marks;
    for (const TRadioButton* b : boxes) marks += SendMessageW(H(*b), BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
    return marks;
  };
  EXPECT_EQ(checks({&f.RadioButton1, &f.RadioButton2, &f.RadioButton3}), "010");
  EXPECT_EQ(checks({&f.RadioButton4, &f.RadioButton5, &f.RadioButton6}), "100");
  EXPECT_EQ(Text(H(f.Edit10)), L"5E:0F:3A:91");
  // The Tab key walks that order through the program's own message loop.
  SetFocus(H(f.Edit1));
  PostMessageW(H(f.Edit1), WM_KEYDOWN, VK_TAB, 0);
  Pump();
  EXPECT_EQ(GetFocus(), H(f.Edit2));
  CheckFont(f.Edit1, 12);
  EXPECT_EQ(SendMessageW(H(f.Edit3), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(SendMessageW(H(f.Edit5), EM_GETPASSWORDCHAR, 0, 0), L'*');
  EXPECT_EQ(FontOf(f.Label11).lfWeight, FW_BOLD);
  EXPECT_EQ(Text(H(f.Edit1)), L"mail.example");
  Screenshot(f, "form2");

  // A click checks a TLS box and clears the others; a click on the checked one keeps it.
  // The FTP account's "設定完了" applies its mode and fingerprint.
  SendMessageW(H(f.RadioButton3), BM_CLICK, 0, 0);
  EXPECT_EQ(checks({&f.RadioButton1, &f.RadioButton2, &f.RadioButton3}), "001");
  SendMessageW(H(f.RadioButton3), BM_CLICK, 0, 0);
  EXPECT_EQ(checks({&f.RadioButton1, &f.RadioButton2, &f.RadioButton3}), "001");
  SetFocus(H(f.RadioButton3));  // the arrow keys move the choice within its account, wrapping there
  PostMessageW(H(f.RadioButton3), WM_KEYDOWN, VK_DOWN, 0);
  Pump();
  EXPECT_EQ(GetFocus(), H(f.RadioButton1));
  EXPECT_EQ(checks({&f.RadioButton1, &f.RadioButton2, &f.RadioButton3}), "100");
  SendMessageW(H(f.RadioButton6), BM_CLICK, 0, 0);
  Type(H(f.Edit11), L"AA:BB");
  EXPECT_EQ(settings.FtpTls, 0);
  SendMessageW(H(f.Button2), BM_CLICK, 0, 0);
  EXPECT_EQ(settings.FtpTls, 2);
  EXPECT_EQ(settings.FtpFingerprint, "AA:BB");
  EXPECT_EQ(settings.Pop3Tls, 1);

  // The user types: Target follows each key; the host only with "設定完了"; a bad port applies none.
  Type(H(f.Edit9), L"X");
  EXPECT_EQ(settings.Target, "RecentX");
  Type(H(f.Edit1), L"2");
  EXPECT_EQ(settings.Pop3Host, "mail.example");
  Type(H(f.Edit4), L" ");
  SendMessageW(H(f.Button1), BM_CLICK, 0, 0);
  EXPECT_EQ(settings.Pop3Host, "mail.example");
  EXPECT_EQ(settings.Pop3Port, 110);
  EXPECT_EQ(errors, std::vector<std::string>{Sjis("'110 ' は整数ではありません")});

  // The close box saves and frees the dialog.
  SendMessageW(H(f), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(form2, nullptr);
  Pump();
  TSettings read;
  LoadSettings(read, Ini());
  EXPECT_EQ(read.Target, "RecentX");
  EXPECT_EQ(read.Pop3Host, "mail.example");
  EXPECT_EQ(read.FtpTls, 2);
  EXPECT_EQ(read.FtpFingerprint, "AA:BB");
  EXPECT_EQ(read.Pop3Tls, 1);  // the bad port applied nothing of its group
}

// What decides the fallback of the dialogs' face asks the desktop's fonts.
TEST_F(WinDialogs, TheDesktopIsAskedForTheDialogFace) {
  struct Case {
    std::string face;
    bool installed;
  } cases[] = {{kDialogFontFace, true}, {"MS UI Gothic", true}, {"Vendlume No Such Face", false},
               {Sjis("ありえない書体"), false}};
  for (const auto& c : cases) EXPECT_EQ(platform::FontInstalled(c.face), c.installed) << c.face;
}

// A window that asks for a face the desktop lacks is drawn in the first Japanese UI font
// there, and the owner gets one note however many such windows open.
TEST_F(WinDialogs, AMissingFaceIsReplacedInTheWindowsWithOneNote) {
  std::vector<std::string> notes;
  TDialogFonts saved = DialogFonts();
  DialogFonts() = TDialogFonts(platform::FontInstalled, [&](const std::string& text) { notes.push_back(text); });
  for (int i = 0; i < 2; ++i) {
    TForm form("Missing", "missing", 200, 100);
    form.Setup().FontFace = "Vendlume No Such Face";
    TEdit edit(&form, "Edit1", 8, 8, 100, 20, 0);
    form.Show();
    ASSERT_NE(H(edit), nullptr);
    LOGFONTW lf = FontOf(edit);
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"MS UI Gothic");
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);
  }
  DialogFonts() = saved;
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("Vendlume No Such Face"), std::string::npos);
  EXPECT_NE(notes[0].find("MS UI Gothic"), std::string::npos);
}

TEST_F(WinDialogs, OutputItemsDialogAndTheAdditionalTextWindowModalOverIt) {
  settings.AddText = "<b>sale</b>";
  int renders = 0;
  ShowOutputItemsDialog(form3, TForm3Host{settings, form4, [&] { ++renders; }, [&] { SaveSettings(settings, Ini()); }});
  TForm3& f = *form3;
  ASSERT_NE(H(f), nullptr);
  CheckFrame(f, 264, 228, -1, -1, "出力項目設定");
  CheckRows({
      {f.Label1, L"Static", 8, 6, -1, -1, "作成するテーブル幅"},
      {f.Edit1, L"Edit", 136, 2, 41, 20, ""},
      {f.Label2, L"Static", 180, 6, -1, -1, "Pixels"},
      {f.Bevel2, L"VendlumeBevel", 8, 24, 238, 2, ""},
      {f.BitBtn1, L"Button", 8, 28, 81, 20, "文字色"},
      {f.BitBtn2, L"Button", 98, 28, 79, 20, "背景色"},
      {f.Panel1, L"VendlumeTransPanel", 188, 28, 61, 49, "イメージ"},
      {f.Bevel3, L"VendlumeBevel", 8, 50, 144, 2, ""},
      {f.CheckBox4, L"Button", 8, 58, 65, 17, "行リンク"},
      {f.BitBtn3, L"Button", 88, 56, 40, 20, "文字色"},
      {f.BitBtn4, L"Button", 136, 56, 40, 20, "背景色"},
      {f.Bevel1, L"VendlumeBevel", 8, 80, 238, 2, ""},
      {f.BitBtn5, L"Button", 8, 86, 241, 18, "HTMLに独自のテキストを追加"},
      {f.CheckBox1, L"Button", 8, 108, 113, 20, "日時を表示しない"},
      {f.CheckBox2, L"Button", 8, 130, 137, 20, "商品コードを表示しない"},
      {f.CheckBox3, L"Button", 8, 152, 121, 20, "レビューを表示する"},
      {f.CheckBox5, L"Button", 8, 176, 138, 20, "再読込時にフェードイン"},
      {f.Bevel4, L"VendlumeBevel", 148, 110, 2, 88, ""},
      {f.Label3, L"Static", 152, 114, -1, -1, "表示件数"},
      {f.Edit2, L"Edit", 216, 114, 33, 18, ""},
      {f.Label5, L"Static", 152, 142, -1, -1, "品名文字数"},
      {f.Edit4, L"Edit", 216, 142, 33, 18, ""},
      {f.Label4, L"Static", 152, 170, -1, -1, "画像サイズ"},
      {f.Edit3, L"Edit", 216, 170, 33, 18, ""},
  });
  CheckTabOrder(H(f), {&f.CheckBox1, &f.CheckBox2, &f.BitBtn1, &f.BitBtn2, &f.Edit1, &f.Edit2, &f.CheckBox3,
                       &f.Edit4, &f.CheckBox4, &f.BitBtn3, &f.BitBtn4, &f.CheckBox5, &f.Edit3, &f.BitBtn5});
  Screenshot(f, "form3");

  // Enter in the table width applies it and is not inserted.
  SetWindowTextW(H(f.Edit1), L"");
  Type(H(f.Edit1), L"700\r");
  EXPECT_EQ(Text(H(f.Edit1)), L"700");
  EXPECT_EQ(settings.Table, 700);
  EXPECT_EQ(renders, 0);

  // Check boxes and the colour picker (confirmed, then cancelled) through their windows.
  SendMessageW(H(f.CheckBox1), BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(H(f.CheckBox1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_FALSE(settings.Date);
  std::optional<uint32_t> answer = 0x00FF0000;
  f.PickColor = [&](uint32_t) { return answer; };
  SendMessageW(H(f.BitBtn2), BM_CLICK, 0, 0);
  EXPECT_EQ(settings.Back, "clBlue");
  answer.reset();
  SendMessageW(H(f.BitBtn1), BM_CLICK, 0, 0);
  EXPECT_EQ(settings.Font, "$00FFFFFF");
  // The preview shows the hover colours while the mouse is over it with row links on.
  SendMessageW(H(f.CheckBox4), BM_CLICK, 0, 0);
  SendMessageW(H(f.Panel1), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(f.Panel1.Color(), 0x00FFFFFF);
  UpdateWindow(H(f.Panel1));
  Screenshot(f, "form3-hover");

  // "HTMLに独自のテキストを追加": the window is modal (the dialog under it disabled), the user
  // types a second line and closes it with the close box.
  bool form3Disabled = false;
  static std::function<void()> whileModal;
  static bool busy = false;
  static int ticks = 0;
  whileModal = [&] {
    // A few ticks first: the window is drawn before it is looked at.
    if (busy || !form4 || !H(*form4) || !IsWindowVisible(H(*form4)) || ++ticks < 5) return;
    busy = true;
    form3Disabled = !IsWindowEnabled(H(f));
    CheckFrame(*form4, 482, 192, 621, 369, "追加テキスト");
    CheckRows({{form4->Memo1, L"Edit", 4, 8, 465, 129, ""}, {form4->Button1, L"Button", 152, 144, 169, 17, "OK"}});
    CheckFont(form4->Memo1, 15);
    Type(H(form4->Memo1), L"\rmore");
    SendMessageW(H(*form4), WM_SYSCOMMAND, SC_CLOSE, 0);
    busy = false;
  };
  UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
    if (whileModal) whileModal();
  });
  SendMessageW(H(f.BitBtn5), BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  whileModal = nullptr;
  EXPECT_TRUE(form3Disabled);
  EXPECT_TRUE(IsWindowEnabled(H(f)));
  EXPECT_EQ(form4, nullptr);
  EXPECT_EQ(settings.AddText, "<b>sale</b>\r\nmore");
  {
    TForm4 shown(settings, form4);
    shown.Memo1.SetText(settings.AddText);
    shown.Show();
    Screenshot(shown, "form4");
  }

  // An empty count keeps the dialog open; corrected, the close renders and saves.
  SetWindowTextW(H(f.Edit2), L"");
  SendMessageW(H(f), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_NE(form3, nullptr);
  EXPECT_TRUE(IsWindowVisible(H(f)));
  EXPECT_EQ(renders, 0);
  Type(H(f.Edit2), L"9");
  SendMessageW(H(f), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(form3, nullptr);
  EXPECT_EQ(renders, 1);
  TSettings read;
  LoadSettings(read, Ini());
  EXPECT_EQ(read.Count, 9);
  EXPECT_EQ(read.Back, "clBlue");
  EXPECT_EQ(read.AddText, "<b>sale</b>\r\nmore");
  EXPECT_EQ(errors, std::vector<std::string>{Sjis("'' は整数ではありません")});
}

}  // namespace

// TForm3 "出力項目設定": the look of the status page, with a live colour preview. Check boxes
// and colours go into the controller's settings at once; the four numbers when the dialog
// closes, after which the page is rendered again and the settings file saved.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "base/settingsrecord.h"
#include "base/sjisliteral.h"
#include "ui/controls.h"
#include "ui/form4.h"
#include "ui/transpanel.h"

// What the output-items dialog works on.
struct TForm3Host {
  TSettings& Settings;
  std::unique_ptr<TForm4>& Form4;       // the additional-text window, when one exists
  std::function<void()> RenderStatusPage;
  std::function<void()> SaveSettings;   // may throw ("%s に書き込めません")
};

class TForm3 : public TForm {
 public:
  explicit TForm3(TForm3Host host);

  void FormCreate();
  void BitBtn1Click(TObject* Sender);
  void BitBtn2Click(TObject* Sender);
  void BitBtn3Click(TObject* Sender);
  void BitBtn4Click(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void CheckBox2Click(TObject* Sender);
  void CheckBox3Click(TObject* Sender);
  void CheckBox4Click(TObject* Sender);
  void CheckBox5Click(TObject* Sender);
  void Edit1KeyPress(TObject* Sender, char& Key);
  void Edit3KeyPress(TObject*, char&) {}
  void Panel1MouseMove(TObject* Sender, int X, int Y);
  void Panel1MouseLeave(TObject* Sender, int X, int Y);
  void BitBtn5Click(TObject* Sender);
  void FormClose(TObject* Sender);

  // ColorDialog1: the colour picker (a seam for tests); nothing when cancelled.
  std::function<std::optional<uint32_t>(uint32_t initial)> PickColor;

  TLabel Label1{this, "Label1", 8, 6, Sjis("作成するテーブル幅")};
  TEdit Edit1{this, "Edit1", 136, 2, 41, 20, 4};
  TLabel Label2{this, "Label2", 180, 6, "Pixels"};
  TBevel Bevel2{this, "Bevel2", 8, 24, 238, 2};
  TButton BitBtn1{this, "BitBtn1", 8, 28, 81, 20, Sjis("文字色"), 2};
  TButton BitBtn2{this, "BitBtn2", 98, 28, 79, 20, Sjis("背景色"), 3};
  TTransPanel Panel1{this, "Panel1", 188, 28, 61, 49};
  TBevel Bevel3{this, "Bevel3", 8, 50, 144, 2};
  TCheckBox CheckBox4{this, "CheckBox4", 8, 58, 65, 17, Sjis("行リンク"), 8};
  TButton BitBtn3{this, "BitBtn3", 88, 56, 40, 20, Sjis("文字色"), 9};
  TButton BitBtn4{this, "BitBtn4", 136, 56, 40, 20, Sjis("背景色"), 10};
  TBevel Bevel1{this, "Bevel1", 8, 80, 238, 2};
  TButton BitBtn5{this, "BitBtn5", 8, 86, 241, 18, Sjis("HTMLに独自のテキストを追加"), 14};
  TCheckBox CheckBox1{this, "CheckBox1", 8, 108, 113, 20, Sjis("日時を表示しない"), 0};
  TCheckBox CheckBox2{this, "CheckBox2", 8, 130, 137, 20, Sjis("商品コードを表示しない"), 1};
  TCheckBox CheckBox3{this, "CheckBox3", 8, 152, 121, 20, Sjis("レビューを表示する"), 6};
  TCheckBox CheckBox5{this, "CheckBox5", 8, 176, 138, 20, Sjis("再読込時にフェードイン"), 12};
  TBevel Bevel4{this, "Bevel4", 148, 110, 2, 88};
  TLabel Label3{this, "Label3", 152, 114, Sjis("表示件数")};
  TEdit Edit2{this, "Edit2", 216, 114, 33, 18, 5};
  TLabel Label5{this, "Label5", 152, 142, Sjis("品名文字数")};
  TEdit Edit4{this, "Edit4", 216, 142, 33, 18, 7};
  TLabel Label4{this, "Label4", 152, 170, Sjis("画像サイズ")};
  TEdit Edit3{this, "Edit3", 216, 170, 33, 18, 13};

 private:
  // Opens the picker on the colour text; the chosen colour, or nothing on cancel.
  std::optional<int32_t> Pick(const std::string& colorText);
  TForm3Host host_;
};

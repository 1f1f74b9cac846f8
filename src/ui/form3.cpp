#include "ui/form3.h"

#include "base/numtext.h"
#include "platform/colorpicker.h"
#include "publish/colortext.h"

TForm3::TForm3(TForm3Host host)
    : TForm("Form3", Sjis("出力項目設定"), 264, 228), PickColor(platform::PickColor), host_(std::move(host)) {
  Panel1.Setup().TabOrder = 11;
  Panel1.SetCaption(Sjis("イメージ"));
  BitBtn1.OnClick = [this](TObject* s) { BitBtn1Click(s); };
  BitBtn2.OnClick = [this](TObject* s) { BitBtn2Click(s); };
  BitBtn3.OnClick = [this](TObject* s) { BitBtn3Click(s); };
  BitBtn4.OnClick = [this](TObject* s) { BitBtn4Click(s); };
  BitBtn5.OnClick = [this](TObject* s) { BitBtn5Click(s); };
  CheckBox1.OnClick = [this](TObject* s) { CheckBox1Click(s); };
  CheckBox2.OnClick = [this](TObject* s) { CheckBox2Click(s); };
  CheckBox3.OnClick = [this](TObject* s) { CheckBox3Click(s); };
  CheckBox4.OnClick = [this](TObject* s) { CheckBox4Click(s); };
  CheckBox5.OnClick = [this](TObject* s) { CheckBox5Click(s); };
  Edit1.OnKeyPress = [this](TObject* s, char& k) { Edit1KeyPress(s, k); };
  Edit3.OnKeyPress = [this](TObject* s, char& k) { Edit3KeyPress(s, k); };
  Panel1.OnMouseMove = [this](TObject* s, int x, int y) { Panel1MouseMove(s, x, y); };
  Panel1.OnMouseLeave = [this](TObject* s, int x, int y) { Panel1MouseLeave(s, x, y); };
  OnClose = [this](TObject* s) { FormClose(s); };
  RunEventHandler([this] { FormCreate(); });
}

void TForm3::FormCreate() {
  const TSettings& s = host_.Settings;
  Panel1.SetFontColor(StringToColor(s.Font));
  Panel1.SetColor(StringToColor(s.Back));
  CheckBox1.SetChecked(!s.Date);
  CheckBox2.SetChecked(!s.Code);
  CheckBox3.SetChecked(s.Review);
  CheckBox4.SetChecked(s.LineLink);
  CheckBox5.SetChecked(s.FadeIn);
  Edit1.SetText(IntToStr(s.Table));
  Edit2.SetText(IntToStr(s.Count));
  Edit4.SetText(IntToStr(s.HinLen));
  Edit3.SetText(IntToStr(s.GazouSize));
}

std::optional<int32_t> TForm3::Pick(const std::string& colorText) {
  uint32_t initial = ColorToRGB(StringToColor(colorText));
  auto chosen = PickColor(initial);
  if (!chosen) return std::nullopt;
  return static_cast<int32_t>(*chosen & 0x00FFFFFF);
}

void TForm3::BitBtn1Click(TObject*) {
  if (auto c = Pick(host_.Settings.Font)) {
    Panel1.SetFontColor(*c);
    host_.Settings.Font = ColorToString(Panel1.FontColor());
  }
}

void TForm3::BitBtn2Click(TObject*) {
  if (auto c = Pick(host_.Settings.Back)) {
    Panel1.SetColor(*c);
    host_.Settings.Back = ColorToString(Panel1.Color());
  }
}

void TForm3::BitBtn3Click(TObject*) {
  if (auto c = Pick(host_.Settings.HoverFont)) host_.Settings.HoverFont = ColorToString(*c);
}

void TForm3::BitBtn4Click(TObject*) {
  if (auto c = Pick(host_.Settings.HoverBack)) host_.Settings.HoverBack = ColorToString(*c);
}

void TForm3::CheckBox1Click(TObject*) { host_.Settings.Date = !CheckBox1.Checked(); }
void TForm3::CheckBox2Click(TObject*) { host_.Settings.Code = !CheckBox2.Checked(); }
void TForm3::CheckBox3Click(TObject*) { host_.Settings.Review = CheckBox3.Checked(); }
void TForm3::CheckBox4Click(TObject*) { host_.Settings.LineLink = CheckBox4.Checked(); }
void TForm3::CheckBox5Click(TObject*) { host_.Settings.FadeIn = CheckBox5.Checked(); }

void TForm3::Edit1KeyPress(TObject*, char& Key) {
  if (Key != '\r') return;
  Key = 0;
  host_.Settings.Table = StrToInt(Edit1.Text());
}

void TForm3::Panel1MouseMove(TObject*, int, int) {
  if (!CheckBox4.Checked()) return;
  Panel1.SetColor(StringToColor(host_.Settings.HoverBack));
  Panel1.SetFontColor(StringToColor(host_.Settings.HoverFont));
}

void TForm3::Panel1MouseLeave(TObject*, int, int) {
  Panel1.SetColor(StringToColor(host_.Settings.Back));
  Panel1.SetFontColor(StringToColor(host_.Settings.Font));
}

void TForm3::BitBtn5Click(TObject*) {
  auto& form4 = host_.Form4;
  if (!form4) form4 = std::make_unique<TForm4>(host_.Settings, form4);
  form4->Memo1.SetText(host_.Settings.AddText);
  form4->ShowModal();
}

void TForm3::FormClose(TObject*) {
  TSettings& s = host_.Settings;
  s.Table = StrToInt(Edit1.Text());
  s.Count = StrToInt(Edit2.Text());
  s.HinLen = StrToInt(Edit4.Text());
  s.GazouSize = StrToInt(Edit3.Text());
  try {
    host_.RenderStatusPage();
  } catch (const std::exception&) {
    // The page is rendered again with the next order; the settings are still saved.
  }
  host_.SaveSettings();
}

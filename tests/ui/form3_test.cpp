// The output-items dialog, the additional-text window and the preview panel, headless.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/settings.h"
#include "dialog_support.h"
#include "platform/syscolor.h"
#include "publish/colortext.h"
#include "support/testing.h"
#include "ui/dialogs.h"

namespace fs = std::filesystem;
using dialog_test::ErrorLog;
using dialog_test::NotAnInteger;

namespace {

class Form3Test : public ::testing::Test {
 protected:
  ~Form3Test() override {
    form.reset();
    form4.reset();
    dialog_test::RunMessageLoopOnce();
  }
  TForm3& Open() {
    ShowOutputItemsDialog(form, TForm3Host{settings, form4,
                                           [this] {
                                             ++renders;
                                             if (renderFails) throw std::runtime_error("render");
                                           },
                                           [this] { SaveSettings(settings, iniPath()); }});
    form->PickColor = [this](uint32_t initial) {
      pickerInitial.push_back(initial);
      return picked;
    };
    return *form;
  }
  std::string iniPath() const { return dir.path() + "/Vendlume.ini"; }

  testing_support::ScopedTempDir dir;
  ErrorLog errors;
  TSettings settings;
  std::unique_ptr<TForm3> form;
  std::unique_ptr<TForm4> form4;
  int renders = 0;
  bool renderFails = false;
  std::optional<uint32_t> picked;
  std::vector<uint32_t> pickerInitial;
};

TEST_F(Form3Test, FillsTheBoxesAndThePreviewFromTheSettings) {
  settings.Font = "CLWHITE";
  settings.Back = "16711680";  // decimal: blue
  settings.Date = false;
  settings.Review = true;
  settings.Table = 0;
  settings.GazouSize = 64;
  TForm3& f = Open();
  EXPECT_EQ(f.Panel1.FontColor(), 0x00FFFFFF);
  EXPECT_EQ(f.Panel1.Color(), 0x00FF0000);
  EXPECT_EQ(f.Panel1.Caption(), Sjis("イメージ"));
  EXPECT_TRUE(f.CheckBox1.Checked());
  EXPECT_FALSE(f.CheckBox2.Checked());
  EXPECT_TRUE(f.CheckBox3.Checked());
  EXPECT_FALSE(f.CheckBox4.Checked());
  EXPECT_EQ(f.Edit1.Text(), "0");
  EXPECT_EQ(f.Edit2.Text(), "20");
  EXPECT_EQ(f.Edit4.Text(), "60");
  EXPECT_EQ(f.Edit3.Text(), "64");
  EXPECT_FALSE(settings.Date);  // written back unchanged
}

TEST_F(Form3Test, AStoredColourThatIsNoNumberStopsTheFillingButTheDialogShows) {
  settings.Back = "purple";
  settings.Review = true;
  TForm3& f = Open();
  EXPECT_EQ(errors.messages, std::vector<std::string>{NotAnInteger("purple")});
  EXPECT_TRUE(f.Visible());
  EXPECT_FALSE(f.CheckBox3.Checked());
  EXPECT_EQ(f.Edit1.Text(), "");
  f.BitBtn2.Click();  // stops before the picker opens
  EXPECT_TRUE(pickerInitial.empty());
}

TEST_F(Form3Test, TheColourButtonsStoreNamesOrDollarNumbersAndACancelChangesNothing) {
  struct Case {
    TButton TForm3::*button;
    std::string TSettings::*setting;
    std::optional<uint32_t> chosen;
    std::string stored;
    bool previewFont, previewBack;
  } cases[] = {
      {&TForm3::BitBtn1, &TSettings::Font, 0x00FFFFFF, "clWhite", true, false},
      {&TForm3::BitBtn1, &TSettings::Font, 0x00123456, "$00123456", true, false},
      {&TForm3::BitBtn2, &TSettings::Back, 0x00000080, "clMaroon", false, true},
      {&TForm3::BitBtn3, &TSettings::HoverFont, 0x00ABCDEF, "$00ABCDEF", false, false},
      {&TForm3::BitBtn4, &TSettings::HoverBack, 0x00FF0000, "clBlue", false, false},
      {&TForm3::BitBtn1, &TSettings::Font, std::nullopt, "$00FFFFFF", false, false},
      {&TForm3::BitBtn4, &TSettings::HoverBack, std::nullopt, "$00FFFFFF", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    settings = TSettings{};
    pickerInitial.clear();
    TForm3& f = Open();
    picked = c.chosen;
    int32_t font = f.Panel1.FontColor(), back = f.Panel1.Color();
    (f.*c.button).Click();
    EXPECT_EQ(settings.*c.setting, c.stored);
    ASSERT_EQ(pickerInitial.size(), 1u);
    EXPECT_EQ(pickerInitial[0], ColorToRGB(StringToColor(TSettings{}.*c.setting)));
    EXPECT_EQ(f.Panel1.FontColor(), c.previewFont ? static_cast<int32_t>(*c.chosen) : font);
    EXPECT_EQ(f.Panel1.Color(), c.previewBack ? static_cast<int32_t>(*c.chosen) : back);
    ASSERT_TRUE(f.Close());
    dialog_test::RunMessageLoopOnce();
  }
}

TEST_F(Form3Test, CheckBoxesWriteAtOnceTwoOfThemInverted) {
  TForm3& f = Open();
  f.CheckBox1.Click();
  EXPECT_FALSE(settings.Date);
  f.CheckBox1.Click();  // unchecking "日時を表示しない"
  EXPECT_TRUE(settings.Date);
  f.CheckBox2.Click();
  f.CheckBox3.Click();
  f.CheckBox4.Click();
  f.CheckBox5.Click();
  EXPECT_FALSE(settings.Code);
  EXPECT_TRUE(settings.Review);
  EXPECT_TRUE(settings.LineLink);
  EXPECT_TRUE(settings.FadeIn);
  EXPECT_EQ(renders, 0);
}

TEST_F(Form3Test, EnterInTheTableWidthAppliesItWithoutRendering) {
  TForm3& f = Open();
  f.Edit1.SetText("");
  f.Edit1.Type("700\r");
  EXPECT_EQ(f.Edit1.Text(), "700");
  EXPECT_EQ(settings.Table, 700);
  EXPECT_EQ(renders, 0);
  f.Edit1.Type("x\r");
  EXPECT_EQ(errors.messages, std::vector<std::string>{NotAnInteger("700x")});
  EXPECT_EQ(settings.Table, 700);
  f.Edit3.Type("\r9");  // every key goes through in the image size
  EXPECT_EQ(f.Edit3.Text(), "48\r9");
}

TEST_F(Form3Test, ClosingTakesTheNumbersInOrderThenRendersAndSaves) {
  TForm3& f = Open();
  f.Edit1.SetText("720");
  f.Edit2.SetText("");
  f.Edit4.SetText("30");
  EXPECT_FALSE(f.Close());
  EXPECT_EQ(errors.messages, std::vector<std::string>{NotAnInteger("")});
  EXPECT_EQ(settings.Table, 720);
  EXPECT_EQ(settings.HinLen, 60);
  EXPECT_EQ(renders, 0);
  EXPECT_FALSE(fs::exists(iniPath()));
  ASSERT_NE(form, nullptr);

  f.Edit2.SetText("5");
  renderFails = true;  // ignored: the close goes on
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(form, nullptr);
  EXPECT_EQ(renders, 1);
  TSettings read;
  LoadSettings(read, iniPath());
  EXPECT_EQ(read.Table, 720);
  EXPECT_EQ(read.Count, 5);
  EXPECT_EQ(read.HinLen, 30);
}

TEST_F(Form3Test, AFailedSaveKeepsTheDialogOpen) {
  TForm3& f = Open();
  fs::create_directory(iniPath());
  EXPECT_FALSE(f.Close());
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(errors.messages, std::vector<std::string>{iniPath() + Sjis(" に書き込めません")});
}

TEST_F(Form3Test, ThePreviewShowsTheHoverColoursOnlyWithRowLinksAndUntilTheMouseLeaves) {
  settings.HoverFont = "clRed";
  settings.HoverBack = "clYellow";
  TForm3& f = Open();
  const int32_t font = 0x00FFFFFF, back = 0;
  f.Panel1.MouseMove(5, 5);
  EXPECT_EQ(f.Panel1.Color(), back);
  f.CheckBox4.Click();
  settings.LineLink = false;  // the check box decides, not the setting
  f.Panel1.MouseMove(5, 5);
  EXPECT_EQ(f.Panel1.Color(), 0x0000FFFF);
  EXPECT_EQ(f.Panel1.FontColor(), 0x000000FF);
  f.Panel1.MouseLeave(30, 20);  // still inside (over a child): nothing
  EXPECT_EQ(f.Panel1.Color(), 0x0000FFFF);
  f.Panel1.MouseLeave(61, 20);
  EXPECT_EQ(f.Panel1.Color(), back);
  EXPECT_EQ(f.Panel1.FontColor(), font);
}

TEST_F(Form3Test, TheAdditionalTextWindowIsModalAndKeepsItsTextHoweverItCloses) {
  settings.AddText = "<b>sale</b>";
  form4 = std::make_unique<TForm4>(settings, form4);  // made hidden at start-up
  TForm3& f = Open();
  for (bool okButton : {false, true}) {
    SCOPED_TRACE(okButton);
    bool sawModal = false;
    TForm::ModalHook = [&](TForm& shown) {
      auto& w = static_cast<TForm4&>(shown);
      sawModal = w.Modal() && w.Visible();
      EXPECT_EQ(w.Memo1.Text(), settings.AddText);
      w.Memo1.SetText("line 1\r\nline=2");
      if (okButton)
        w.Button1.Click();
      else
        w.Close();  // the close box
    };
    f.BitBtn5.Click();
    TForm::ModalHook = nullptr;
    EXPECT_TRUE(sawModal);
    EXPECT_EQ(form4, nullptr);
    EXPECT_EQ(settings.AddText, "line 1\r\nline=2");
    dialog_test::RunMessageLoopOnce();
  }
  ASSERT_TRUE(f.Close());
  EXPECT_NE(testing_support::ReadAll(iniPath()).find("AddText=line 1<CRLF>line=2\r\n"), std::string::npos);
}

// Records what the panel paints.
struct RecordingSurface : platform::PaintSurface {
  platform::Rect client{0, 0, 61, 49};
  std::vector<std::string> ops;
  platform::Rect textRect;
  uint32_t textColor = 0, fill = 0;
  unsigned flags = 0;
  platform::Rect ClientRect() const override { return client; }
  void HorizontalLine(int x1, int x2, int y, uint32_t c) override {
    ops.push_back("h " + std::to_string(x1) + "-" + std::to_string(x2) + " @" + std::to_string(y) + " " + std::to_string(c));
  }
  void VerticalLine(int x, int y1, int y2, uint32_t c) override {
    ops.push_back("v " + std::to_string(y1) + "-" + std::to_string(y2) + " @" + std::to_string(x) + " " + std::to_string(c));
  }
  void FillRect(const platform::Rect& r, uint32_t c) override {
    fill = c;
    ops.push_back("fill " + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," + std::to_string(r.Bottom));
  }
  int TextHeight(const std::string&) override { return 12; }
  void DrawFormattedText(const platform::Rect& r, const std::string&, uint32_t c, unsigned f) override {
    textRect = r;
    textColor = c;
    flags = f;
  }
};

TEST(TransPanel, PaintsARaisedBevelTheBackgroundAndACentredCaptionWithSystemColoursResolved) {
  TForm owner("Owner", "", 100, 100);
  TTransPanel panel(&owner, "Panel1", 188, 28, 61, 49);
  panel.SetCaption("x");
  RecordingSurface s;
  panel.Paint(s);  // default background clBtnFace
  const auto light = std::to_string(platform::SystemColor(20)), dark = std::to_string(platform::SystemColor(16));
  EXPECT_EQ(s.ops, (std::vector<std::string>{"h 0-61 @0 " + light, "v 0-49 @0 " + light, "h 0-61 @48 " + dark,
                                             "v 0-49 @60 " + dark, "fill 1,1,60,48"}));
  EXPECT_EQ(s.fill, platform::SystemColor(15));
  EXPECT_EQ(s.textRect.Top, (1 + 48 - 12) / 2);
  EXPECT_EQ(s.textRect.Bottom, s.textRect.Top + 12);
  EXPECT_EQ(s.textRect.Left, 1);
  EXPECT_EQ(s.textRect.Right, 60);
  EXPECT_EQ(s.flags, 0x45u);

  panel.SetColor(0x00123456);
  panel.SetFontColor(static_cast<int32_t>(0x80000008));  // clWindowText
  panel.BevelOuter = TBevelCut::Lowered;
  panel.Alignment = TAlignment::Right;
  RecordingSurface t;
  panel.Paint(t);
  EXPECT_EQ(t.ops.front(), "h 0-61 @0 " + dark);
  EXPECT_EQ(t.fill, 0x00123456u);
  EXPECT_EQ(t.textColor, platform::SystemColor(8));
  EXPECT_EQ(t.flags, 0x46u);
}

}  // namespace

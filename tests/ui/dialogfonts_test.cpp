// The face the dialogs are drawn in when the desktop lacks theirs, and the one note the
// owner gets about it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/sjisliteral.h"
#include "ui/controls.h"

namespace {

// A desktop with these faces; it counts the questions and keeps the notes.
struct FakeDesktop {
  std::set<std::string> faces;
  std::vector<std::string> asked;
  std::vector<std::string> notes;
  TDialogFonts Fonts() {
    return TDialogFonts([this](const std::string& face) { asked.push_back(face); return faces.count(face) > 0; },
                        [this](const std::string& text) { notes.push_back(text); });
  }
};

TEST(DialogFonts, AMissingFaceGivesWayToAJapaneseUiFontWithOneNotePerRun) {
  const std::string face = kDialogFontFace;
  const std::string fixed = Sjis("ＭＳ ゴシック");
  struct Case {
    const char* what;
    std::set<std::string> faces;
    std::string used;
    std::string note;  // "" for none
  } cases[] = {
      {"installed", {face, "MS UI Gothic"}, face, ""},
      {"missing, the first fallback there", {"MS UI Gothic", "Meiryo UI"}, "MS UI Gothic",
       Sjis("設定画面のフォント「") + face + Sjis("」がないため、「MS UI Gothic」で表示します。")},
      {"missing, a later fallback there", {"Meiryo UI"}, "Meiryo UI",
       Sjis("設定画面のフォント「") + face + Sjis("」がないため、「Meiryo UI」で表示します。")},
      {"no Japanese UI font at all", {}, "MS UI Gothic",
       Sjis("設定画面のフォント「") + face + Sjis("」がないため、システムの日本語フォントで表示します。")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDesktop desktop{c.faces, {}, {}};
    TDialogFonts fonts = desktop.Fonts();
    EXPECT_EQ(fonts.FaceFor(face), c.used);
    size_t questions = desktop.asked.size();
    // Every further window asks again: decided once, no further question, no further note.
    EXPECT_EQ(fonts.FaceFor(face), c.used);
    EXPECT_EQ(desktop.asked.size(), questions);
    if (c.note.empty()) {
      EXPECT_TRUE(desktop.notes.empty());
      continue;
    }
    // Another missing face falls back as well, without a second note.
    EXPECT_EQ(fonts.FaceFor(fixed), c.used);
    EXPECT_EQ(desktop.notes, std::vector<std::string>{c.note});
  }
}

// The control layer asks through the program's choice when it makes the windows: several
// dialogs opened with the face missing leave one note.
TEST(DialogFonts, TheWindowsOfSeveralDialogsLeaveOneNote) {
  FakeDesktop desktop{{"Meiryo UI"}, {}, {}};
  TDialogFonts saved = DialogFonts();
  DialogFonts() = desktop.Fonts();
  {
    TForm first("First", "first", 200, 100);
    TEdit edit(&first, "Edit1", 8, 8, 100, 20, 0);
    first.Show();
    TForm second("Second", "second", 200, 100);
    TMemo memo(&second, "Memo1", 8, 8, 100, 50, 0);
    memo.Setup().FontFace = kDialogFontFace;
    memo.Setup().FontHeight = 15;
    second.Show();
  }
  DialogFonts() = saved;
  EXPECT_EQ(desktop.asked.front(), std::string(kDialogFontFace));
  EXPECT_EQ(desktop.notes.size(), 1u);
}

}  // namespace

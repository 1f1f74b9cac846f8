// Radio buttons of the control layer, headless: which buttons make one choice, and what a
// click or a programmatic change does to the others and to the handlers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"

namespace {

// Two group boxes; the first holds two choices (three buttons, then two), the second one.
struct Panel {
  TForm form{"Form", "radio", 300, 200};
  TGroupBox first{&form, "First", 0, 0, 300, 80, "first"};
  TRadioButton a1{&first, "a1", 0, 0, 40, 17, "a1", 0, true};
  TRadioButton a2{&first, "a2", 40, 0, 40, 17, "a2", 1};
  TEdit between{&first, "between", 0, 20, 40, 20, 2};
  TRadioButton a3{&first, "a3", 80, 0, 40, 17, "a3", 3};
  TRadioButton b1{&first, "b1", 0, 40, 40, 17, "b1", 4, true};
  TRadioButton b2{&first, "b2", 40, 40, 40, 17, "b2", 5};
  TGroupBox second{&form, "Second", 0, 100, 300, 80, "second"};
  TRadioButton c1{&second, "c1", 0, 0, 40, 17, "c1", 0, true};
  TRadioButton c2{&second, "c2", 40, 0, 40, 17, "c2", 1};
  std::vector<TRadioButton*> all{&a1, &a2, &a3, &b1, &b2, &c1, &c2};
  std::vector<std::string> clicked;  // OnClick of each change, by name

  Panel() {
    for (TRadioButton* r : all) r->OnClick = [this, r](TObject*) { clicked.push_back(r->Name); };
  }
  // The check marks of all buttons, as "1000100".
  std::string Marks() const {
    std::string marks;
    for (const TRadioButton* r : all) marks += r->Checked() ? '1' : '0';
    return marks;
  }
};

TEST(RadioButtons, CheckingOneClearsTheOthersOfItsChoiceOnly) {
  struct Step {
    const char* button;
    bool check;  // SetChecked(check); a click is SetChecked(true)
    std::string marks;
    std::vector<std::string> clicked;  // the handlers that ran, in order
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  } cases[] = {
      {"one per choice", {{"a2", true, "0100000", {"a2"}}, {"b1", true, "0101000", {"b1"}},
                          {"c2", true, "0101001", {"c2"}}}},
      {"the next in a choice clears the former first",
       {{"a1", true, "1000000", {"a1"}}, {"a3", true, "0010000", {"a1", "a3"}},
        {"a2", true, "0100000", {"a3", "a2"}}}},
      {"a control between buttons does not end the choice",
       {{"a3", true, "0010000", {"a3"}}, {"a1", true, "1000000", {"a3", "a1"}}}},
      {"the checked one again changes nothing", {{"b2", true, "0000100", {"b2"}}, {"b2", true, "0000100", {}}}},
      {"cleared by the program, none is checked",
       {{"c1", true, "0000010", {"c1"}}, {"c1", false, "0000000", {"c1"}}, {"c2", false, "0000000", {}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Panel p;
    for (const auto& step : c.steps) {
      SCOPED_TRACE(step.button);
      p.clicked.clear();
      for (TRadioButton* r : p.all)
        if (r->Name == step.button) r->SetChecked(step.check);
      EXPECT_EQ(p.Marks(), step.marks);
      EXPECT_EQ(p.clicked, step.clicked);
    }
  }
}

TEST(RadioButtons, AClickChoosesAndAHandlerSeesTheChoiceComplete) {
  Panel p;
  p.a1.Click();
  std::string seen;
  p.a2.OnClick = [&](TObject* sender) {
    EXPECT_EQ(sender, &p.a2);
    seen = p.Marks();
  };
  p.a2.Click();
  EXPECT_EQ(seen, "0100000");
  p.a2.Click();  // on the checked one: it stays checked
  EXPECT_TRUE(p.a2.Checked());
  EXPECT_EQ(p.a2.Setup().Kind, platform::ControlKind::RadioButton);
  EXPECT_TRUE(p.a1.Setup().GroupStart);
  EXPECT_FALSE(p.a2.Setup().GroupStart);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "ui/controls.h"

// Headless: a click checks a radio button, clears the rest of its choice, then runs handlers.
TEST(RadioButtons, CheckingOneClearsTheOthersOfItsChoiceOnlyAndHandlersSeeTheChoiceComplete) {
  // Steps: the button, clicked (else cleared by the program), the handlers run with the marks seen.
  const std::vector<std::vector<std::tuple<std::string, bool, std::vector<std::string>>>> cases = {
      {{"a2", true, {"a2 01000"}}, {"b1", true, {"b1 01010"}}, {"c1", true, {"c1 01011"}}},
      {{"a1", true, {"a1 10000"}}, {"a3", true, {"a1 00000", "a3 00100"}}},  // former cleared first; across the edit
      {{"b1", true, {"b1 00010"}}, {"b1", true, {}}},                        // the checked one again
      {{"c1", true, {"c1 00001"}}, {"c1", false, {"c1 00000"}}, {"c1", false, {}}},
  };
  for (const auto& steps : cases) {
    TForm form{"Form", "radio", 300, 200};
    TGroupBox first{&form, "First", 0, 0, 300, 80, "first"}, second{&form, "Second", 0, 100, 300, 80, "second"};
    TRadioButton a1{&first, "a1", 0, 0, 40, 17, "a1", 0, true}, a2{&first, "a2", 40, 0, 40, 17, "a2", 1};
    TEdit between{&first, "between", 0, 20, 40, 20, 2};
    TRadioButton a3{&first, "a3", 80, 0, 40, 17, "a3", 3}, b1{&first, "b1", 0, 40, 40, 17, "b1", 4, true};
    TRadioButton c1{&second, "c1", 0, 0, 40, 17, "c1", 0};
    TRadioButton* all[] = {&a1, &a2, &a3, &b1, &c1};
    std::vector<std::string> clicked;
    for (TRadioButton* r : all)
      r->OnClick = [&, r](TObject*) {
        clicked.push_back(r->Name + ' ');
        for (const TRadioButton* each : all) clicked.back() += each->Checked() ? '1' : '0';
      };
    for (const auto& [button, click, handlers] : steps) {
      SCOPED_TRACE(button);
      clicked.clear();
      for (TRadioButton* r : all)
        if (r->Name == button) click ? r->Click() : r->SetChecked(false);
      EXPECT_EQ(clicked, handlers);
    }
  }
}

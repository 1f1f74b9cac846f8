#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"

// Headless: a click checks a radio button and clears the rest of its choice (from a button that starts one to
// the next, whatever lies between), then runs the handlers, the cleared button's first.
TEST(RadioButtons, CheckingOneClearsTheOthersOfItsChoiceOnlyAndHandlersSeeTheChoiceComplete) {
  // A button clicked ("-c1": cleared by the program), then each handler run with the marks it saw.
  const std::vector<std::vector<std::string>> cases = {
      {"a2", "a2 01000", "b1", "b1 01010", "c1", "c1 01011"},
      {"a1", "a1 10000", "a3", "a1 00000", "a3 00100"},  // across the edit
      {"b1", "b1 00010", "b1"},                           // the checked one again
      {"c1", "c1 00001", "-c1", "c1 00000", "-c1"},
  };
  for (const auto& steps : cases) {
    TForm form{"Form", "radio", 300, 200};
    TGroupBox first{&form, "First", 0, 0, 300, 80, "first"}, second{&form, "Second", 0, 100, 300, 80, "second"};
    TRadioButton a1{&first, "a1", 0, 0, 40, 17, "a1", 0, true}, a2{&first, "a2", 40, 0, 40, 17, "a2", 1};
    TEdit between{&first, "between", 0, 20, 40, 20, 2};
    TRadioButton a3{&first, "a3", 80, 0, 40, 17, "a3", 3}, b1{&first, "b1", 0, 40, 40, 17, "b1", 4, true};
    TRadioButton c1{&second, "c1", 0, 0, 40, 17, "c1", 0};
    TRadioButton* all[] = {&a1, &a2, &a3, &b1, &c1};
    std::vector<std::string> log;
    for (TRadioButton* r : all)
      r->OnClick = [&, r](TObject*) {
        log.push_back(r->Name + ' ');
        for (const TRadioButton* each : all) log.back() += each->Checked() ? '1' : '0';
      };
    for (const std::string& step : steps)
      for (TRadioButton* r : all)
        if (step.find(' ') == std::string::npos && step.ends_with(r->Name)) {
          log.push_back(step);
          step[0] == '-' ? r->SetChecked(false) : r->Click();
        }
    EXPECT_EQ(log, steps);
  }
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/controls.h"

// Headless: a click checks a radio button and clears the rest of its choice (from a button that starts one to
// the next, whatever lies between), then runs the handlers, the cleared button's first.
TEST(RadioButtons, CheckingOneClearsTheOthersOfItsChoiceOnlyAndHandlersSeeTheChoiceComplete) {
  // A button clicked ("-b1": cleared by the program), then each handler run with the marks it saw.
  const std::vector<std::vector<std::string>> cases = {
      {"a2", "a2 0100", "b1", "b1 0101"},
      {"a1", "a1 1000", "a3", "a1 0000", "a3 0010"},       // across the edit
      {"b1", "b1 0001", "b1", "-b1", "b1 0000", "-b1"},  // the checked one again
  };
  for (const auto& steps : cases) {
    TForm form{"Form", "radio", 300, 200};
    TRadioButton a1{&form, "a1", 0, 0, 40, 17, "a1", 0, true}, a2{&form, "a2", 40, 0, 40, 17, "a2", 1};
    TEdit between{&form, "between", 0, 20, 40, 20, 2};
    TRadioButton a3{&form, "a3", 80, 0, 40, 17, "a3", 3}, b1{&form, "b1", 0, 40, 40, 17, "b1", 4, true};
    TRadioButton* all[] = {&a1, &a2, &a3, &b1};
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

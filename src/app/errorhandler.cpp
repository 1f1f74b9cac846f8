#include "app/errorhandler.h"

#include <algorithm>
#include <deque>

#include "base/errors.h"
#include "base/netexceptions.h"
#include "platform/application.h"

std::string ErrorMessageText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

namespace {

struct ErrorBoxes {
  TErrorBox box = platform::ShowErrorMessage;
  bool open = false;
  std::deque<std::string> waiting;
};

ErrorBoxes& Boxes() {
  static ErrorBoxes boxes;
  return boxes;
}

// A program that fails the same way over and over shows each text once while a box is open.
constexpr size_t kMaxWaitingBoxes = 8;

}  // namespace

void HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e) || dynamic_cast<const ENetSilentException*>(&e)) return;
  ErrorBoxes& boxes = Boxes();
  std::string text = ErrorMessageText(e.what());
  if (boxes.open) {
    if (boxes.waiting.size() < kMaxWaitingBoxes &&
        std::find(boxes.waiting.begin(), boxes.waiting.end(), text) == boxes.waiting.end())
      boxes.waiting.push_back(std::move(text));
    return;
  }
  boxes.open = true;
  boxes.waiting.push_back(std::move(text));
  while (!boxes.waiting.empty() && !platform::Terminated()) {
    std::string next = std::move(boxes.waiting.front());
    boxes.waiting.pop_front();
    boxes.box("Vendlume", next);
  }
  boxes.waiting.clear();
  boxes.open = false;
}

bool ErrorBoxOpen() { return Boxes().open; }

void SetErrorBox(TErrorBox box) { Boxes().box = box ? box : platform::ShowErrorMessage; }

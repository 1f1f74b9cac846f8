#include "base/largetext.h"

#include <algorithm>

#include "platform/memoryadvice.h"

namespace {

constexpr size_t kSmallText = size_t{1} << 20;

}  // namespace

void AdviseIfGrown(std::string& text, size_t oldCapacity) {
  // Only large storage gains from the hint, and the storage is fresh only when it moved.
  if (text.capacity() != oldCapacity && text.capacity() >= kLargeText)
    platform::AdviseLargeFill(text.data(), text.capacity());
}

void ReserveText(std::string& text, size_t capacity) {
  const size_t old = text.capacity();
  if (capacity <= old) return;
  text.reserve(capacity);
  AdviseIfGrown(text, old);
}

void MakeRoomInText(std::string& text, size_t more) {
  const size_t old = text.capacity();
  if (old - text.size() >= more) return;
  ReserveText(text, std::max(old * 2, text.size() + more));
}

void TrimText(std::string& text) {
  const size_t unused = text.capacity() - text.size();
  if (text.size() < kSmallText || unused > text.size()) text.shrink_to_fit();
}

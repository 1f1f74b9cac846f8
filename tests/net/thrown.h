// The exception of type E that f throws, or nothing (another type passes through).
#pragma once
#include <optional>

template <class E, class F>
std::optional<E> Thrown(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e;
  }
  return std::nullopt;
}

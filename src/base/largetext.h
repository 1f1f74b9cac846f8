// Strings that grow to many megabytes (a mail's body, the raw copy of a mail, a page): their
// storage moves only a few times while they fill, and storage of a large one is marked as
// about to be filled, so that the system can back it with large pages.
#pragma once
#include <cstddef>
#include <string>

// From this capacity on, storage gets the large-fill hint.
constexpr size_t kLargeText = size_t{4} << 20;

// After text's storage may have grown from oldCapacity: fresh large storage gets the hint.
void AdviseIfGrown(std::string& text, size_t oldCapacity);

// Storage for at least capacity bytes (never less than the text holds already).
void ReserveText(std::string& text, size_t capacity);
// Room for more further bytes: when less is left, the storage grows to at least twice its
// capacity, so that appending piece after piece stays linear.
void MakeRoomInText(std::string& text, size_t more);
// Gives back storage the text will not use: always for a small text; for a large one only
// when it uses less than half of it (storage reserved for a size that did not come), as
// untouched storage of a large block costs no memory and copying a large text costs time.
void TrimText(std::string& text);

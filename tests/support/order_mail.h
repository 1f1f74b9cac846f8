// A mall order mail as the server stores it: Shift-JIS text, one item.
#pragma once
#include <string>

namespace testing_support {

// An order placed at `orderedAt` ("YYYY-MM-DD hh:mm:ss") for one item `code`; the
// Message-ID carries the code and the hour, so two orders of the same item differ.
std::string OrderMail(const std::string& orderedAt, const std::string& code);

}  // namespace testing_support

// Parameters of MIME header values (RFC 2045 section 5.1): "text/plain; charset=UTF-8".
#pragma once
#include <optional>
#include <string>
#include <string_view>

// The value of a parameter ("name=value" after a ";" or a blank; the name in any case):
// up to the closing double quote when it starts with one, else up to a ";" or a blank.
std::optional<std::string> MimeParameter(std::string_view value, std::string_view name);

// Lines of text: mails, pages and the recent-orders file are handled line by line.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Splits text into lines at CR LF, lone CR or lone LF; a final line break adds no line.
std::vector<std::string> SplitLines(std::string_view text);

// The lines from index first on, each followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines, size_t first = 0);

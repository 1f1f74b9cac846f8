// Shift-JIS text made whole before it is taken apart into fields.
#pragma once
#include <string>

// Each lead byte (81 to 9F, E0 to FC) that is not followed by a trail byte (40 to 7E, 80 to
// FC) becomes "〓": a lone lead byte would take the byte after it, a comma or a line end,
// as its second half. Everything else stays as it is.
void ReplaceLoneLeadBytes(std::string& text);

// The text of an HTML mail body, for mails that send their order only as HTML.
#pragma once
#include <string>
#include <string_view>

// Shift-JIS HTML to the Shift-JIS text a reader sees, lines ending in CR LF:
// - "<br>", "</p>", "</div>", "</tr>" and "</li>" end a line; every tag is dropped, and so
//   are comments, "<!...>" and "<?...>" declarations, and the contents of "<style>",
//   "<script>" and "<title>" (the title is no line of the body);
// - a line break of the source is layout, not text: it is dropped with the blanks that
//   indent the next source line, except inside "<pre>", where it ends a line;
// - character references are decoded: "&#12354;", "&#x3042;" and the named ones Japanese
//   mails use ("&amp;", "&nbsp;" as a blank, "&yen;" …) through text/cp932.h, "〓" for a
//   character Shift-JIS lacks; an unknown or malformed reference stays as written;
// - a "<" that begins no tag (not followed by a letter, "/", "!" or "?") is text.
// Every byte that matters here is below 40 (hex), so no trail byte is taken for one.
std::string HtmlToText(std::string_view html);

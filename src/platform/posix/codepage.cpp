#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

// One conversion with iconv, replacing each unconvertible input unit by the replacement.
template <typename In, typename Out>
std::basic_string<Out> Convert(const char* to, const char* from, std::basic_string_view<In> in,
                               size_t unit, std::basic_string_view<Out> replacement) {
  std::basic_string<Out> out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
  size_t srcLeft = in.size() * sizeof(In);
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(reinterpret_cast<Out*>(buffer), (dst - buffer) / sizeof(Out));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // EILSEQ or EINVAL: skip one unit of input and put the replacement instead.
      out.append(replacement);
      size_t skip = srcLeft < unit ? srcLeft : unit;
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view sjis) {
  return Convert<char, char16_t>("UTF-16LE", "CP932", sjis, 1, u"?");
}

std::string Utf16ToCp932(std::u16string_view text) {
  return Convert<char16_t, char>("CP932", "UTF-16LE", text, 2, "?");
}

std::string Cp932ToUtf8(std::string_view sjis) {
  return Convert<char, char>("UTF-8", "CP932", sjis, 1, "?");
}

}  // namespace platform

// Transcode with the C library's iconv.
#include <iconv.h>

#include <cerrno>

#include "tests/transcode.h"

namespace mboxclean::testing {

std::optional<std::string> Transcode(std::string_view bytes, const char* from, const char* to) {
  const iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string result;
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  bool ok = true;
  char chunk[256];
  while (ok && in_left > 0) {
    char* out = chunk;
    std::size_t out_left = sizeof chunk;
    const std::size_t done = iconv(converter, &in, &in_left, &out, &out_left);
    result.append(chunk, out - chunk);
    // A full chunk is the only failure that more room cures; a character
    // converted only approximately counts as a failure too.
    if (done == static_cast<std::size_t>(-1) ? errno != E2BIG : done != 0) ok = false;
  }
  iconv_close(converter);
  if (!ok) return std::nullopt;
  return result;
}

}  // namespace mboxclean::testing

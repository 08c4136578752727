// Converts text between encodings with the C library's iconv, so that tests
// can check escaped byte literals against the texts they are meant to hold.
#ifndef MBOXCLEAN_TESTS_TRANSCODE_H_
#define MBOXCLEAN_TESTS_TRANSCODE_H_

#include <iconv.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

namespace mboxclean::testing {

// `bytes` converted from encoding `from` to encoding `to` (iconv names such
// as "UTF-8", "KOI8-R", "CP1251", "CP866", "ASCII"); nothing when a byte
// sequence is invalid in `from` or has no equivalent in `to`.
inline std::optional<std::string> Transcode(std::string_view bytes, const char* from,
                                            const char* to) {
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

inline std::optional<std::string> Encode(std::string_view utf8, const char* encoding) {
  return Transcode(utf8, "UTF-8", encoding);
}

inline std::optional<std::string> Decode(std::string_view bytes, const char* encoding) {
  return Transcode(bytes, encoding, "UTF-8");
}

}  // namespace mboxclean::testing

#endif  // MBOXCLEAN_TESTS_TRANSCODE_H_

// Converts text between encodings, so that tests can check escaped byte
// literals against the texts they are meant to hold. Each platform has its
// own converter (iconv on POSIX, the code page functions on Win32, tables
// of its own in a Linux build for another machine), so the same checks run
// in every build against an independent set of tables.
#ifndef MBOXCLEAN_TESTS_TRANSCODE_H_
#define MBOXCLEAN_TESTS_TRANSCODE_H_

#include <optional>
#include <string>
#include <string_view>

namespace mboxclean::testing {

// `bytes` converted from encoding `from` to encoding `to` ("UTF-8",
// "KOI8-R", "CP1251", "CP866", "ASCII"); nothing when a byte sequence is
// invalid in `from`, has no exact equivalent in `to`, or an encoding is
// unknown.
std::optional<std::string> Transcode(std::string_view bytes, const char* from, const char* to);

inline std::optional<std::string> Encode(std::string_view utf8, const char* encoding) {
  return Transcode(utf8, "UTF-8", encoding);
}

inline std::optional<std::string> Decode(std::string_view bytes, const char* encoding) {
  return Transcode(bytes, encoding, "UTF-8");
}

}  // namespace mboxclean::testing

#endif  // MBOXCLEAN_TESTS_TRANSCODE_H_

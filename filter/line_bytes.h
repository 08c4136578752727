// Byte-exact, case-sensitive tests on lines. A line may hold any byte,
// NUL included, so nothing here treats it as a C string.
#ifndef MBOXCLEAN_FILTER_LINE_BYTES_H_
#define MBOXCLEAN_FILTER_LINE_BYTES_H_

#include <cstring>
#include <string_view>

namespace mboxclean {

// The size test comes first, so that for a prefix of known size the
// comparison is a few loads, not a call.
inline bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.size() >= prefix.size() &&
         std::memcmp(line.data(), prefix.data(), prefix.size()) == 0;
}

inline bool Occurs(std::string_view line, std::string_view text) {
  return line.find(text) != std::string_view::npos;
}

// The line without its trailing bytes of value 0x20 or less (space, TAB,
// CR and every other control byte).
inline std::string_view TrimRight(std::string_view line) {
  std::size_t size = line.size();
  while (size > 0 && static_cast<unsigned char>(line[size - 1]) <= 0x20) --size;
  return line.substr(0, size);
}

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_LINE_BYTES_H_

// The footers that mailing-list services append to plain-text bodies: the
// first line of a sponsor block, a subscription notice or an advertising
// banner. A body line that is one ends the kept part of its message.
#ifndef MBOXCLEAN_FILTER_FOOTER_MARKERS_H_
#define MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace mboxclean {

// How a marker is looked for in a line. Every test compares bytes, case
// included.
enum class MarkerTest {
  kStartsWith,             // the line starts with the marker
  kStartsWithExactLength,  // the line starts with the marker and is no longer
  kOccurs,                 // the marker is anywhere in the line
};

// A marker is the bytes of its text in the encoding the list service used
// (ASCII, KOI8-R or CP1251); it is never converted, so a footer in another
// encoding is not recognised.
struct FooterMarker {
  std::string_view Bytes;
  MarkerTest Test;
};

// The markers in the order they are tested, as footer_markers.cc lists them
// with their readable texts.
std::span<const FooterMarker> FooterMarkers();

// Whether a normalised body line (trailing bytes of value 0x20 or less
// already trimmed) is a footer line: whether any marker's test holds.
bool IsFooterLine(std::string_view line);

namespace internal {
// For each first byte of a line, bit i set when kFooterMarkers[i] must
// stand at the start of a line and begins with that byte.
using Candidates = std::array<std::uint32_t, 256>;
extern const Candidates kFooterStartCandidates;
bool StartsWithFooterSlowly(std::string_view line);
}  // namespace internal

// The two halves of IsFooterLine, for a caller that tests many lines at
// once. Whether a normalised line starts with a marker that must stand at
// the start of a line; inline, as most lines begin with a byte no such
// marker begins with:
inline bool StartsWithFooter(std::string_view line) {
  return !line.empty() &&
         internal::kFooterStartCandidates[static_cast<unsigned char>(line.front())] != 0 &&
         internal::StartsWithFooterSlowly(line);
}
// Where, in `text` (bytes that lines lie in, such as a whole input buffer),
// the first occurrence of a marker that may stand anywhere in a line ends:
// the smallest offset just past such an occurrence, or npos when none
// occurs. Since no marker holds a line end, a line of `text` holds one only
// if it ends at or after that offset, or an earlier line holds one.
std::size_t EndOfFirstFooterAnywhere(std::string_view text);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

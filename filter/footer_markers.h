// The footers that mailing-list services append to plain-text bodies: the
// first line of a sponsor block, a subscription notice or an advertising
// banner. A body line that is one ends the kept part of its message.
#ifndef MBOXCLEAN_FILTER_FOOTER_MARKERS_H_
#define MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

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

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

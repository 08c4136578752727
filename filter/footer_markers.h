// The footers that mailing-list services append to plain-text bodies.
#ifndef MBOXCLEAN_FILTER_FOOTER_MARKERS_H_
#define MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

#include <string_view>

namespace mboxclean {

// Whether a normalised body line is the first line of a footer, which ends
// the kept part of the message.
bool IsFooterLine(std::string_view line);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FOOTER_MARKERS_H_

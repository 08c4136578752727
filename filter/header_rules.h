// What happens to a line of a message's header block.
#ifndef MBOXCLEAN_FILTER_HEADER_RULES_H_
#define MBOXCLEAN_FILTER_HEADER_RULES_H_

#include <optional>
#include <string_view>

#include "filter/filter_state.h"

namespace mboxclean {

// Decides a non-empty, normalised header-block line: nothing when it is
// dropped, otherwise the line to write (possibly shortened; a view into
// `line`). Reads and sets `state.Skipping`, and may set `state.PlainText`.
std::optional<std::string_view> ApplyHeaderRules(std::string_view line, FilterState& state);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_HEADER_RULES_H_

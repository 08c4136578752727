#include "filter/header_rules.h"

namespace mboxclean {

// No field is dropped or rewritten yet: every header line is written as it
// stands.
std::optional<std::string_view> ApplyHeaderRules(std::string_view line, FilterState& state) {
  state.Skipping = false;
  return line;
}

}  // namespace mboxclean

// What happens to a line of a message's header block: transport trace,
// extension and list-management fields are dropped with their continuation
// lines, a "- fido7." tag is cut from the subject, and the Content-Type
// field decides whether the body is looked at for footers.
#ifndef MBOXCLEAN_FILTER_HEADER_RULES_H_
#define MBOXCLEAN_FILTER_HEADER_RULES_H_

#include <array>
#include <optional>
#include <string_view>

#include "filter/filter_state.h"

namespace mboxclean {

// Decides a non-empty, normalised header-block line: nothing when it is
// dropped, otherwise the line to write (possibly shortened; a view into
// `line`). Reads and sets `state.Skipping`, and may set `state.PlainText`.
//
// The rules, in the order they are applied (all byte-exact, case-sensitive):
//   1. While Skipping, a line that begins with TAB or space continues the
//      dropped field and is dropped.
//   2. A line that starts with "X-" is dropped, unless it starts with
//      "X-Priority" or "X-Mailer" (so "X-Mailer-Version:" is kept too).
//   3. A line that starts with a prefix of the drop list is dropped.
//      A line dropped by 2 or 3 sets Skipping; any other line clears it.
//   4. A "Subject:" line loses the first "- fido7." in it, everything after
//      it and the byte just before it, but never its "Subject:".
//   5. A kept "Content-Type:" line sets PlainText to whether "text/plain"
//      occurs in it; its continuation lines change nothing.
inline std::optional<std::string_view> ApplyHeaderRules(std::string_view line, FilterState& state);

namespace internal {
// Whether a rule may apply to a line that begins with this byte: the first
// bytes of the prefixes above, and TAB and space for rule 1.
extern const std::array<bool, 256> kRuleFirstBytes;
std::optional<std::string_view> ApplyHeaderRulesSlowly(std::string_view line, FilterState& state);
}  // namespace internal

// Inline, as most fields begin with a byte that begins no rule: those are
// kept as they are and end any dropped field.
inline std::optional<std::string_view> ApplyHeaderRules(std::string_view line, FilterState& state) {
  if (!internal::kRuleFirstBytes[static_cast<unsigned char>(line.front())]) {
    state.Skipping = false;
    return line;
  }
  return internal::ApplyHeaderRulesSlowly(line, state);
}

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_HEADER_RULES_H_

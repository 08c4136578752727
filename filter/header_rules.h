// What happens to a line of a message's header block: transport trace,
// extension and list-management fields are dropped with their continuation
// lines, a "- fido7." tag is cut from the subject, and the Content-Type
// field decides whether the body is looked at for footers.
#ifndef MBOXCLEAN_FILTER_HEADER_RULES_H_
#define MBOXCLEAN_FILTER_HEADER_RULES_H_

#include <array>
#include <cstddef>
#include <string_view>

#include "filter/filter_state.h"

namespace mboxclean {

// What a dropped line keeps of itself.
inline constexpr std::size_t kDroppedLine = std::string_view::npos;

// Decides a non-empty, normalised header-block line: how many of its first
// bytes are written (all of them, or fewer for a subject that loses its
// tag), or kDroppedLine. Reads and sets `state.Skipping`, and may set
// `state.PlainText`.
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
inline std::size_t ApplyHeaderRules(std::string_view line, FilterState& state);

namespace internal {
// What the first byte of a line says of the rules that may apply to it.
enum class FirstByte : unsigned char {
  kNoRule,        // none: the line is kept whole and clears Skipping
  kContinuation,  // TAB or space: only rule 1
  kRule,          // the first byte of a prefix above
};
extern const std::array<FirstByte, 256> kFirstBytes;
std::size_t ApplyHeaderRulesSlowly(std::string_view line, FilterState& state);
}  // namespace internal

// Inline, as most fields begin with a byte that begins no rule, and many
// lines continue a field: those need nothing more than that byte.
inline std::size_t ApplyHeaderRules(std::string_view line, FilterState& state) {
  switch (internal::kFirstBytes[static_cast<unsigned char>(line.front())]) {
    case internal::FirstByte::kNoRule:
      state.Skipping = false;
      return line.size();
    case internal::FirstByte::kContinuation:
      return state.Skipping ? kDroppedLine : line.size();
    case internal::FirstByte::kRule:
      break;
  }
  return internal::ApplyHeaderRulesSlowly(line, state);
}

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_HEADER_RULES_H_

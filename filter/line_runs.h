// The bulk loop: the lines that lie whole in the input buffer, handled as
// runs rather than one at a time, with the very same result.
#ifndef MBOXCLEAN_FILTER_LINE_RUNS_H_
#define MBOXCLEAN_FILTER_LINE_RUNS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filter/filter_state.h"
#include "textio/text_stream.h"

namespace mboxclean {

// Where the first footer that may stand anywhere in a line ends, in the
// bytes of the input buffer from `base` on; searched again only when the
// buffer was refilled or the loop has gone past it. A line that ends at or
// after `end` may hold one, and is left to FilterLine.
struct FooterScan {
  std::uint64_t refills = ~std::uint64_t{0};
  const char* base = nullptr;
  std::size_t end = 0;

  void Update(const TextStream& input);
  bool MayHoldFooter(std::string_view line) const {
    return static_cast<std::size_t>(line.data() + line.size() - base) >= end;
  }
  // The same bound as an offset in `buffer`, the buffer `base` lies in: a
  // line may hold one if its LF lies at or after it.
  std::size_t BoundIn(const char* buffer) const {
    return static_cast<std::size_t>(base - buffer) + end;
  }
};

// Handles every line that lies whole in the input buffer (see
// line_runs.cc for which), exactly as FilterLine would after ReadLine,
// and returns when the next line is one for ReadLine.
void TakeBufferedLines(TextStream& input, TextStream& output, FilterState& state, FooterScan& scan);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_LINE_RUNS_H_

// The bulk loop: the lines that lie whole in the input buffer, handled as
// runs rather than one at a time, with the very same result.
#ifndef MBOXCLEAN_FILTER_LINE_RUNS_H_
#define MBOXCLEAN_FILTER_LINE_RUNS_H_

#include "filter/filter_state.h"
#include "textio/text_stream.h"

namespace mboxclean {

// Handles every line that lies whole in the input buffer (see
// line_runs.cc for how), exactly as FilterLine would after ReadLine, and
// returns when the next line is one for ReadLine.
void TakeBufferedLines(TextStream& input, TextStream& output, FilterState& state);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_LINE_RUNS_H_

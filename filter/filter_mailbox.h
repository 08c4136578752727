// The program's whole work: one pass over a mailbox.
#ifndef MBOXCLEAN_FILTER_FILTER_MAILBOX_H_
#define MBOXCLEAN_FILTER_FILTER_MAILBOX_H_

#include <cstddef>
#include <string_view>

#include "textio/text_stream.h"

namespace mboxclean {

// How the lines are taken. Both give the same bytes, console text, calls
// and status on every input: the bulk loop only skips work that provably
// changes nothing, and the tests compare the two.
enum class LineLoop {
  kBulk,        // whole runs of lines that pass unchanged or are dropped at once
  kLineByLine,  // every line through the state machine on its own
};

// Filters the mailbox at `input_path` into `output_path` (an empty path is
// the standard handle), showing a progress line per message and a summary
// line on ConsoleOut. Returns only after a complete run; any failure ends
// the process with its code. `buffer_blocks` sizes both streams' buffers.
void FilterMailbox(std::string_view input_path, std::string_view output_path,
                   std::size_t buffer_blocks = kDefaultBufferBlocks,
                   LineLoop loop = LineLoop::kBulk);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FILTER_MAILBOX_H_

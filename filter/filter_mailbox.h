// The program's whole work: one pass over a mailbox.
#ifndef MBOXCLEAN_FILTER_FILTER_MAILBOX_H_
#define MBOXCLEAN_FILTER_FILTER_MAILBOX_H_

#include <cstddef>
#include <string_view>

#include "textio/text_stream.h"

namespace mboxclean {

// Filters the mailbox at `input_path` into `output_path` (an empty path is
// the standard handle), showing a progress line per message and a summary
// line on ConsoleOut. Returns only after a complete run; any failure ends
// the process with its code. `buffer_blocks` sizes both streams' buffers.
void FilterMailbox(std::string_view input_path, std::string_view output_path,
                   std::size_t buffer_blocks = kDefaultBufferBlocks);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FILTER_MAILBOX_H_

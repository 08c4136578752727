// The program's run, shared by every platform's entry.
#ifndef MBOXCLEAN_APP_RUN_H_
#define MBOXCLEAN_APP_RUN_H_

#include <string_view>

#include "filter/filter_mailbox.h"

namespace mboxclean {

// Filters `input_path` into `output_path` (empty: the standard handle) and
// ends the process: status 0 after a complete run, the failure's code
// otherwise. The tests choose the line loop; the program takes the bulk one.
[[noreturn]] void RunMailboxClean(std::string_view input_path, std::string_view output_path,
                                  LineLoop loop = LineLoop::kBulk);

}  // namespace mboxclean

#endif  // MBOXCLEAN_APP_RUN_H_

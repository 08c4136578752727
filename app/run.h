// The program's run, shared by every platform's entry.
#ifndef MBOXCLEAN_APP_RUN_H_
#define MBOXCLEAN_APP_RUN_H_

#include <string_view>

namespace mboxclean {

// Filters `input_path` into `output_path` (empty: the standard handle) and
// ends the process: status 0 after a complete run, the failure's code
// otherwise.
[[noreturn]] void RunMailboxClean(std::string_view input_path, std::string_view output_path);

}  // namespace mboxclean

#endif  // MBOXCLEAN_APP_RUN_H_

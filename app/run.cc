#include "app/run.h"

#include "filter/filter_mailbox.h"
#include "textio/failure_exit.h"
#include "textio/platform.h"
#include "textio/text_stream.h"

namespace mboxclean {

void RunMailboxClean(std::string_view input_path, std::string_view output_path,
                     LineLoop loop) {
  FilterMailbox(input_path, output_path, kDefaultBufferBlocks, loop);
  // The console's last bytes, the summary among them, would otherwise never
  // reach a redirected standard output or error.
  ConsoleOut().Flush();
  CheckIo();
  EndProcess(0);
}

}  // namespace mboxclean

// The program's whole work: the two streams opened, every line read and
// handed to the state machine (filter_line.cc), directly or through the bulk
// loop (line_runs.cc), the streams closed, and the summary shown.
//
// Every stream operation and write statement is followed by CheckIo, so a
// failure ends the process at that point and the output holds only what was
// already handed to the platform.
#include "filter/filter_mailbox.h"

#include <cstdint>
#include <new>
#include <stdexcept>

#include "filter/console_texts.h"
#include "filter/filter_line.h"
#include "filter/filter_state.h"
#include "filter/line_runs.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"

namespace mboxclean {
namespace {

void ShowSummary(std::int64_t message_count) {
  TextStream& console = ConsoleOut();
  console.WriteText(kSummaryPrefix, kSummaryPrefixUtf8);
  console.WriteInt(message_count);
  console.WriteText(kSummarySuffix, kSummarySuffixUtf8);
  console.WriteLineEnd();
  CheckIo();
}

void RunFilter(std::string_view input_path, std::string_view output_path, std::size_t buffer_blocks,
               LineLoop loop) {
  TextStream input(buffer_blocks);
  TextStream output(buffer_blocks);
  input.Assign(input_path);
  input.OpenForInput();
  CheckIo();
  output.Assign(output_path);
  output.OpenForOutput();
  CheckIo();

  FilterState state;
  for (;;) {
    if (loop == LineLoop::kBulk) TakeBufferedLines(input, output, state);
    const bool at_end = input.AtEnd();
    CheckIo();
    if (at_end) break;
    const std::string_view line = input.ReadLine();
    CheckIo();
    FilterLine(line, state, output);
  }
  // Held-back empty lines and a held-back "-- " of the last message are
  // simply not written.

  output.Close();
  CheckIo();
  input.Close();
  CheckIo();
  ShowSummary(state.MessageCount);
}

}  // namespace

void FilterMailbox(std::string_view input_path, std::string_view output_path,
                   std::size_t buffer_blocks, LineLoop loop) {
  try {
    RunFilter(input_path, output_path, buffer_blocks, loop);
  } catch (const std::bad_alloc&) {
    FailureExit(error_code::kOutOfMemory);
  } catch (const std::length_error&) {
    FailureExit(error_code::kOutOfMemory);
  }
}

}  // namespace mboxclean

// The message filter: one pass, one line at a time, a few flags.
//
// A mailbox is a run of messages, each beginning with a line that starts
// with "From ". A message is a header block, the empty lines that end it,
// and a body. For each line the filter decides from FilterState whether the
// line is written, dropped, or held back until a later line shows whether
// it is wanted:
//
//   "From " line   always starts a new message: InHeader on, Skipping off,
//                  PlainText on, SignaturePending off. If empty lines were
//                  held back, two empty lines are written before it.
//   empty line     is only counted (PendingBlankLines). In a header block
//                  the count ends the block at the next non-empty line,
//                  which gets one empty line before it whatever the count;
//                  in a body all counted lines are written before the next
//                  text line, and dropped if none comes before the message
//                  ends.
//   header line    goes through the header rules, which drop it (Skipping
//                  then drops its continuation lines too) or write it.
//   body line      is dropped while Skipping; a footer line of a plain-text
//                  message sets Skipping, dropping the rest of the message;
//                  "-- " alone is held back (SignaturePending) until a text
//                  line follows, so a signature separator with nothing
//                  after it never reaches the output.
//
// Lines before the first "From " line belong to no message: they are body
// lines with footer detection off, written with the same empty-line and
// "-- " rules.
//
// Every write statement and stream operation is followed by CheckIo, so a
// failure ends the process at that point and the output holds only what was
// already handed to the platform.
//
// The bulk loop. Every line that lies whole in the input buffer, with no
// CR and no 0x1A in it, is the very line ReadLine would return, and no
// read can fall between two such lines; so these lines are taken from the
// buffer without AtEnd and ReadLine, and go through FilterLine as before.
// Only where the state says that plain body lines are being written
// (body, not Skipping, no "-- " held, not a terminal) does the loop skip
// the state machine, for the commonest run of all: lines that FilterLine
// would write unchanged (not empty, last byte above 0x20, so nothing to
// trim and not "-- " alone; no "From " start; in a plain-text message, no
// footer), with the exactly empty lines between them, whose LFs are the
// empty lines FilterLine would write before the next text line. Such a run
// is copied to the output as one piece, through the buffer, so that its
// bytes leave in the same transfers as line by line; empty lines after the
// last text line of a run are only counted. The first line it refuses goes
// through FilterLine. Lines that do not lie whole in the buffer, or hold a
// CR or 0x1A, are read and handled one at a time, as ever.

#include "filter/filter_mailbox.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "filter/console_texts.h"
#include "filter/filter_state.h"
#include "filter/footer_markers.h"
#include "filter/header_rules.h"
#include "filter/line_bytes.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"

namespace mboxclean {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kMessageSeparator = "From "sv;
constexpr std::string_view kSignatureSeparator = "-- "sv;

using Taken = TextStream::Taken;

void WriteLine(TextStream& output, std::string_view line) {
  output.WriteText(line);
  output.WriteChar('\n');
  output.EndStatement();
  CheckIo();
}

void WriteEmptyLines(TextStream& output, std::uint64_t count) {
  for (; count > 0; --count) {
    output.WriteChar('\n');
    output.EndStatement();
    CheckIo();
  }
}

void ShowProgress(std::int64_t message_count) {
  TextStream& console = ConsoleOut();
  console.WriteText(kProgressText);
  console.WriteInt(message_count);
  console.WriteChar('\r');
  console.EndStatement();
  CheckIo();
}

void ShowSummary(std::int64_t message_count) {
  TextStream& console = ConsoleOut();
  console.WriteText(kSummaryPrefix);
  console.WriteInt(message_count);
  console.WriteText(kSummarySuffix);
  console.WriteLineEnd();
  CheckIo();
}

void StartMessage(std::string_view line, FilterState& state, TextStream& output) {
  ++state.MessageCount;
  ShowProgress(state.MessageCount);
  if (state.PendingBlankLines != 0) {
    output.WriteText("\n\n"sv);
    output.EndStatement();
    CheckIo();
  }
  WriteLine(output, line);
  state.InHeader = true;
  state.Skipping = false;
  state.PlainText = true;
  state.SignaturePending = false;
  state.PendingBlankLines = 0;
}

void FilterBodyLine(std::string_view line, FilterState& state, TextStream& output) {
  if (state.Skipping) return;
  if (state.PlainText && IsFooterLine(line)) {
    state.Skipping = true;
    return;
  }
  if (line == kSignatureSeparator) {
    state.SignaturePending = true;
    return;
  }
  WriteEmptyLines(output, state.PendingBlankLines);
  state.PendingBlankLines = 0;
  if (state.SignaturePending) {
    WriteLine(output, kSignatureSeparator);
    state.SignaturePending = false;
  }
  WriteLine(output, line);
}

void FilterLine(std::string_view line, FilterState& state, TextStream& output) {
  // A signature separator keeps its trailing bytes, so "-- " stays "-- ".
  if (!StartsWith(line, kSignatureSeparator)) line = TrimRight(line);
  if (StartsWith(line, kMessageSeparator)) {
    StartMessage(line, state, output);
    return;
  }
  if (line.empty()) {
    ++state.PendingBlankLines;
    return;
  }
  if (state.InHeader && state.PendingBlankLines != 0) {
    state.PendingBlankLines = 0;
    state.InHeader = false;
    state.Skipping = false;
    WriteEmptyLines(output, 1);
  }
  if (state.InHeader) {
    if (const auto kept = ApplyHeaderRules(line, state)) WriteLine(output, *kept);
    return;
  }
  FilterBodyLine(line, state, output);
}

// Where the first footer that may stand anywhere in a line ends, in the
// bytes of the input buffer from `base` on; searched again only when the
// buffer was refilled or the loop has gone past it. A line that ends at or
// after `end` may hold one, and is left to FilterLine.
struct FooterScan {
  std::uint64_t refills = ~std::uint64_t{0};
  const char* base = nullptr;
  std::size_t end = 0;

  void Update(TextStream& input) {
    const std::string_view bytes = input.BufferedBytes();
    if (refills == input.Refills() && bytes.data() >= base &&
        static_cast<std::size_t>(bytes.data() - base) < end) {
      return;
    }
    refills = input.Refills();
    base = bytes.data();
    // With none found, the lines past the bytes searched are left to
    // FilterLine until the next search.
    end = std::min(EndOfFirstFooterAnywhere(bytes), bytes.size() + 1);
  }
  bool MayHoldFooter(std::string_view line) const {
    return static_cast<std::size_t>(line.data() + line.size() - base) >= end;
  }
};

// Whether the next lines may go as a written run.
bool WritesRuns(const FilterState& state, const TextStream& output) {
  return !state.InHeader && !state.Skipping && !state.SignaturePending &&
         !output.WritesEachStatement();
}

bool EndsAboveSpace(std::string_view line) {
  return !line.empty() && static_cast<unsigned char>(line.back()) > 0x20;
}

void TakeWrittenRun(TextStream& input, TextStream& output, FilterState& state,
                    FooterScan& scan) {
  if (state.PlainText) scan.Update(input);
  const char* written_end = nullptr;
  std::uint64_t trailing_blanks = 0;
  const std::string_view run = input.TakeLines([&](std::string_view line) {
    if (line.empty()) {
      ++trailing_blanks;
      return Taken::kYes;
    }
    if (!EndsAboveSpace(line) || StartsWith(line, kMessageSeparator)) return Taken::kNo;
    if (state.PlainText && (scan.MayHoldFooter(line) || StartsWithFooter(line))) {
      return Taken::kNo;
    }
    written_end = line.data() + line.size() + 1;
    trailing_blanks = 0;
    return Taken::kYes;
  });
  if (written_end == nullptr) {
    state.PendingBlankLines += trailing_blanks;
    return;
  }
  WriteEmptyLines(output, state.PendingBlankLines);
  output.WriteLines(run.substr(0, static_cast<std::size_t>(written_end - run.data())));
  CheckIo();
  state.PendingBlankLines = trailing_blanks;
}

// Handles the lines that lie whole in the input buffer: written runs where
// the state allows them, every other line through FilterLine, just as the
// line-by-line loop would after ReadLine, since no read can fall between.
void TakeRuns(TextStream& input, TextStream& output, FilterState& state, FooterScan& scan) {
  for (;;) {
    if (WritesRuns(state, output)) TakeWrittenRun(input, output, state, scan);
    const std::string_view taken = input.TakeLines([&](std::string_view line) {
      FilterLine(line, state, output);
      return WritesRuns(state, output) ? Taken::kYesAndStop : Taken::kYes;
    });
    if (taken.empty()) return;
  }
}

void RunFilter(std::string_view input_path, std::string_view output_path,
               std::size_t buffer_blocks, LineLoop loop) {
  TextStream input(buffer_blocks);
  TextStream output(buffer_blocks);
  input.Assign(input_path);
  input.OpenForInput();
  CheckIo();
  output.Assign(output_path);
  output.OpenForOutput();
  CheckIo();

  FilterState state;
  FooterScan scan;
  for (;;) {
    if (loop == LineLoop::kBulk) TakeRuns(input, output, state, scan);
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

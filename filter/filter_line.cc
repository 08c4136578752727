// The message filter's state machine: one line at a time, a few flags.
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
// Every write statement is followed by CheckIo, so a failure ends the
// process at that point and the output holds only what was already handed
// to the platform.
#include "filter/filter_line.h"

#include "filter/console_texts.h"
#include "filter/footer_markers.h"
#include "filter/header_rules.h"
#include "filter/line_bytes.h"
#include "textio/failure_exit.h"

namespace mboxclean {

using namespace std::string_view_literals;

void WriteEmptyLines(TextStream& output, std::uint64_t count) {
  for (; count > 0; --count) {
    output.WriteChar('\n');
    output.EndStatement();
    CheckIo();
  }
}

namespace {

void WriteLine(TextStream& output, std::string_view line) {
  output.WriteText(line);
  output.WriteChar('\n');
  output.EndStatement();
  CheckIo();
}

void ShowProgress(std::int64_t message_count) {
  TextStream& console = ConsoleOut();
  console.WriteText(kProgressText, kProgressTextUtf8);
  console.WriteInt(message_count);
  console.WriteChar('\r');
  console.EndStatement();
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

}  // namespace

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
    const std::size_t kept = ApplyHeaderRules(line, state);
    if (kept != kDroppedLine) WriteLine(output, line.substr(0, kept));
    return;
  }
  FilterBodyLine(line, state, output);
}

}  // namespace mboxclean

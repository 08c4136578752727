// The bulk loop. Every line that lies whole in the input buffer, with no
// CR in it but one just before its LF, and not beginning with 0x1A, is the
// very line ReadLine would return, and no read can fall between two such lines; so
// these lines are taken from the buffer without AtEnd and ReadLine. Where
// the output is not a terminal, two kinds of run skip the state machine's
// dispatch, doing for each line what FilterLine would do in that state:
//
//   header run   the lines of a header block, up to an empty line, a line
//                with bytes to trim or a "From " line: each goes through
//                the header rules;
//   body run     the lines of a body that is being written (not Skipping,
//                no "-- " held), up to a "From " line, a footer of a
//                plain-text message, or a line that starts with "-- " and
//                has bytes to trim ("-- " alone among them).
//
// A stretch of lines that leave exactly as they came (ended by LF alone,
// nothing to trim), with the exactly empty lines among them, is copied to
// the output in one piece, through the buffer, so that its bytes leave in
// the same transfers as line by line; other lines are written as
// FilterLine writes them. Every line a run refuses goes through
// FilterLine, and so does every line in any other state; lines that do not
// lie whole in the buffer, hold a lone CR or begin with 0x1A are read and
// handled one at a time, as ever.

#include "filter/line_runs.h"

#include <algorithm>
#include <optional>

#include "filter/filter_line.h"
#include "filter/footer_markers.h"
#include "filter/header_rules.h"
#include "filter/line_bytes.h"
#include "textio/failure_exit.h"

namespace mboxclean {

void FooterScan::Update(const TextStream& input) {
  const std::string_view bytes = input.BufferedBytes();
  if (refills == input.Refills() && bytes.data() >= base &&
      static_cast<std::size_t>(bytes.data() - base) < end) {
    return;
  }
  refills = input.Refills();
  base = bytes.data();
  // With none found, no line of the buffer ends at or after `end`.
  end = std::min(EndOfFirstFooterAnywhere(bytes), bytes.size() + 1);
}

namespace {

using Taken = TextStream::Taken;

// Whether the lines from here on may be taken as a written run: the header
// lines of a message, or plain body lines being written; not for a
// terminal, which wants each line as a statement of its own.
bool WritesRuns(const FilterState& state, const TextStream& output) {
  if (output.WritesEachStatement()) return false;
  if (state.InHeader) return state.PendingBlankLines == 0;
  return !state.Skipping && !state.SignaturePending;
}

// The output of a written run. The lines taken are followed, piece by
// piece, by what FilterLine would write for them: a piece is a stretch of
// lines that leave exactly as they came, with the exactly empty lines
// among them, and is copied in one go; the empty lines after a piece's
// last text line are held, as PendingBlankLines, for the next text line.
class RunWriter {
 public:
  RunWriter(TextStream& output, FilterState& state) : output_(output), state_(state) {}
  RunWriter(const RunWriter&) = delete;
  RunWriter& operator=(const RunWriter&) = delete;

  // Every line taken is first handed here.
  void Begin(std::string_view line) {
    if (piece_ == nullptr) piece_ = line.data();
  }
  // An exactly empty line.
  void Empty() { ++trailing_blanks_; }
  // A line that leaves as it came.
  void Unchanged(std::string_view line) {
    written_end_ = line.data() + line.size() + 1;
    trailing_blanks_ = 0;
  }
  // A line that is dropped.
  void Dropped() { Flush(); }
  // A line that trims to nothing: an empty line.
  void Blank() {
    Flush();
    ++state_.PendingBlankLines;
  }
  // A line that leaves as `text`.
  void Replaced(std::string_view text) {
    Flush();
    WriteEmptyLines(output_, state_.PendingBlankLines);
    state_.PendingBlankLines = 0;
    output_.WriteText(text);
    output_.WriteChar('\n');
    CheckIo();
  }
  // Writes what is left of the run's output; held empty lines stay held.
  void Finish() { Flush(); }

 private:
  void Flush() {
    if (written_end_ != nullptr) {
      WriteEmptyLines(output_, state_.PendingBlankLines);
      output_.WriteLines({piece_, static_cast<std::size_t>(written_end_ - piece_)});
      CheckIo();
      state_.PendingBlankLines = 0;
    }
    state_.PendingBlankLines += trailing_blanks_;
    piece_ = written_end_ = nullptr;
    trailing_blanks_ = 0;
  }

  TextStream& output_;
  FilterState& state_;
  const char* piece_ = nullptr;        // the first line not yet written or held
  const char* written_end_ = nullptr;  // the end of the piece's last text line
  std::uint64_t trailing_blanks_ = 0;  // exactly empty lines after it
};

bool EndsAboveSpace(std::string_view line) {
  return !line.empty() && static_cast<unsigned char>(line.back()) > 0x20;
}

// Whether a normalised, non-empty body line is one that FilterLine would
// write as it is: no separator, no footer of a plain-text message.
bool PlainBodyText(std::string_view text, const FilterState& state, const FooterScan& scan) {
  if (StartsWith(text, kMessageSeparator)) return false;
  return !state.PlainText || (!scan.MayHoldFooter(text) && !StartsWithFooter(text));
}

// Header lines, until one that is empty, needs trimming or starts a
// message: each goes through the header rules as in FilterLine.
void TakeHeaderRun(TextStream& input, TextStream& output, FilterState& state) {
  RunWriter run(output, state);
  input.TakeLines([&](std::string_view line, bool crlf) {
    if (!EndsAboveSpace(line) || StartsWith(line, kMessageSeparator)) return Taken::kNo;
    run.Begin(line);
    const std::optional<std::string_view> kept = ApplyHeaderRules(line, state);
    if (!kept) {
      run.Dropped();
    } else if (kept->size() == line.size() && !crlf) {
      run.Unchanged(line);
    } else {
      run.Replaced(*kept);
    }
    return Taken::kYes;
  });
  run.Finish();
}

// Body lines of a message that is not being skipped, until a separator, a
// footer, or a line that starts with "-- " and has bytes to trim (the
// signature separator among them), which FilterLine must see.
void TakeBodyRun(TextStream& input, TextStream& output, FilterState& state, FooterScan& scan) {
  if (state.PlainText) scan.Update(input);
  RunWriter run(output, state);
  input.TakeLines([&](std::string_view line, bool crlf) {
    // The common case first: a line that leaves as it came.
    if (EndsAboveSpace(line) && !crlf) {
      if (!PlainBodyText(line, state, scan)) return Taken::kNo;
      run.Begin(line);
      run.Unchanged(line);
      return Taken::kYes;
    }
    if (line.empty() && !crlf) {
      run.Begin(line);
      run.Empty();
      return Taken::kYes;
    }
    // A line that starts with "-- " keeps its trailing bytes.
    const bool trims = !EndsAboveSpace(line);
    if (trims && StartsWith(line, kSignatureSeparator)) return Taken::kNo;
    const std::string_view text = trims ? TrimRight(line) : line;
    if (!text.empty() && !PlainBodyText(text, state, scan)) return Taken::kNo;
    run.Begin(line);
    if (text.empty()) {
      run.Blank();
    } else {
      run.Replaced(text);
    }
    return Taken::kYes;
  });
  run.Finish();
}

}  // namespace

// Written runs where the state allows them, every other line through
// FilterLine, just as the line-by-line loop would after ReadLine, since no
// read can fall between.
void TakeBufferedLines(TextStream& input, TextStream& output, FilterState& state,
                       FooterScan& scan) {
  for (;;) {
    if (WritesRuns(state, output)) {
      if (state.InHeader) {
        TakeHeaderRun(input, output, state);
      } else {
        TakeBodyRun(input, output, state, scan);
      }
    }
    const std::string_view taken = input.TakeLines([&](std::string_view line, bool) {
      FilterLine(line, state, output);
      return WritesRuns(state, output) ? Taken::kYesAndStop : Taken::kYes;
    });
    if (taken.empty()) return;
  }
}

}  // namespace mboxclean

// The bulk loop. Every line that lies whole in the input buffer, with no
// CR in it but one just before its LF, and not beginning with 0x1A, is the
// very line ReadLine would return (less that CR), and no read can fall
// between two such lines; so these lines are taken from the buffer without
// AtEnd and ReadLine. Where the output is not a terminal, two walks skip
// the state machine's dispatch, doing for each line what FilterLine would
// do in that state:
//
//   header walk  the lines of a header block, up to an empty line, a line
//                with bytes to trim or a "From " line: each goes through
//                the header rules;
//   body walk    the lines of a body that is being written (not Skipping,
//                no "-- " held), up to a "From " line, a footer of a
//                plain-text message, or a line that starts with "-- " and
//                has bytes to trim ("-- " alone among them).
//
// Each walks the buffer's LF index itself, with its state in registers, so
// that the common body line costs a few byte tests and neither a call nor
// a store. A stretch of lines that leave exactly as they came (ended by LF
// alone, nothing to trim), with the exactly empty lines among them, is
// copied to the output in one piece, through the buffer, so that its bytes
// leave in the same transfers as line by line; other lines are written as
// FilterLine writes them. Every line a walk refuses goes through
// FilterLine, and so does every line in any other state; lines that do not
// lie whole in the buffer, hold a lone CR or begin with 0x1A are read and
// handled one at a time, as ever.

#include "filter/line_runs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

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
// Lines are known by the offset of their LF in the buffer at `base`.
class RunWriter {
 public:
  RunWriter(TextStream& output, FilterState& state, const char* base, std::size_t begin)
      : output_(output), state_(state), base_(base), piece_(begin) {}
  RunWriter(const RunWriter&) = delete;
  RunWriter& operator=(const RunWriter&) = delete;

  // The line ending at `lf` leaves as it came, or is exactly empty
  // (`empty`): either way it joins the piece. A select, not a branch, as
  // empty lines fall among text lines at random.
  void Kept(std::size_t lf, bool empty) { written_end_ = empty ? written_end_ : lf + 1; }
  // The line from `at` to the LF at `lf` is dropped.
  void Dropped(std::size_t at, std::size_t lf) { Flush(at, lf + 1); }
  // The line from `at` to the LF at `lf` trims to nothing: an empty line.
  void Blank(std::size_t at, std::size_t lf) {
    Flush(at, lf + 1);
    ++state_.PendingBlankLines;
  }
  // The line from `at` to the LF at `lf` leaves as `text`.
  void Replaced(std::string_view text, std::size_t at, std::size_t lf) {
    Flush(at, lf + 1);
    if (state_.PendingBlankLines != 0) WriteEmptyLines(output_, state_.PendingBlankLines);
    state_.PendingBlankLines = 0;
    output_.WriteText(text);
    output_.WriteChar('\n');
    CheckIo();
  }
  // Writes the output of the lines before `at`; held empty lines stay held.
  void Finish(std::size_t at) { Flush(at, at); }

 private:
  // Writes the piece, which ends at `at`, and holds its trailing empty
  // lines: the bytes after its last text line, as each is a lone LF. The
  // next piece starts at `next`.
  void Flush(std::size_t at, std::size_t next) {
    if (written_end_ != 0) {
      if (state_.PendingBlankLines != 0) WriteEmptyLines(output_, state_.PendingBlankLines);
      output_.WriteLines({base_ + piece_, written_end_ - piece_});
      CheckIo();
      state_.PendingBlankLines = 0;
    }
    state_.PendingBlankLines += at - std::max(piece_, written_end_);
    piece_ = next;
    written_end_ = 0;
  }

  TextStream& output_;
  FilterState& state_;
  const char* const base_;
  std::size_t piece_;            // the first line not yet written or held
  std::size_t written_end_ = 0;  // the end of the piece's last text line; 0 if none
};

// Where the first CR at or after `from` lies in the walked buffer; its end
// if none does.
std::size_t FindCr(const TextStream::LineWalk& lines, std::size_t from) {
  const void* cr = std::memchr(lines.base + from, '\r', lines.end - from);
  return cr == nullptr ? lines.end
                       : static_cast<std::size_t>(static_cast<const char*>(cr) - lines.base);
}

// Whether a normalised, non-empty body line is one that FilterLine would
// write as it is: no separator, no footer of a plain-text message.
bool PlainBodyText(std::string_view text, const FilterState& state, const FooterScan& scan) {
  if (StartsWith(text, kMessageSeparator)) return false;
  return !state.PlainText || (!scan.MayHoldFooter(text) && !StartsWithFooter(text));
}

// First bytes that make a body line worth a closer look, in a message
// that is not plain text (row 0) and in one that is (row 1): the "F" of a
// separator, 0x1A, which ends the input where a line begins, and in a
// plain-text message the first byte of every footer that must stand at the
// start of a line. An empty line's first byte is its LF, which is none.
const std::array<std::array<bool, 256>, 2> kBodyStops = [] {
  std::array<std::array<bool, 256>, 2> stops{};
  for (auto& row : stops) {
    row['F'] = true;
    row[static_cast<unsigned char>(kEndOfInputByte)] = true;
  }
  for (std::size_t byte = 0; byte < 256; ++byte) {
    if (internal::kFooterStartCandidates[byte] != 0) stops[1][byte] = true;
  }
  return stops;
}();

// The lines of a body being written (not Skipping, no "-- " held), each
// as FilterLine would handle it, until one that FilterLine must see: a
// "From " line, a footer of a plain-text message, a line that starts with
// "-- " and has bytes to trim ("-- " alone among them), a line that begins
// with 0x1A or holds a lone CR, and the first line not whole in the buffer.
// The common line (last byte above 0x20, no byte worth a closer look first,
// its LF before the next CR and before any footer that may stand anywhere)
// and the exactly empty line cost a few byte tests, with no store and no
// call; returns the offset after the last line taken.
[[gnu::noinline]] std::size_t WalkBody(TextStream::LineWalk lines, TextStream& output,
                                       FilterState& state, const FooterScan& scan) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(lines.base);
  const bool* const stops = kBodyStops[state.PlainText].data();
  // A line whose LF lies at or after this may hold a footer.
  const std::size_t footer_bound = state.PlainText ? scan.BoundIn(lines.base) : lines.end;
  std::size_t cr = lines.next_cr;
  std::size_t limit = std::min(cr, footer_bound);
  RunWriter run(output, state, lines.base, lines.begin);
  std::size_t at = lines.begin;
  // A line taken moves `at` past it; one refused leaves it there.
  for (std::size_t lf;; at = lf + 1) {
    lf = lines.lfs.Next();
    std::size_t line_end = lf;
    bool trims = true;
    if (lf >= limit) [[unlikely]] {
      // No LF left, a lone CR, the footer bound, or a line ended by CR LF,
      // whose CR goes as a byte to trim.
      if (lf == lines.end || cr + 1 != lf) break;
      line_end = cr;
      cr = FindCr(lines, lf + 1);
      limit = std::min(cr, footer_bound);
    } else {
      const bool empty = lf == at;
      // An empty line reads its own LF here, and does not trim.
      trims = !empty & (bytes[lf - !empty] <= 0x20);
      if (!(trims | stops[bytes[at]])) [[likely]] {
        run.Kept(lf, empty);
        continue;
      }
    }
    const std::string_view line(lines.base + at, line_end - at);
    if (bytes[at] == static_cast<unsigned char>(kEndOfInputByte)) break;
    if (!trims) {
      if (!PlainBodyText(line, state, scan)) break;
      run.Kept(lf, false);
      continue;
    }
    // A line that starts with "-- " keeps its trailing bytes.
    if (StartsWith(line, kSignatureSeparator)) break;
    const std::string_view text = TrimRight(line);
    if (text.empty()) {
      run.Blank(at, lf);
    } else {
      if (!PlainBodyText(text, state, scan)) break;
      run.Replaced(text, at, lf);
    }
  }
  run.Finish(at);
  return at;
}

// The lines of a header block, each through the header rules as in
// FilterLine, until an empty line (the end of the block), a line with
// bytes to trim, a "From " line, a line that begins with 0x1A or holds a
// lone CR, and the first line not whole in the buffer; returns the offset
// after the last line taken.
[[gnu::noinline]] std::size_t WalkHeader(TextStream::LineWalk lines, TextStream& output,
                                         FilterState& state) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(lines.base);
  std::size_t cr = lines.next_cr;
  RunWriter run(output, state, lines.base, lines.begin);
  std::size_t at = lines.begin;
  // A line taken moves `at` past it; one refused leaves it there.
  for (std::size_t lf;; at = lf + 1) {
    lf = lines.lfs.Next();
    std::size_t line_end = lf;
    const bool crlf = lf >= cr;
    if (crlf) [[unlikely]] {
      if (lf == lines.end || cr + 1 != lf) break;
      line_end = cr;
      cr = FindCr(lines, lf + 1);
    }
    if (line_end == at || bytes[line_end - 1] <= 0x20) break;
    const std::string_view line(lines.base + at, line_end - at);
    if ((bytes[at] == 'F' && StartsWith(line, kMessageSeparator)) ||
        bytes[at] == static_cast<unsigned char>(kEndOfInputByte)) {
      break;
    }
    const std::size_t kept = ApplyHeaderRules(line, state);
    if (kept == kDroppedLine) {
      run.Dropped(at, lf);
    } else if (kept == line.size() && !crlf) {
      run.Kept(lf, false);
    } else {
      run.Replaced(line.substr(0, kept), at, lf);
    }
  }
  run.Finish(at);
  return at;
}

void TakeHeaderRun(TextStream& input, TextStream& output, FilterState& state) {
  input.TakeWalkedLines(
      [&](TextStream::LineWalk lines) { return WalkHeader(lines, output, state); });
}

void TakeBodyRun(TextStream& input, TextStream& output, FilterState& state, FooterScan& scan) {
  if (state.PlainText) scan.Update(input);
  input.TakeWalkedLines(
      [&](TextStream::LineWalk lines) { return WalkBody(lines, output, state, scan); });
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

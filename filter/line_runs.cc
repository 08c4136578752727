// The bulk loop. Every line that lies whole in the input buffer, with no
// CR in it but one just before its LF, and not beginning with 0x1A, is the
// very line ReadLine would return (less that CR), and no read can fall
// between two such lines; so these lines are taken from the buffer without
// AtEnd and ReadLine, one walk over the buffer's LF index after each read.
// Where the output is not a terminal, two walks skip the state machine's
// dispatch, doing for each line what FilterLine would do in that state:
//
//   header walk  the lines of a header block: each goes through the header
//                rules, up to an empty line, a line with bytes to trim or a
//                "From " line;
//   body walk    the lines of a body that is being written (not Skipping,
//                no "-- " held), up to a "From " line, a footer of a
//                plain-text message, or a line that starts with "-- " and
//                has bytes to trim ("-- " alone among them).
//
// Each keeps its state in registers, so that the common body line costs a
// few byte tests and neither a call nor a store. A stretch of lines that
// leave exactly as they came (ended by LF alone, nothing to trim), with the
// exactly empty lines among them, is copied to the output in one piece,
// through the buffer, so that its bytes leave in the same transfers as line
// by line; other lines are written as FilterLine writes them. The line
// that ends a walk goes through FilterLine, and so does every line in any
// other state, after which the walk its new state allows goes on. Lines
// that do not lie whole in the buffer, hold a lone CR or begin with 0x1A
// end the whole walk: they are read and handled one at a time, as ever.

#include "filter/line_runs.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "filter/filter_line.h"
#include "filter/footer_markers.h"
#include "filter/header_rules.h"
#include "filter/line_bytes.h"
#include "textio/failure_exit.h"

namespace mboxclean {
namespace {

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

// Where, in the walked buffer, the first footer that may stand anywhere in
// a line ends: a line that ends at or after that offset may hold one, and
// no line before it does. Searched when a plain-text body first needs it,
// and again once the walk has gone past the line that holds it.
class FooterBound {
 public:
  explicit FooterBound(const TextStream::LineWalk& lines) : lines_(lines) {}

  // The bound for the lines from `at` on.
  std::size_t From(std::size_t at) {
    if (at < searched_from_ || at >= bound_) {
      searched_from_ = at;
      const std::size_t found = EndOfFirstFooterAnywhere({lines_.base + at, lines_.end - at});
      bound_ = found == std::string_view::npos ? lines_.end + 1 : at + found;
    }
    return bound_;
  }

 private:
  const TextStream::LineWalk& lines_;
  std::size_t searched_from_ = static_cast<std::size_t>(-1);
  std::size_t bound_ = 0;
};

// Where a walk stands: the line that begins at `at`, the first CR at or
// after it, and the walk over the LFs from there.
struct Cursor {
  std::size_t at;
  std::size_t cr;
  LineEndIndex::LfWalk lfs;
};

// What a walk did: taken lines up to `cursor.at`, and whether it stopped
// there at a line that is not for a walk (not whole in the buffer, holding
// a lone CR, or beginning with 0x1A).
struct Step {
  Cursor cursor;
  bool stopped;
};

// For the line at the cursor, whose LF at `lf` lies at or after the
// cursor's CR: whether it is ended by CR LF, as a walk may take it, and if
// so where its text ends (at that CR) and where the next CR lies. If not,
// no LF is left or the line holds a lone CR.
bool EndsInCrLf(const TextStream::LineWalk& lines, const Cursor& c, std::size_t lf,
                std::size_t& line_end, std::size_t& next_cr) {
  if (lf == lines.end || c.cr + 1 != lf) return false;
  line_end = c.cr;
  next_cr = lines.FindCr(lf + 1);
  return true;
}

// The run's output so far, then the line from `c.at` through FilterLine;
// the walk goes on after its LF.
Step HandOver(RunWriter& run, Cursor c, std::string_view line, std::size_t lf, std::size_t next_cr,
              TextStream& output, FilterState& state) {
  run.Finish(c.at);
  FilterLine(line, state, output);
  c.at = lf + 1;
  c.cr = next_cr;
  return {c, false};
}

// The run's output so far; the walk stops at `c`, and the line there is
// left to ReadLine.
Step Stop(RunWriter& run, const Cursor& c) {
  run.Finish(c.at);
  return {c, true};
}

// Whether a normalised, non-empty body line, which ends at `end`, is one
// that FilterLine would write as it is: no separator, no footer of a
// plain-text message.
bool PlainBodyText(std::string_view text, std::size_t end, const FilterState& state,
                   std::size_t footer_bound) {
  if (StartsWith(text, kMessageSeparator)) return false;
  return !state.PlainText || (end < footer_bound && !StartsWithFooter(text));
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

// The lines of a body being written (not Skipping, no "-- " held), each as
// FilterLine would handle it, up to the first that FilterLine must see: a
// "From " line, a footer of a plain-text message, a line that starts with
// "-- " and has bytes to trim ("-- " alone among them), which it is handed.
// The common line (last byte above 0x20, no byte worth a closer look first,
// its LF before the next CR and before any footer that may stand anywhere)
// and the exactly empty line cost a few byte tests, with no store and no
// call.
[[gnu::noinline]] Step WalkBody(Cursor c, const TextStream::LineWalk& lines, TextStream& output,
                                FilterState& state, FooterBound& footers) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(lines.base);
  const bool* const stops = kBodyStops[state.PlainText].data();
  const std::size_t footer_bound = state.PlainText ? footers.From(c.at) : lines.end + 1;
  std::size_t limit = std::min(c.cr, footer_bound);
  RunWriter run(output, state, lines.base, c.at);
  // A line taken moves the cursor past it; one refused leaves it there.
  for (std::size_t lf, next_cr = c.cr;; c.at = lf + 1, c.cr = next_cr) {
    lf = c.lfs.Next();
    std::size_t line_end = lf;
    bool trims = true;
    bool may_hold_footer = false;
    if (lf < limit) [[likely]] {
      const bool empty = lf == c.at;
      // An empty line reads its own LF here, and does not trim.
      trims = !empty & (bytes[lf - !empty] <= 0x20);
      if (!(trims | stops[bytes[c.at]])) [[likely]] {
        run.Kept(lf, empty);
        continue;
      }
    } else if (lf >= c.cr) {
      // A line ended by CR LF, whose CR goes as a byte to trim.
      if (!EndsInCrLf(lines, c, lf, line_end, next_cr)) return Stop(run, c);
      limit = std::min(next_cr, footer_bound);
    } else {
      may_hold_footer = true;
    }
    if (bytes[c.at] == static_cast<unsigned char>(kEndOfInputByte)) return Stop(run, c);
    const std::string_view line(lines.base + c.at, line_end - c.at);
    if (may_hold_footer) return HandOver(run, c, line, lf, next_cr, output, state);
    std::string_view text = line;
    if (trims) {
      // A line that starts with "-- " keeps its trailing bytes.
      if (StartsWith(line, kSignatureSeparator)) {
        return HandOver(run, c, line, lf, next_cr, output, state);
      }
      text = TrimRight(line);
      if (text.empty()) {
        run.Blank(c.at, lf);
        continue;
      }
    }
    if (!PlainBodyText(text, c.at + text.size(), state, footer_bound)) {
      return HandOver(run, c, line, lf, next_cr, output, state);
    }
    if (trims) {
      run.Replaced(text, c.at, lf);
    } else {
      run.Kept(lf, false);
    }
  }
}

// The lines of a header block, each through the header rules as in
// FilterLine, up to the first that FilterLine must see: an empty line (the
// end of the block), a line with bytes to trim or a "From " line, which it
// is handed.
[[gnu::noinline]] Step WalkHeader(Cursor c, const TextStream::LineWalk& lines, TextStream& output,
                                  FilterState& state) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(lines.base);
  RunWriter run(output, state, lines.base, c.at);
  // A line taken moves the cursor past it; one refused leaves it there.
  for (std::size_t lf, next_cr = c.cr;; c.at = lf + 1, c.cr = next_cr) {
    lf = c.lfs.Next();
    std::size_t line_end = lf;
    const bool crlf = lf >= c.cr;
    if (crlf && !EndsInCrLf(lines, c, lf, line_end, next_cr)) [[unlikely]] {
      return Stop(run, c);
    }
    const unsigned char first = bytes[c.at];
    if (first == static_cast<unsigned char>(kEndOfInputByte)) return Stop(run, c);
    const std::string_view line(lines.base + c.at, line_end - c.at);
    if (line.empty() || static_cast<unsigned char>(line.back()) <= 0x20 ||
        (first == 'F' && StartsWith(line, kMessageSeparator))) {
      return HandOver(run, c, line, lf, next_cr, output, state);
    }
    const std::size_t kept = ApplyHeaderRules(line, state);
    if (kept == kDroppedLine) {
      run.Dropped(c.at, lf);
    } else if (kept == line.size() && !crlf) {
      run.Kept(lf, false);
    } else {
      run.Replaced(line.substr(0, kept), c.at, lf);
    }
  }
}

// One line through FilterLine: in a state no walk takes (a terminal as
// output, a held "-- ", the rest of a message after its footer, the line
// after a header block's empty line).
Step TakeOneLine(Cursor c, const TextStream::LineWalk& lines, TextStream& output,
                 FilterState& state) {
  const std::size_t lf = c.lfs.Next();
  std::size_t line_end = lf;
  std::size_t next_cr = c.cr;
  if (lf >= c.cr && !EndsInCrLf(lines, c, lf, line_end, next_cr)) return {c, true};
  if (lines.base[c.at] == kEndOfInputByte) return {c, true};
  FilterLine({lines.base + c.at, line_end - c.at}, state, output);
  c.at = lf + 1;
  c.cr = next_cr;
  return {c, false};
}

// Every line that lies whole in the buffer, by the walk its state allows.
TextStream::WalkedTo WalkLines(const TextStream::LineWalk& lines, TextStream& output,
                               FilterState& state) {
  // A terminal wants each line as a statement of its own: no runs.
  const bool runs = !output.WritesEachStatement();
  FooterBound footers(lines);
  Cursor c{lines.begin, lines.next_cr, lines.lfs};
  for (;;) {
    const Step step = runs && state.InHeader && state.PendingBlankLines == 0
                          ? WalkHeader(c, lines, output, state)
                      : runs && !state.InHeader && !state.Skipping && !state.SignaturePending
                          ? WalkBody(c, lines, output, state, footers)
                          : TakeOneLine(c, lines, output, state);
    c = step.cursor;
    if (step.stopped) return {c.at, c.cr};
  }
}

}  // namespace

void TakeBufferedLines(TextStream& input, TextStream& output, FilterState& state) {
  input.TakeWalkedLines(
      [&](const TextStream::LineWalk& lines) { return WalkLines(lines, output, state); });
}

}  // namespace mboxclean

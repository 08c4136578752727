// The state machine for one line: what FilterMailbox does with each line
// it reads, and the bulk loop (line_runs.h) with every line it does not
// handle itself.
#ifndef MBOXCLEAN_FILTER_FILTER_LINE_H_
#define MBOXCLEAN_FILTER_FILTER_LINE_H_

#include <cstdint>
#include <string_view>

#include "filter/filter_state.h"
#include "textio/text_stream.h"

namespace mboxclean {

inline constexpr std::string_view kMessageSeparator = "From ";
inline constexpr std::string_view kSignatureSeparator = "-- ";

// Handles one line, as ReadLine returns it: normalises it, then writes,
// drops or holds it back by `state`, and shows a progress line for a "From "
// line. Every write statement is followed by CheckIo.
void FilterLine(std::string_view line, FilterState& state, TextStream& output);

// `count` empty lines, each a write statement of its own.
void WriteEmptyLines(TextStream& output, std::uint64_t count);

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FILTER_LINE_H_

// Properties of a filtering run that must hold for every input, checked
// against a reading of the input made here, apart from the program's own
// line reader. Used by the libFuzzer target and by the unit tests, which
// replay the seed corpus and generated inputs through it.
//
// For one input the filter is run five times over the in-memory platform:
// through the program's entry on named files with its own buffers; on named
// files with one-block buffers; from a named file to a terminal as standard
// output; on the standard streams with one-block buffers and short reads;
// and as the first run again with one call (chosen from the input)
// failing. Each run is made with the bulk line loop and again with the
// line-by-line one.
// The properties:
//
// - the two loops give the same status, output and console text, and make
//   the same platform calls in the same order, in each of the four runs;
// - the good runs exit 0, with the same output and the same console text,
//   and leave the input as it was;
// - the output holds no CR byte and, unless empty, ends with LF;
// - every non-empty output line is, in input order, an input line after
//   normalisation (trailing bytes of value 0x20 or less trimmed, except
//   from a line that starts with "-- "), or such a line shortened by the
//   Subject cut; the rest are empty lines;
// - the output's "From " lines are exactly the normalised input lines that
//   start with "From ", in order: no message is ever lost;
// - the console shows one progress line for each of those, numbered from
//   1, then the summary with their count;
// - the failing run exits with the failure's status, leaves the input as it
//   was, and leaves an output that is a prefix of the good output made of
//   whole 128-byte blocks (or all of it, once it was closed).
#ifndef MBOXCLEAN_FUZZ_FILTER_PROPERTIES_H_
#define MBOXCLEAN_FUZZ_FILTER_PROPERTIES_H_

#include <string>
#include <string_view>

namespace mboxclean::fuzz {

// What is wrong with the runs over `input`: empty when every property holds,
// otherwise a description of each property that failed.
std::string CheckFilterProperties(std::string_view input);

}  // namespace mboxclean::fuzz

#endif  // MBOXCLEAN_FUZZ_FILTER_PROPERTIES_H_

// Splitting a raw command line, for a platform that hands the program its
// command line as one string (Win32's GetCommandLineA).
//
// The rules:
//  - Before each argument, bytes 0x01 to 0x20 are skipped, and so is every
//    pair of adjacent double quotes met there: `""` alone is no argument.
//  - An argument runs to the next byte of 0x20 or less outside double
//    quotes. A double quote opens a section that runs to the next double
//    quote or to the end; the quotes are removed, and spaces inside belong
//    to the argument. Quoted and unquoted pieces side by side form one
//    argument: a"b c"d is `ab cd`.
//  - A NUL byte ends the command line.
//  - Characters are stepped by a function of the code page, so that a
//    double-byte character is never split.
//  - Argument 0 is the program name; argument n is found by splitting n + 1
//    times from the start, and once one comes out empty, every later one is
//    empty too.
// There is no escape character: a backslash is an ordinary byte.
#ifndef MBOXCLEAN_APP_COMMAND_LINE_H_
#define MBOXCLEAN_APP_COMMAND_LINE_H_

#include <cstddef>
#include <string>

namespace mboxclean {

// Returns the start of the character after the one at `character`, which is
// never the terminating NUL. Win32's CharNextA has this contract.
using CharacterStep = const char* (*)(const char* character);

// The step of a single-byte code page: every byte is a character.
const char* StepByte(const char* character);

// Argument `index` of the NUL-terminated `command_line`; empty when there is
// no such argument.
std::string CommandLineArgument(const char* command_line, std::size_t index,
                                CharacterStep step);

struct CommandLinePaths {
  std::string input;   // argument 1; empty: standard input
  std::string output;  // argument 2; empty: standard output
};

// The program's two paths; arguments after the second are ignored.
CommandLinePaths SplitPaths(const char* command_line, CharacterStep step);

}  // namespace mboxclean

#endif  // MBOXCLEAN_APP_COMMAND_LINE_H_

#include "app/command_line.h"

namespace mboxclean {
namespace {

// Bytes are compared unsigned: 0xE9 is a letter, not a separator.
bool IsSeparatorOrEnd(char byte) { return static_cast<unsigned char>(byte) <= 0x20; }

// The end of the character at `at`. A step that does not move, or that
// would jump over the terminating NUL, is held to the bytes before it.
const char* NextCharacter(const char* at, CharacterStep step) {
  const char* next = step(at);
  if (next <= at) return at + 1;
  for (const char* inside = at + 1; inside < next; ++inside) {
    if (*inside == '\0') return inside;
  }
  return next;
}

// Splits one argument off `at` into `argument`; returns where the next
// split starts.
const char* SplitOne(const char* at, CharacterStep step, std::string& argument) {
  argument.clear();
  for (;;) {
    while (*at != '\0' && IsSeparatorOrEnd(*at)) ++at;
    if (at[0] != '"' || at[1] != '"') break;
    at += 2;
  }
  while (!IsSeparatorOrEnd(*at)) {
    if (*at == '"') {
      ++at;
      while (*at != '\0' && *at != '"') {
        const char* next = NextCharacter(at, step);
        argument.append(at, next);
        at = next;
      }
      if (*at == '"') ++at;
    } else {
      const char* next = NextCharacter(at, step);
      argument.append(at, next);
      at = next;
    }
  }
  return at;
}

}  // namespace

const char* StepByte(const char* character) { return character + 1; }

std::string CommandLineArgument(const char* command_line, std::size_t index,
                                CharacterStep step) {
  std::string argument;
  const char* at = command_line;
  for (std::size_t n = 0;; ++n) {
    at = SplitOne(at, step, argument);
    if (n == index) return argument;
    if (argument.empty()) return {};
  }
}

CommandLinePaths SplitPaths(const char* command_line, CharacterStep step) {
  return {CommandLineArgument(command_line, 1, step), CommandLineArgument(command_line, 2, step)};
}

}  // namespace mboxclean

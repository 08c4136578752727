// Splitting a raw command line into the program's two paths, with the
// byte step of a single-byte code page and with a double-byte one.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace mboxclean {
namespace {

using namespace std::string_literals;

// A double-byte code page in the manner of Shift JIS: 0x81 to 0x9F lead a
// two-byte character; a lead byte before the NUL stands alone, as CharNextA
// makes it.
const char* StepDoubleByte(const char* character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  if (lead >= 0x81 && lead <= 0x9F && character[1] != '\0') return character + 2;
  return character + 1;
}

// A step that jumps over whatever follows a lead byte, the NUL included.
const char* StepCarelessly(const char* character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  return lead >= 0x81 && lead <= 0x9F ? character + 2 : character + 1;
}

struct Case {
  const char* name;
  std::string command_line;
  std::string input;
  std::string output;
};

// None of these holds a lead byte of the double-byte step, so every step
// must split them alike.
const Case kCases[] = {
    {"two paths", "mboxclean in.mbox out.mbox", "in.mbox", "out.mbox"},
    {"no arguments", "mboxclean", "", ""},
    {"only separators after the name", "mboxclean \t  ", "", ""},
    {"empty command line", "", "", ""},
    {"one argument", "mboxclean in.mbox", "in.mbox", ""},
    {"quoted program name with spaces",
     "\"C:\\Program Files\\mboxclean.exe\" in.mbox out.mbox", "in.mbox", "out.mbox"},
    {"quoted paths with spaces", "mboxclean \"my mail\\in box.mbox\" \"C:\\clean mail\\out.mbox\"",
     "my mail\\in box.mbox", "C:\\clean mail\\out.mbox"},
    {"quoted and unquoted pieces form one argument", "mboxclean a\"b c\"d e", "ab cd", "e"},
    {"quote in the middle of a path", "mboxclean C:\\\"My Mail\"\\in.mbox", "C:\\My Mail\\in.mbox",
     ""},
    {"a quote runs to the end when unclosed", "mboxclean \"in box.mbox out.mbox",
     "in box.mbox out.mbox", ""},
    {"empty quoted pair is skipped", "mboxclean \"\" in.mbox", "in.mbox", ""},
    {"several pairs before an argument", "mboxclean \"\"\"\"in.mbox \"\" out.mbox", "in.mbox",
     "out.mbox"},
    {"pair inside an argument is an empty section", "mboxclean in\"\".mbox", "in.mbox", ""},
    {"lone quote opens a section to the end", "mboxclean \" out.mbox", " out.mbox", ""},
    {"pair then lone quote", "mboxclean \"\"\"", "", ""},
    {"tabs and control bytes separate", "mboxclean\tin.mbox\x01\x1f out.mbox\r\n", "in.mbox",
     "out.mbox"},
    {"bytes above 0x7F are letters", "mboxclean \xe9t\xe9.mbox \xff\xa0", "\xe9t\xe9.mbox",
     "\xff\xa0"},
    {"backslash escapes nothing", "mboxclean a\\\"b c\" d", "a\\b c", "d"},
    {"NUL ends the line", "mboxclean in.mbox\0out.mbox"s, "in.mbox", ""},
    {"NUL ends an open quote", "mboxclean \"in box\0.mbox\" out.mbox"s, "in box", ""},
    {"arguments after the second are ignored", "mboxclean in.mbox out.mbox third fourth",
     "in.mbox", "out.mbox"},
};

TEST(CommandLine, SplitsThePaths) {
  for (const CharacterStep step : {&StepByte, &StepDoubleByte}) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(c.name);
      const CommandLinePaths paths = SplitPaths(c.command_line.c_str(), step);
      EXPECT_EQ(paths.input, c.input);
      EXPECT_EQ(paths.output, c.output);
    }
  }
}

TEST(CommandLine, ArgumentsByIndex) {
  const char* line = "\"my prog\" one \"t w o\" th\"re\"e \"\" four";
  const std::string expected[] = {"my prog", "one", "t w o", "three", "four", "", ""};
  for (std::size_t index = 0; index < std::size(expected); ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(CommandLineArgument(line, index, StepByte), expected[index]);
  }
}

struct StepCase {
  const char* name;
  std::string command_line;
  CharacterStep step;
  std::string input;
  std::string output;
};

// Bytes that end an argument or a quoted section do so only where a
// character begins, never as the second byte of one.
const StepCase kStepCases[] = {
    {"trail byte 0x20 stays in the argument", "p \x81 x out", StepDoubleByte, "\x81 x", "out"},
    {"the same bytes split byte by byte", "p \x81 x out", StepByte, "\x81", "x"},
    {"trail byte quote does not close a section", "p \"\x81\"x y\" z", StepDoubleByte,
     "\x81\"x y", "z"},
    {"the same bytes byte by byte", "p \"\x81\"x y\" z", StepByte, "\x81x", "y z"},
    {"trail byte quote does not open a section", "p \x9f\" out", StepDoubleByte, "\x9f\"",
     "out"},
    {"two-byte characters are kept whole", "p \x81\x40\x9f\xfc.mbox", StepDoubleByte,
     "\x81\x40\x9f\xfc.mbox", ""},
    {"lead byte before the NUL", "p \x81", StepDoubleByte, "\x81", ""},
    {"a step over the NUL is held at it", "p \x81\0hidden out"s, StepCarelessly, "\x81", ""},
};

TEST(CommandLine, StepsWholeCharacters) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(c.name);
    const CommandLinePaths paths = SplitPaths(c.command_line.c_str(), c.step);
    EXPECT_EQ(paths.input, c.input);
    EXPECT_EQ(paths.output, c.output);
  }
}

}  // namespace
}  // namespace mboxclean

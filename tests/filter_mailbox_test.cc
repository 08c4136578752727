// The message state machine, run as the whole program over in-memory files:
// separators, empty lines, held-back signature separators, lines before the
// first message, the console lines, and failures.
#include <gtest/gtest.h>

#include <string>

#include "filter/console_texts.h"
#include "filter/filter_mailbox.h"
#include "tests/memory_platform.h"
#include "textio/error_codes.h"

namespace mboxclean {
namespace {

using testing::MemoryPlatform;
using testing::RunProgram;
using namespace std::string_literals;

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

const Case kCases[] = {
    {"empty input", "", ""},
    {"header then three empty lines: one empty line",
     "From a\nH: 1\n\n\n\nbody\n", "From a\nH: 1\n\nbody\n"},
    {"spaces and TABs make an empty line", "From a\nH: 1\n \t \nbody\n", "From a\nH: 1\n\nbody\n"},
    {"trailing bytes are trimmed, CR LF becomes LF", "From a \r\nH: 1\t\r\n\r\nbody  \x01\r\n",
     "From a\nH: 1\n\nbody\n"},
    {"\"From\" without its space is no separator", "From a\nH\n\nx\nFrom\nFrom   \ny\n",
     "From a\nH\n\nx\nFrom\nFrom\ny\n"},
    {"separator anywhere, even in a header", "From a\nH\nFrom b\nH2\n", "From a\nH\nFrom b\nH2\n"},
    {"empty lines inside a body are kept", "From a\nH\n\nA\n\n\nB\n", "From a\nH\n\nA\n\n\nB\n"},
    {"held separator is written after the empty lines that follow it",
     "From a\nH\n\nA\n-- \n\nS\n", "From a\nH\n\nA\n\n-- \nS\n"},
    {"two held separators give one", "From a\nH\n\nA\n-- \n-- \nS\n", "From a\nH\n\nA\n-- \nS\n"},
    {"\"-- \" with more spaces is an ordinary line", "From a\nH\n\nA\n--   \n", "From a\nH\n\nA\n--   \n"},
    {"\"--\" is trimmed and ordinary", "From a\nH\n\nA\n-- \t\n--\n", "From a\nH\n\nA\n-- \t\n--\n"},
    {"dangling separator before the next message is dropped",
     "From a\nH\n\nA\n-- \nFrom b\n", "From a\nH\n\nA\nFrom b\n"},
    {"trailing empty lines give two empty lines before the next message",
     "From a\nH\n\nA\n\n\n\n\n-- \n\nFrom b\n", "From a\nH\n\nA\n\n\nFrom b\n"},
    {"one trailing empty line gives two as well", "From a\nH\n\nA\n\nFrom b\n",
     "From a\nH\n\nA\n\n\nFrom b\n"},
    {"text line right before the separator: no empty line", "From a\nH\n\nA\nFrom b\n",
     "From a\nH\n\nA\nFrom b\n"},
    {"header block then empty lines then the next message", "From a\nH\n\n\nFrom b\n",
     "From a\nH\n\n\nFrom b\n"},
    {"the last message's trailing empty lines and separator vanish",
     "From a\nH\n\nA\n\n-- \n\n", "From a\nH\n\nA\n"},
    {"NUL bytes pass through, and trail as control bytes", "From a\nH\0x\n\nb\0c\0\n"s,
     "From a\nH\0x\n\nb\0c\n"s},
    {"256 empty lines in a body are 256 empty lines",
     "From a\nH\n\nA\n" + std::string(256, '\n') + "B\n",
     "From a\nH\n\nA\n" + std::string(256, '\n') + "B\n"},
    {"256 empty lines end a header block", "From a\nH\n" + std::string(256, '\n') + "B\n",
     "From a\nH\n\nB\n"},
    {"lines before the first message are written with the body rules",
     "junk\n\n\n-- \nsig\n\n-- \nFrom a\nH\n", "junk\n\n\n-- \nsig\n\n\nFrom a\nH\n"},
    {"last line without terminator", "From a\nH\n\nlast", "From a\nH\n\nlast\n"},
    {"input ends at 0x1A", "From a\nH\n\nA\n\x1a" "From b\n", "From a\nH\n\nA\n"},
    {"many messages", Repeat("From x\nH\n\nbody\n\n", 300),
     "From x\nH\n\nbody\n" + Repeat("\n\nFrom x\nH\n\nbody\n", 299)},
};

TEST(FilterMailbox, Cases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform platform;
    platform.files["in"] = c.input;
    EXPECT_EQ(RunProgram(platform, "in", "out"), 0);
    EXPECT_EQ(platform.files["out"], c.expected);
    EXPECT_EQ(platform.files["in"], c.input);
  }
}

std::string Progress(int n) { return std::string(kProgressText) + std::to_string(n) + "\r"; }
std::string Summary(int n) {
  return std::string(kSummaryPrefix) + std::to_string(n) + std::string(kSummarySuffix) + "\r\n";
}

TEST(FilterMailbox, ConsoleShowsAProgressLinePerMessageAndTheSummary) {
  MemoryPlatform platform;
  platform.files["in"] = "pre\nFrom a\n\nFrom b\nFrom c\n";
  EXPECT_EQ(RunProgram(platform, "in", "out"), 0);
  EXPECT_EQ(platform.standard_output.data, Progress(1) + Progress(2) + Progress(3) + Summary(3));
  EXPECT_EQ(platform.standard_error.data, "");
}

TEST(FilterMailbox, EmptyInputShowsOnlyTheSummary) {
  MemoryPlatform platform;
  platform.files["in"] = "";
  EXPECT_EQ(RunProgram(platform, "in", "out"), 0);
  EXPECT_EQ(platform.files["out"], "");
  EXPECT_EQ(platform.standard_output.data, Summary(0));
}

TEST(FilterMailbox, MailboxOnStandardOutputSendsConsoleTextToStandardError) {
  MemoryPlatform platform;
  platform.standard_input.data = "From a\nH\n\nbody\n";
  EXPECT_EQ(RunProgram(platform, "", ""), 0);
  EXPECT_EQ(platform.standard_output.data, "From a\nH\n\nbody\n");
  EXPECT_EQ(platform.standard_error.data, Progress(1) + Summary(1));
}

TEST(FilterMailbox, OnATerminalMailboxAndConsoleInterleaveByStatement) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kCharacterDevice;
  platform.files["in"] = "From a\nbody\n";
  EXPECT_EQ(RunProgram(platform, "in", ""), 0);
  EXPECT_EQ(platform.standard_output.data, Progress(1) + "From a\nbody\n" + Summary(1));
}

std::string ProgressUtf8(int n) {
  return std::string(kProgressTextUtf8) + std::to_string(n) + "\r";
}
std::string SummaryUtf8(int n) {
  return std::string(kSummaryPrefixUtf8) + std::to_string(n) + std::string(kSummarySuffixUtf8) +
         "\r\n";
}

// The console's encoding follows the handle it opens on, and nothing else:
// the mailbox's bytes are never converted, and a UTF-8 terminal that the
// console does not write to changes nothing.
TEST(FilterMailbox, ConsoleTextIsUtf8OnlyOnAUtf8Terminal) {
  struct Case {
    const char* name;
    HandleKind output_kind;
    bool output_utf8;
    bool error_utf8;
    const char* output_path;
    std::string expected_output;
    std::string expected_error;
  };
  const std::string mailbox = "From a\nH\n\n\x8e\xa1\n";
  const Case cases[] = {
      {"console on a UTF-8 terminal", HandleKind::kCharacterDevice, true, false, "out",
       ProgressUtf8(1) + SummaryUtf8(1), ""},
      {"console on a device that is no terminal, such as /dev/null", HandleKind::kCharacterDevice,
       false, true, "out", Progress(1) + Summary(1), ""},
      {"console on a file whatever the platform says", HandleKind::kDiskOrPipe, true, true, "out",
       Progress(1) + Summary(1), ""},
      {"mailbox and console on one UTF-8 terminal", HandleKind::kCharacterDevice, true, false, "",
       ProgressUtf8(1) + mailbox + SummaryUtf8(1), ""},
      {"mailbox down a pipe, console on a UTF-8 terminal", HandleKind::kDiskOrPipe, false, true, "",
       mailbox, ProgressUtf8(1) + SummaryUtf8(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryPlatform platform;
    platform.standard_output.kind = c.output_kind;
    platform.standard_output.utf8_terminal = c.output_utf8;
    platform.standard_error.utf8_terminal = c.error_utf8;
    platform.files["in"] = mailbox;
    EXPECT_EQ(RunProgram(platform, "in", c.output_path), 0);
    EXPECT_EQ(platform.standard_output.data, c.expected_output);
    EXPECT_EQ(platform.standard_error.data, c.expected_error);
    if (*c.output_path != '\0') {
      EXPECT_EQ(platform.files["out"], mailbox);
    }
  }
}

TEST(FilterMailbox, MissingInputLeavesTheOutputUntouched) {
  MemoryPlatform platform;
  platform.files["out"] = "precious";
  EXPECT_EQ(RunProgram(platform, "missing", "out"), error_code::kFileNotFound);
  EXPECT_EQ(platform.files["out"], "precious");
  EXPECT_EQ(platform.standard_output.data, "");
}

TEST(FilterMailbox, OutputNamingTheInputFailsWith32BeforeWriting) {
  MemoryPlatform platform;
  platform.files["box"] = "From a\nH\n\nbody\n";
  EXPECT_EQ(RunProgram(platform, "box", "box"), error_code::kSharingViolation);
  EXPECT_EQ(platform.files["box"], "From a\nH\n\nbody\n");
}

TEST(FilterMailbox, ConsoleThatCannotOpenEndsTheRunWith105) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kUndetermined;
  platform.files["in"] = "From a\n";
  EXPECT_EQ(RunProgram(platform, "in", "out"), error_code::kNotOpenForOutput);
  EXPECT_EQ(RunProgram(platform, "in", ""), error_code::kNotOpenForOutput);
}

TEST(FilterMailbox, SummaryFailureAfterACompleteRunIsStillAFailure) {
  MemoryPlatform platform;
  platform.files["in"] = "From a\n";
  platform.FailWritesTo("<stdout>", 112);
  EXPECT_EQ(RunProgram(platform, "in", "out"), 112);
  EXPECT_EQ(platform.files["out"], "From a\n");
}

}  // namespace
}  // namespace mboxclean

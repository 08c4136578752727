// Reading lines: terminators, the end of the input, and lines that span
// refills, at several buffer sizes and read sizes so that every boundary
// falls somewhere inside a line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/memory_platform.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"
#include "textio/text_stream.h"

namespace mboxclean {
namespace {

using testing::CallKind;
using testing::MemoryPlatform;
using testing::RunAsProcess;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

struct Reading {
  Lines lines;
  int io_error;
};

Reading ReadAll(const std::string& input, std::size_t blocks, std::size_t read_limit,
                bool crlf = true) {
  MemoryPlatform platform;
  platform.files["in"] = input;
  platform.read_limit = read_limit;
  Reading reading{};
  RunAsProcess(platform, [&] {
    TextStream stream(blocks);
    stream.Assign("in");
    stream.SetCrlf(crlf);
    stream.OpenForInput();
    while (!stream.AtEnd()) reading.lines.emplace_back(stream.ReadLine());
    reading.io_error = IoError();
  });
  return reading;
}

struct Case {
  const char* name;
  std::string input;
  Lines expected;
};

const std::string k127(127, 'x');
const std::string k128(128, 'x');

const Case kCases[] = {
    {"empty input", "", {}},
    {"single LF", "\n", {""}},
    {"no terminator", "abc", {"abc"}},
    {"LF after the last line adds no line", "abc\n", {"abc"}},
    {"CR LF", "a\r\nb\r\n", {"a", "b"}},
    {"lone CR vanishes", "a\rb\n", {"ab"}},
    {"CR CR LF", "a\r\r\n", {"a"}},
    {"CR at the end of the input", "a\r", {"a"}},
    {"empty lines", "\n\r\n\n", {"", "", ""}},
    {"CR LF across a block boundary", k127 + "\r\nnext\n", {k127, "next"}},
    {"LF as the first byte of a block", k128 + "\nnext", {k128, "next"}},
    {"line of 255", std::string(255, 'a') + "\nb\n", {std::string(255, 'a'), "b"}},
    {"line of 256", std::string(256, 'a') + "\n", {std::string(256, 'a')}},
    {"line of 510", std::string(510, 'a') + "\n", {std::string(510, 'a')}},
    {"line of 100000 without terminator", std::string(100000, 'q'), {std::string(100000, 'q')}},
    {"NUL bytes are line bytes", "a\0b\n\0\n"s, {"a\0b"s, "\0"s}},
    {"0x1A as the first byte ends the input", "\x1a" "abc\n", {}},
    {"0x1A after a terminator ends the input", "a\n\x1a" "b\nc\n", {"a"}},
    {"0x1A after CR LF ends the input", "a\r\n\x1a", {"a"}},
    {"0x1A inside a line is a byte", "a\x1a" "b\nc", {"a\x1a" "b", "c"}},
    {"0x1A after a lone CR is a byte", "a\r\x1a\n", {"a\x1a"}},
    {"0x1A at a block boundary inside a line", k128 + "\x1a" "y\n", {k128 + "\x1a" "y"}},
};

TEST(LineReader, SplitsLinesAtEveryBufferAndReadSize) {
  for (const Case& c : kCases) {
    for (std::size_t blocks : {1, 2, 512}) {
      for (std::size_t read_limit : {std::size_t{1}, std::size_t{7}, static_cast<std::size_t>(-1)}) {
        SCOPED_TRACE(::testing::Message() << c.name << ", blocks " << blocks << ", reads of "
                                          << read_limit);
        const Reading reading = ReadAll(c.input, blocks, read_limit);
        EXPECT_EQ(reading.lines, c.expected);
        EXPECT_EQ(reading.io_error, 0);
      }
    }
  }
}

TEST(LineReader, WithoutLineBreakStyle0x1AIsAnOrdinaryByte) {
  EXPECT_EQ(ReadAll("\x1a" "a\n\x1a\n", 1, -1, false).lines, (Lines{"\x1a" "a", "\x1a"}));
}

TEST(LineReader, EndIsFinalAndNeedsNoFurtherRead) {
  MemoryPlatform platform;
  platform.files["in"] = "one\n";
  RunAsProcess(platform, [&] {
    TextStream stream(1);
    stream.Assign("in");
    stream.OpenForInput();
    ASSERT_FALSE(stream.AtEnd());
    EXPECT_EQ(stream.ReadLine(), "one");
    ASSERT_TRUE(stream.AtEnd());
    const auto reads = std::count_if(platform.calls.begin(), platform.calls.end(),
                                     [](const auto& call) { return call.kind == CallKind::kRead; });
    EXPECT_TRUE(stream.AtEnd());
    EXPECT_EQ(stream.ReadLine(), "");
    EXPECT_TRUE(stream.AtEnd());
    EXPECT_EQ(std::count_if(platform.calls.begin(), platform.calls.end(),
                            [](const auto& call) { return call.kind == CallKind::kRead; }),
              reads);
  });
}

TEST(LineReader, ReadsAFileInBufferSizedRequests) {
  MemoryPlatform platform;
  platform.files["in"] = std::string(3 * 65536, 'z');
  RunAsProcess(platform, [&] {
    TextStream stream;
    stream.Assign("in");
    stream.OpenForInput();
    EXPECT_EQ(stream.ReadLine().size(), 3u * 65536);
  });
  for (const auto& call : platform.calls) {
    if (call.kind == CallKind::kRead) {
      EXPECT_EQ(call.size, 65536u);
    }
  }
}

TEST(LineReader, AReadFailureEndsTheInputWithItsCode) {
  MemoryPlatform platform;
  platform.files["in"] = "a\nb\n";
  platform.FailCall(1, 30);  // the first read, after the open
  Reading reading{};
  RunAsProcess(platform, [&] {
    TextStream stream;
    stream.Assign("in");
    stream.OpenForInput();
    EXPECT_TRUE(stream.AtEnd());
    reading.io_error = IoError();
  });
  EXPECT_EQ(reading.io_error, 30);
}

TEST(LineReader, StreamNotOpenForInputFailsWith104) {
  MemoryPlatform platform;
  int code = 0;
  RunAsProcess(platform, [&] {
    TextStream stream;
    stream.Assign("in");
    EXPECT_TRUE(stream.AtEnd());
    code = IoError();
  });
  EXPECT_EQ(code, error_code::kNotOpenForInput);
}

}  // namespace
}  // namespace mboxclean

// Writing: when bytes reach a file, a terminal or the console, what a failed
// write leaves behind, and opening, closing and the stream layer's own codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
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
using Sizes = std::vector<std::size_t>;

TEST(TextStreamOutput, FileGetsWholeBuffersThenTheRestAtClose) {
  MemoryPlatform platform;
  RunAsProcess(platform, [&] {
    TextStream out(1);  // one 128-byte block
    out.Assign("out");
    out.OpenForOutput();
    out.WriteText(std::string(100, 'a'));
    out.EndStatement();
    EXPECT_EQ(platform.files["out"], "") << "a file waits for a full buffer";
    out.WriteText(std::string(100, 'b'));
    out.EndStatement();
    EXPECT_EQ(platform.files["out"].size(), 128u);
    out.WriteText(std::string(300, 'c'));  // fills one buffer, then one more straight through
    EXPECT_EQ(platform.files["out"].size(), 384u);
    out.Close();
    EXPECT_EQ(IoError(), 0);
  });
  EXPECT_EQ(platform.files["out"], std::string(100, 'a') + std::string(100, 'b') +
                                       std::string(300, 'c'));
  EXPECT_EQ(platform.WriteSizes("out"), (Sizes{128, 128, 128, 116}));
}

TEST(TextStreamOutput, TerminalGetsEveryStatementAtOnce) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kCharacterDevice;
  RunAsProcess(platform, [&] {
    TextStream out;
    out.Assign("");
    out.OpenForOutput();
    out.WriteText("one");
    out.WriteChar(' ');
    EXPECT_EQ(platform.standard_output.data, "");
    out.EndStatement();
    EXPECT_EQ(platform.standard_output.data, "one ");
    out.WriteInt(2);
    out.WriteLineEnd();
    EXPECT_EQ(platform.standard_output.data, "one 2\r\n");
  });
  EXPECT_EQ(platform.WriteSizes("<stdout>"), (Sizes{4, 3}));
}

TEST(TextStreamOutput, WriteIntWritesPlainDecimal) {
  const struct {
    std::int64_t value;
    const char* text;
  } cases[] = {{0, "0"},
               {12345, "12345"},
               {-7, "-7"},
               {std::numeric_limits<std::int64_t>::max(), "9223372036854775807"},
               {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"}};
  for (const auto& c : cases) {
    MemoryPlatform platform;
    RunAsProcess(platform, [&] {
      TextStream out;
      out.Assign("out");
      out.OpenForOutput();
      out.WriteInt(c.value);
      out.Close();
    });
    EXPECT_EQ(platform.files["out"], c.text);
  }
}

TEST(TextStreamOutput, LineEndFollowsTheLineBreakStyle) {
  MemoryPlatform platform;
  RunAsProcess(platform, [&] {
    TextStream out;
    out.Assign("out");
    out.OpenForOutput();
    out.WriteLineEnd();
    out.SetCrlf(false);
    out.WriteLineEnd();
    out.Close();
  });
  EXPECT_EQ(platform.files["out"], "\r\n\n");
}

TEST(TextStreamOutput, AFailedWriteLosesItsBytesAndNothingFollowsIt) {
  MemoryPlatform platform;
  int code = 0;
  RunAsProcess(platform, [&] {
    TextStream out(1);
    out.Assign("out");
    out.OpenForOutput();
    out.WriteText(std::string(128, 'a'));  // first write: fine
    platform.FailCall(platform.calls.size(), 112);
    out.WriteText(std::string(128, 'b'));  // second write: fails
    out.WriteText(std::string(200, 'c'));  // must not reach the file after the gap
    out.Close();
    code = IoError();
  });
  EXPECT_EQ(code, 112);
  EXPECT_EQ(platform.files["out"], std::string(128, 'a'));
}

TEST(TextStreamOutput, CloseKeepsAStreamOpenWhenItsLastWriteFails) {
  MemoryPlatform platform;
  platform.FailWritesTo("out", 29);
  RunAsProcess(platform, [&] {
    TextStream out;
    out.Assign("out");
    out.OpenForOutput();
    out.WriteText("x");
    out.Close();
    EXPECT_EQ(IoError(), 29);
  });
  EXPECT_EQ(std::count_if(platform.calls.begin(), platform.calls.end(),
                          [](const auto& call) { return call.kind == CallKind::kClose; }),
            0);
}

TEST(TextStreamOutput, UndeterminedHandleIsReleasedAndFailsWith105) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kUndetermined;
  int code = 0;
  RunAsProcess(platform, [&] {
    TextStream out;
    out.Assign("");
    out.OpenForOutput();
    code = IoError();
    ClearIoError();
    out.WriteText("x");
    EXPECT_EQ(IoError(), error_code::kNotOpenForOutput);
  });
  EXPECT_EQ(code, error_code::kNotOpenForOutput);
  ASSERT_FALSE(platform.calls.empty());
  EXPECT_EQ(platform.calls.back().kind, CallKind::kClose);
}

TEST(TextStreamOutput, OutputThatIsTheOpenInputFailsWith32AndLeavesItIntact) {
  MemoryPlatform platform;
  platform.files["box"] = "From a\n";
  int code = 0;
  RunAsProcess(platform, [&] {
    TextStream in, out;
    in.Assign("box");
    in.OpenForInput();
    out.Assign("box");
    out.OpenForOutput();
    code = IoError();
  });
  EXPECT_EQ(code, error_code::kSharingViolation);
  EXPECT_EQ(platform.files["box"], "From a\n");
}

TEST(TextStreamLifecycle, StandardHandleStaysOpenAfterClose) {
  MemoryPlatform platform;
  RunAsProcess(platform, [&] {
    TextStream out;
    out.Assign("");
    out.OpenForOutput();
    out.WriteText("a");
    out.Close();
    out.WriteText("b");
    out.Close();
    EXPECT_EQ(IoError(), 0);
  });
  EXPECT_EQ(platform.standard_output.data, "ab");
}

TEST(TextStreamLifecycle, ClosedStreamCodes) {
  MemoryPlatform platform;
  std::vector<int> codes;
  RunAsProcess(platform, [&] {
    TextStream stream;
    stream.Assign("f");
    stream.Close();
    codes.push_back(IoError());
    ClearIoError();
    stream.EndStatement();
    codes.push_back(IoError());
    ClearIoError();
    stream.WriteChar('x');
    codes.push_back(IoError());
    ClearIoError();
    ConsoleOut().EndStatement();  // the console before its first write: nothing
    codes.push_back(IoError());
  });
  EXPECT_EQ(codes, (std::vector<int>{103, 103, 105, 0}));
}

TEST(ConsoleStream, OpensOnStandardOutputAtItsFirstWrite) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kCharacterDevice;
  RunAsProcess(platform, [&] {
    EXPECT_TRUE(platform.calls.empty());
    ConsoleOut().WriteText("hi");
    ConsoleOut().EndStatement();
  });
  EXPECT_EQ(platform.standard_output.data, "hi");
}

TEST(ConsoleStream, MovesToStandardErrorWhenStandardOutputCarriesTheMailbox) {
  MemoryPlatform platform;
  RunAsProcess(platform, [&] {
    TextStream mailbox;
    mailbox.Assign("");
    mailbox.OpenForOutput();
    mailbox.WriteText("data");
    ConsoleOut().WriteText("progress");
    ConsoleOut().Flush();
    mailbox.Close();
  });
  EXPECT_EQ(platform.standard_output.data, "data");
  EXPECT_EQ(platform.standard_error.data, "progress");
}

TEST(ConsoleStream, AFailedOpenGives105AndTheNextWriteTriesAgain) {
  MemoryPlatform platform;
  platform.standard_output.kind = HandleKind::kCharacterDevice;
  platform.FailCall(0, 6);
  std::vector<int> codes;
  RunAsProcess(platform, [&] {
    ConsoleOut().WriteText("lost");
    codes.push_back(IoError());
    ClearIoError();
    ConsoleOut().WriteText("shown");
    ConsoleOut().EndStatement();
    codes.push_back(IoError());
  });
  EXPECT_EQ(codes, (std::vector<int>{105, 0}));
  EXPECT_EQ(platform.standard_output.data, "shown");
}

TEST(FailureExit, StatusIsTheCodeModulo256AndNeverZero) {
  const struct {
    int code, status;
  } cases[] = {{2, 2}, {112, 112}, {232, 232}, {300, 44}, {256, 31}, {0x10000, 31}, {-1, 255}};
  for (const auto& c : cases) EXPECT_EQ(ExitStatusForCode(c.code), c.status) << c.code;
}

TEST(FailureExit, CheckIoEndsTheProcessOnlyWithAnErrorPending) {
  MemoryPlatform platform;
  EXPECT_EQ(RunAsProcess(platform, [] { CheckIo(); }), -1);
  EXPECT_EQ(RunAsProcess(platform, [] {
              SetIoError(5);
              CheckIo();
            }),
            5);
}

}  // namespace
}  // namespace mboxclean

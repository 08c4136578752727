// Failing every platform call of a good run in turn.
//
// For each fixture mailbox and each way of running it (the program's entry
// with its own buffers, one-block buffers on files, one-block buffers on the
// standard streams with short reads), the good run's calls are logged; then
// the run is repeated once per call index with that one call failing. Every
// such run must end at the failed call with the failure's status, print
// nothing the good run would not have printed by then, leave the input as
// it was, and leave an output that is whole 128-byte blocks of the good
// output (or the output as it was, when the failure came before it was
// opened). The loop is over the call log, so a new I/O call in the program
// is covered here without a new test.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "filter/filter_mailbox.h"
#include "tests/memory_platform.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"
#include "textio/text_stream.h"

namespace mboxclean {
namespace {

using testing::Call;
using testing::CallKind;
using testing::MemoryPlatform;
using testing::RunAsProcess;
using testing::RunProgram;

// A mailbox with every kind of line the filter treats specially, a few
// blocks long.
std::string SmallMailbox() {
  return "a line before the first message\r\n"
         "\n"
         "From alice@example.org Mon Jan  1 00:00:00 2024\r\n"
         "Received: by relay\r\n"
         "\tid 42\r\n"
         "Subject: News - fido7.ru.general\r\n"
         "X-Mailer: Tool\n"
         "\n\n"
         "Hello.   \n"
         "\n"
         "-- \n"
         "Bob\n"
         "\n" +
         std::string(300, 'w') +
         "\n"
         "-- \n"
         "\n"
         "From carol@example.org Tue Jan  2 00:00:00 2024\n"
         "Content-Type: text/plain\n"
         "\n"
         "a lone\rCR\n"
         "To unsubscribe from this group, send an email to:\n"
         "x@example.org\n"
         "the last line, without terminator";
}

// About 400 KB of varied messages, the same on every run and platform
// (minstd_rand's sequence is fixed by the language).
std::string LargeMailbox() {
  std::minstd_rand random(20240101);
  const auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
  const auto word = [&] { return std::string(1 + pick(9), static_cast<char>('a' + pick(26))); };
  const char* const kHeaders[] = {"Received: from host.example.org",
                                  "\tby relay.example.org",
                                  "Subject: topic - fido7.ru.general",
                                  "Subject: plain topic",
                                  "X-Spam-Level: 3",
                                  "X-Mailer: Tool 1.0",
                                  "Content-Type: text/plain; charset=koi8-r",
                                  "Content-Type: multipart/mixed;",
                                  "To: list@example.org"};
  std::string box;
  int message = 0;
  while (box.size() < 400'000) {
    const char* eol = pick(4) == 0 ? "\r\n" : "\n";
    box += "From user" + std::to_string(++message) + "@example.org Mon Jan  1 00:00:00 2024";
    box += eol;
    for (std::uint32_t h = 1 + pick(6); h > 0; --h) box += std::string(kHeaders[pick(9)]) + eol;
    box.append(1 + pick(3), '\n');
    for (std::uint32_t b = 3 + pick(40); b > 0; --b) {
      switch (pick(12)) {
        case 0:
          box.append(1 + pick(4), '\n');
          continue;
        case 1:
          box += "-- ";
          break;
        case 2:
          box += std::string(200 + pick(800), 'L');  // spans blocks and reads
          break;
        case 3:
          box += word() + " \t ";  // trailing bytes to trim
          break;
        default:
          for (std::uint32_t w = 1 + pick(12); w > 0; --w) box += word() + ' ';
          box += word();
      }
      box += eol;
    }
  }
  return box;
}

struct Fixture {
  const char* name;
  std::string mailbox;
  // The small buffers and short reads of the scenarios that use them. The
  // large mailbox gets somewhat larger ones: the work grows with the square
  // of the number of calls, and hundreds of writes are plenty.
  std::size_t small_blocks;
  std::size_t short_read;
};

const std::vector<Fixture>& Fixtures() {
  static const std::vector<Fixture> fixtures = {{"small", SmallMailbox(), 1, 61},
                                                {"large", LargeMailbox(), 4, 1000}};
  return fixtures;
}

struct Scenario {
  const char* name;
  bool small_buffers;       // else through the program's entry, with its own buffers
  const char* input_path;   // "": standard input
  const char* output_path;  // "": standard output (never a terminal here)
  HandleKind stdout_kind;
  bool short_reads;         // reads give less than asked, as from a pipe
};

const Scenario kScenarios[] = {
    {"the entry, named files, console on a pipe", false, "in", "out", HandleKind::kDiskOrPipe,
     false},
    {"small buffers, named files, console on a terminal", true, "in", "out",
     HandleKind::kCharacterDevice, false},
    {"small buffers, standard streams, short reads", true, "", "", HandleKind::kDiskOrPipe, true},
};

// Which standard handle carries the console text in a scenario.
Handle ConsoleHandle(const Scenario& scenario) {
  const bool mailbox_on_stdout = scenario.output_path[0] == '\0';
  return mailbox_on_stdout ? 2 : 1;
}

constexpr char kOldOutput[] = "the output file as it was before the run\n";

struct Outcome {
  int status;
  std::string output;
  std::string input;  // the input as the run left it
  std::string standard_output;
  std::string standard_error;
  std::vector<Call> calls;
};

struct Failure {
  std::size_t index;
  int code;
};

// `good`, when given, is the good run of the same scenario: its sizes spare
// the repeated runs the reallocations of a growing output and call log,
// which dominate their time under the sanitizers.
Outcome RunScenario(const Fixture& fixture, const Scenario& scenario,
                    std::optional<Failure> failure, const Outcome* good = nullptr) {
  const std::string& mailbox = fixture.mailbox;
  MemoryPlatform platform;
  platform.standard_output.kind = scenario.stdout_kind;
  if (scenario.short_reads) platform.read_limit = fixture.short_read;
  const std::string input_path = scenario.input_path;
  const std::string output_path = scenario.output_path;
  if (input_path.empty()) {
    platform.standard_input.data = mailbox;
  } else {
    platform.files[input_path] = mailbox;
  }
  if (!output_path.empty()) platform.files[output_path] = kOldOutput;
  if (failure) platform.FailCall(failure->index, failure->code);
  if (good != nullptr) {
    // Clearing the output at its open keeps this capacity.
    (output_path.empty() ? platform.standard_output.data : platform.files[output_path])
        .reserve(good->output.size());
    platform.calls.reserve(good->calls.size());
  }

  Outcome run;
  if (!scenario.small_buffers) {
    run.status = RunProgram(platform, input_path, output_path);
  } else {
    run.status = RunAsProcess(platform, [&] {
      // What the entry does, with small buffers.
      FilterMailbox(input_path, output_path, fixture.small_blocks);
      ConsoleOut().Flush();
      CheckIo();
      EndProcess(0);
    });
  }
  run.input = std::move(input_path.empty() ? platform.standard_input.data
                                            : platform.files[input_path]);
  run.standard_error = std::move(platform.standard_error.data);
  if (output_path.empty()) {
    run.output = platform.standard_output.data;
  } else {
    run.output = std::move(platform.files[output_path]);
  }
  run.standard_output = std::move(platform.standard_output.data);
  run.calls = std::move(platform.calls);
  return run;
}

bool IsPrefix(const std::string& prefix, const std::string& of) { return of.starts_with(prefix); }

// Where in the good run the output and the console were opened.
struct Landmarks {
  std::size_t output_open;
  std::size_t console_open;
};

Landmarks FindLandmarks(const Scenario& scenario, const std::vector<Call>& calls) {
  const bool mailbox_on_stdout = scenario.output_path[0] == '\0';
  std::optional<std::size_t> output_open, console_open;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const Call& call = calls[i];
    if (mailbox_on_stdout ? call.kind == CallKind::kStandardHandle && call.handle == 1
                          : call.kind == CallKind::kOpenOutput) {
      if (!output_open) output_open = i;
    }
    if (call.kind == CallKind::kStandardHandle && call.handle == ConsoleHandle(scenario)) {
      EXPECT_FALSE(console_open) << "the console was opened twice";
      console_open = i;
    }
  }
  EXPECT_TRUE(output_open && console_open);
  return {output_open.value_or(0), console_open.value_or(0)};
}

struct Code {
  int code;
  int status;
};

// A code of 256 or more passes through modulo 256; one whose low byte is 0
// must still not look like success.
const Code kCodes[] = {{error_code::kDiskFull, 112}, {error_code::kAccessDenied, 5},
                       {300, 44}, {0x200, error_code::kGeneralFailure}};

// What is wrong with a run in which call `index` failed with `code`; empty
// when nothing is.
std::string Problems(const Outcome& bad, const Outcome& good, const Landmarks& landmarks,
                     const Scenario& scenario, const std::string& mailbox, std::size_t index,
                     const Code& code) {
  std::string problems;
  const auto problem = [&](const std::string& text) { problems += text + "; "; };
  // Any failure to open the console is 105, whatever the platform said.
  const int status =
      index == landmarks.console_open ? error_code::kNotOpenForOutput : code.status;
  if (bad.status != status) {
    problem("status " + std::to_string(bad.status) + ", expected " + std::to_string(status));
  }
  if (bad.calls.size() != index + 1) {
    problem(std::to_string(bad.calls.size() - index - 1) + " calls after the failed one");
  }
  if (bad.input != mailbox) problem("the input was changed");
  const std::string before_open = scenario.output_path[0] == '\0' ? "" : kOldOutput;
  if (index <= landmarks.output_open) {
    if (bad.output != before_open) problem("the output changed before it was opened");
  } else {
    if (!IsPrefix(bad.output, good.output)) problem("the output is not a prefix of the good one");
    // Once the output is closed it is complete; a later failure (closing
    // the input, the console's last write) cannot take that back.
    if (bad.output.size() % kBlockSize != 0 && bad.output != good.output) {
      problem("the output ends in a partial block of " +
              std::to_string(bad.output.size() % kBlockSize) + " bytes");
    }
  }
  if (!IsPrefix(bad.standard_output, good.standard_output) ||
      !IsPrefix(bad.standard_error, good.standard_error)) {
    problem("something was printed that the good run had not printed by then");
  }
  return problems;
}

TEST(FaultInjection, EveryCallFailingInTurnEndsTheRunCleanly) {
  for (const Fixture& fixture : Fixtures()) {
    std::optional<std::string> reference_output;
    for (const Scenario& scenario : kScenarios) {
      SCOPED_TRACE(std::string(fixture.name) + " mailbox, " + scenario.name);
      const Outcome good = RunScenario(fixture, scenario, std::nullopt);
      ASSERT_EQ(good.status, 0);
      ASSERT_EQ(good.input, fixture.mailbox);
      // The buffers and the read sizes never change the result.
      if (!reference_output) reference_output = good.output;
      EXPECT_EQ(good.output, *reference_output);
      const Landmarks landmarks = FindLandmarks(scenario, good.calls);

      // Small buffers must really make many transfers, or this proves little
      // (a long line leaves in one write of several blocks, so there are
      // fewer writes than blocks).
      std::size_t writes = 0;
      for (const Call& call : good.calls) writes += call.kind == CallKind::kWrite;
      if (scenario.small_buffers) {
        EXPECT_GE(writes, good.output.size() / kBlockSize / fixture.small_blocks / 2);
      }

      int failed_runs = 0;
      for (std::size_t index = 0; index < good.calls.size() && failed_runs < 10; ++index) {
        // Every code at every call of the short runs; in the long ones the
        // codes take turns, which keeps the run time linear in the calls.
        const bool all_codes = good.calls.size() < 500;
        for (std::size_t c = 0; c < std::size(kCodes); ++c) {
          if (!all_codes && c != index % std::size(kCodes)) continue;
          const Outcome bad = RunScenario(fixture, scenario, Failure{index, kCodes[c].code}, &good);
          const std::string problems =
              Problems(bad, good, landmarks, scenario, fixture.mailbox, index, kCodes[c]);
          if (!problems.empty()) {
            ADD_FAILURE() << "call " << index << " of " << good.calls.size() << " (kind "
                          << static_cast<int>(good.calls[index].kind) << ") failing with "
                          << kCodes[c].code << ": " << problems;
            ++failed_runs;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace mboxclean

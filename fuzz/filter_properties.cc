#include "fuzz/filter_properties.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filter/console_texts.h"
#include "filter/filter_mailbox.h"
#include "tests/memory_platform.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"
#include "textio/text_stream.h"

namespace mboxclean::fuzz {
namespace {

using testing::CallKind;
using testing::MemoryPlatform;

// The input's lines as a user reads the file: LF ends a line and every CR
// vanishes; a last line without LF still counts; a byte 0x1A where a line
// would begin ends the input.
std::vector<std::string> InputLines(std::string_view data) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < data.size() && data[pos] != '\x1a') {
    const std::size_t lf = data.find('\n', pos);
    const std::size_t end = lf == std::string_view::npos ? data.size() : lf;
    std::string line;
    for (std::size_t i = pos; i < end; ++i) {
      if (data[i] != '\r') line += data[i];
    }
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return lines;
}

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

std::string Normalised(std::string line) {
  if (StartsWith(line, "-- ")) return line;
  while (!line.empty() && static_cast<unsigned char>(line.back()) <= 0x20) line.pop_back();
  return line;
}

// The Subject cut drops the first "- fido7." with everything after it and
// the one byte before it, but never any of "Subject:" itself. An empty
// result means the line has no tag.
std::string SubjectCut(const std::string& line) {
  constexpr std::string_view kSubject = "Subject:";
  if (!StartsWith(line, kSubject)) return {};
  const std::size_t tag = line.find("- fido7.");
  if (tag == std::string::npos) return {};
  return line.substr(0, std::max(tag - 1, kSubject.size()));
}

std::vector<std::string> OutputLines(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < output.size()) {
    const std::size_t lf = output.find('\n', pos);
    if (lf == std::string::npos) break;  // reported as a missing last LF
    lines.push_back(output.substr(pos, lf - pos));
    pos = lf + 1;
  }
  return lines;
}

std::string Console(std::int64_t messages) {
  std::string text;
  for (std::int64_t n = 1; n <= messages; ++n) {
    text += std::string(kProgressText) + std::to_string(n) + '\r';
  }
  return text + std::string(kSummaryPrefix) + std::to_string(messages) +
         std::string(kSummarySuffix) + "\r\n";
}

struct Outcome {
  int status;
  std::string input, output, console;
  std::vector<testing::Call> calls;
};

// Through the program's entry, named files, console on a pipe.
Outcome RunOnFiles(std::string_view input, std::size_t fail_call, int code,
                   LineLoop loop = LineLoop::kBulk) {
  MemoryPlatform platform;
  platform.files["in"] = std::string(input);
  if (code != 0) platform.FailCall(fail_call, code);
  Outcome outcome;
  outcome.status = testing::RunProgram(platform, "in", "out", loop);
  outcome.input = platform.files["in"];
  outcome.output = platform.files["out"];
  outcome.console = platform.standard_output.data;
  outcome.calls = platform.calls;
  return outcome;
}

// Standard input to standard output with one-block buffers and reads of a
// size taken from the input; the console goes to standard error, a
// terminal.
Outcome RunOnStandardStreams(std::string_view input, LineLoop loop) {
  MemoryPlatform platform;
  platform.standard_input.data = std::string(input);
  platform.read_limit = 1 + input.size() % 97;
  Outcome outcome;
  outcome.status = testing::RunAsProcess(platform, [loop] {
    FilterMailbox("", "", 1, loop);
    EndProcess(0);
  });
  outcome.input = platform.standard_input.data;
  outcome.output = platform.standard_output.data;
  outcome.console = platform.standard_error.data;
  outcome.calls = platform.calls;
  return outcome;
}

// Named input to a terminal as standard output, which gets every line as a
// write of its own, with the console text between the messages; the
// program's own buffers.
Outcome RunToTerminal(std::string_view input, LineLoop loop) {
  MemoryPlatform platform;
  platform.files["in"] = std::string(input);
  platform.standard_output.kind = HandleKind::kCharacterDevice;
  Outcome outcome;
  outcome.status = testing::RunProgram(platform, "in", "", loop);
  outcome.input = platform.files["in"];
  outcome.output = platform.standard_output.data;
  outcome.calls = platform.calls;
  return outcome;
}

// Named files through one-block buffers, with whole reads, so that many
// refills fall between runs of lines taken from the buffer.
Outcome RunOnFilesInBlocks(std::string_view input, LineLoop loop) {
  MemoryPlatform platform;
  platform.files["in"] = std::string(input);
  Outcome outcome;
  outcome.status = testing::RunAsProcess(platform, [loop] {
    FilterMailbox("in", "out", 1, loop);
    EndProcess(0);
  });
  outcome.input = platform.files["in"];
  outcome.output = platform.files["out"];
  outcome.console = platform.standard_output.data;
  outcome.calls = platform.calls;
  return outcome;
}

bool SameCalls(const std::vector<testing::Call>& a, const std::vector<testing::Call>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const testing::Call& x, const testing::Call& y) {
                      return x.kind == y.kind && x.handle == y.handle && x.size == y.size;
                    });
}

// The bulk loop against the line-by-line one: everything a run shows, and
// every call it makes, must be the same.
void CompareLoops(const Outcome& bulk, const Outcome& line_by_line, const std::string& what,
                  const std::function<void(const std::string&)>& problem) {
  if (bulk.status != line_by_line.status) {
    problem(what + ": the bulk loop exited with " + std::to_string(bulk.status) +
            ", the line-by-line loop with " + std::to_string(line_by_line.status));
  }
  if (bulk.output != line_by_line.output) problem(what + ": the two loops' outputs differ");
  if (bulk.console != line_by_line.console) problem(what + ": the two loops' console texts differ");
  if (!SameCalls(bulk.calls, line_by_line.calls)) problem(what + ": the two loops' calls differ");
}

}  // namespace

std::string CheckFilterProperties(std::string_view input) {
  std::string problems;
  const auto problem = [&](const std::string& text) { problems += text + "\n"; };

  std::vector<std::string> lines = InputLines(input);
  std::vector<std::string> separators;
  for (std::string& line : lines) {
    line = Normalised(std::move(line));
    if (StartsWith(line, "From ")) separators.push_back(line);
  }

  const Outcome good = RunOnFiles(input, 0, 0);
  if (good.status != 0) problem("the run exited with " + std::to_string(good.status));
  if (good.input != input) problem("the input was changed");
  CompareLoops(good, RunOnFiles(input, 0, 0, LineLoop::kLineByLine), "named files", problem);
  const Outcome blocks = RunOnFilesInBlocks(input, LineLoop::kBulk);
  CompareLoops(blocks, RunOnFilesInBlocks(input, LineLoop::kLineByLine), "one-block buffers",
               problem);
  if (blocks.output != good.output) problem("one-block buffers change the output");
  const Outcome terminal = RunToTerminal(input, LineLoop::kBulk);
  CompareLoops(terminal, RunToTerminal(input, LineLoop::kLineByLine), "a terminal as output",
               problem);
  if (terminal.status != 0)
    problem("the run to a terminal exited with " + std::to_string(terminal.status));
  const Outcome small = RunOnStandardStreams(input, LineLoop::kBulk);
  CompareLoops(small, RunOnStandardStreams(input, LineLoop::kLineByLine),
               "one-block buffers and short reads", problem);
  if (small.status != 0) problem("the one-block run exited with " + std::to_string(small.status));
  if (small.output != good.output) problem("one-block buffers and short reads change the output");
  if (small.console != good.console) problem("one-block buffers change the console text");

  const std::string& output = good.output;
  if (output.find('\r') != std::string::npos) problem("the output holds a CR");
  if (!output.empty() && output.back() != '\n') problem("the output does not end with LF");

  std::size_t next = 0;  // the first input line not yet matched
  std::vector<std::string> written_separators;
  for (const std::string& line : OutputLines(output)) {
    if (StartsWith(line, "From ")) written_separators.push_back(line);
    if (line.empty()) continue;
    while (next < lines.size() && lines[next] != line && SubjectCut(lines[next]) != line) ++next;
    if (next == lines.size()) {
      problem("output line \"" + line.substr(0, 80) + "\" is no input line, in order");
      break;
    }
    ++next;
  }
  if (written_separators != separators) {
    problem("the output's " + std::to_string(written_separators.size()) +
            " \"From \" lines are not the input's " + std::to_string(separators.size()));
  }
  if (good.console != Console(static_cast<std::int64_t>(separators.size()))) {
    problem("the console text is not one progress line per message and the summary");
  }

  // One call of the good run fails, chosen by the input.
  if (!good.calls.empty()) {
    std::uint32_t hash = 2166136261u;
    for (const char byte : input) hash = (hash ^ static_cast<unsigned char>(byte)) * 16777619u;
    const std::size_t index = hash % good.calls.size();
    const Outcome bad = RunOnFiles(input, index, error_code::kDiskFull);
    // Only a failure to open the console, at its first write, is 105.
    const bool console_open = good.calls[index].kind == CallKind::kStandardHandle;
    const int status = console_open ? error_code::kNotOpenForOutput : 112;
    if (bad.status != status) {
      problem("call " + std::to_string(index) + " failing ended with " +
              std::to_string(bad.status) + ", not " + std::to_string(status));
    }
    if (bad.input != input) problem("a failing run changed the input");
    if (!good.output.starts_with(bad.output)) problem("a failing run's output is no prefix");
    if (bad.output.size() % kBlockSize != 0 && bad.output != good.output) {
      problem("a failing run's output ends in a partial block");
    }
    if (!good.console.starts_with(bad.console)) problem("a failing run printed something");
    CompareLoops(bad, RunOnFiles(input, index, error_code::kDiskFull, LineLoop::kLineByLine),
                 "call " + std::to_string(index) + " failing", problem);
  }
  return problems;
}

}  // namespace mboxclean::fuzz

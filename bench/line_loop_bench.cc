// The filter's own time per line, without the system's: each line loop over
// a mailbox held in memory, with the output thrown away. What the system
// adds (reading the file into the buffer and writing the output) is timed
// by run_bench.py against a plain copy; this measures only what is left,
// the program's work per line, steadily enough to compare two builds.
//
//   line_loop_bench MAILBOX... [--benchmark_* flags]
//
// Each MAILBOX is read whole once; every iteration filters all of it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "filter/filter_mailbox.h"
#include "textio/platform.h"
#include "textio/text_stream.h"

namespace mboxclean {
namespace {

constexpr Handle kInput = 1;
constexpr Handle kOutput = 2;
constexpr Handle kConsole = 3;

// One input held in memory; everything written is counted and dropped.
class InMemoryMailbox final : public Platform {
 public:
  explicit InMemoryMailbox(const std::string& data) : data_(data) {}

  std::size_t written = 0;

  int OpenInputFile(std::string_view, Handle* handle) override {
    read_pos_ = 0;
    *handle = kInput;
    return 0;
  }
  int OpenOutputFile(std::string_view, Handle* handle) override {
    *handle = kOutput;
    return 0;
  }
  int GetStandardHandle(StandardHandle, Handle* handle) override {
    *handle = kConsole;
    return 0;
  }
  HandleKind KindOf(Handle) override { return HandleKind::kDiskOrPipe; }
  bool IsUtf8Terminal(Handle) override { return false; }
  int Read(Handle, char* buffer, std::size_t capacity, std::size_t* count) override {
    *count = std::min(capacity, data_.size() - read_pos_);
    std::memcpy(buffer, data_.data() + read_pos_, *count);
    read_pos_ += *count;
    return 0;
  }
  int Write(Handle, const char*, std::size_t size) override {
    written += size;
    return 0;
  }
  int Close(Handle) override { return 0; }
  [[noreturn]] void Exit(int status) override {
    throw std::runtime_error("the filter failed with status " + std::to_string(status));
  }

 private:
  const std::string& data_;
  std::size_t read_pos_ = 0;
};

std::string ReadWhole(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(std::string("cannot read ") + path);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return std::move(bytes).str();
}

void FilterInMemory(benchmark::State& state, const std::string* mailbox, LineLoop loop) {
  InMemoryMailbox platform(*mailbox);
  SetCurrentPlatform(&platform);
  for (auto _ : state) {
    ResetTextIoProcessState();
    FilterMailbox("in", "out", kDefaultBufferBlocks, loop);
    benchmark::DoNotOptimize(platform.written);
  }
  SetCurrentPlatform(nullptr);
  const std::size_t lines =
      static_cast<std::size_t>(std::count(mailbox->begin(), mailbox->end(), '\n'));
  // Seconds per line, which the report shows in ns ("12.3n").
  state.counters["per_line"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * mailbox->size()));
}

}  // namespace
}  // namespace mboxclean

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  static std::vector<std::string> mailboxes;
  mailboxes.reserve(static_cast<std::size_t>(argc));
  for (int i = 1; i < argc; ++i) mailboxes.push_back(mboxclean::ReadWhole(argv[i]));
  for (int i = 1; i < argc; ++i) {
    const std::string* mailbox = &mailboxes[static_cast<std::size_t>(i - 1)];
    const std::string name = std::string(argv[i]).substr(std::string(argv[i]).rfind('/') + 1);
    for (const auto& [loop_name, loop] :
         {std::pair{"bulk", mboxclean::LineLoop::kBulk},
          std::pair{"line-by-line", mboxclean::LineLoop::kLineByLine}}) {
      benchmark::RegisterBenchmark((name + "/" + loop_name).c_str(), mboxclean::FilterInMemory,
                                   mailbox, loop)
          ->Unit(benchmark::kMillisecond)
          // On a shared machine the fastest of several repetitions is the
          // steadiest figure: other work only ever adds time.
          ->ComputeStatistics("min", [](const std::vector<double>& runs) {
            return *std::min_element(runs.begin(), runs.end());
          });
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// An in-memory platform for tests: files in a map, standard handles of a
// chosen kind, a log of every call, and any call failing with any code.
#ifndef MBOXCLEAN_TESTS_MEMORY_PLATFORM_H_
#define MBOXCLEAN_TESTS_MEMORY_PLATFORM_H_

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "filter/filter_mailbox.h"
#include "textio/platform.h"

namespace mboxclean::testing {

// Thrown by MemoryPlatform::Exit, so that a test sees the exit status where
// a real process would end.
struct ProcessExit {
  int status;
};

enum class CallKind { kOpenInput, kOpenOutput, kStandardHandle, kRead, kWrite, kClose };

struct Call {
  CallKind kind;
  Handle handle;      // for kStandardHandle, the one asked for: 0 input, 1 output, 2 error
  std::size_t size;  // bytes asked to read, or bytes written
};

class MemoryPlatform final : public Platform {
 public:
  struct StandardStream {
    HandleKind kind;
    std::string data;            // what it gives (input) or what reached it (output)
    bool utf8_terminal = false;  // a terminal that shows UTF-8 text
  };

  std::map<std::string, std::string> files;
  StandardStream standard_input{HandleKind::kDiskOrPipe, {}};
  StandardStream standard_output{HandleKind::kDiskOrPipe, {}};
  StandardStream standard_error{HandleKind::kCharacterDevice, {}};
  // The most a single read gives, as a pipe may give less than asked.
  std::size_t read_limit = static_cast<std::size_t>(-1);
  // Every counted call (opens, reads, writes, closes), in order.
  std::vector<Call> calls;

  // The call with this index in `calls` fails with `code` instead.
  void FailCall(std::size_t index, int code) { failures_[index] = code; }
  // Every write to a handle of the named file fails with `code`.
  void FailWritesTo(const std::string& path, int code) { write_failures_[path] = code; }

  // The sizes of the writes that reached `path` (or a standard stream, named
  // "<stdout>" and "<stderr>").
  std::vector<std::size_t> WriteSizes(const std::string& path) const;

  int OpenInputFile(std::string_view path, Handle* handle) override;
  int OpenOutputFile(std::string_view path, Handle* handle) override;
  int GetStandardHandle(StandardHandle which, Handle* handle) override;
  HandleKind KindOf(Handle handle) override;
  // Not logged: a query, not I/O, and it cannot fail.
  bool IsUtf8Terminal(Handle handle) override;
  int Read(Handle handle, char* buffer, std::size_t capacity, std::size_t* count) override;
  int Write(Handle handle, const char* data, std::size_t size) override;
  int Close(Handle handle) override;
  [[noreturn]] void Exit(int status) override;

 private:
  struct OpenHandle {
    std::string name;  // a file's path, or "<stdin>", "<stdout>", "<stderr>"
    bool for_input;
    std::size_t read_pos = 0;
  };
  std::optional<int> Fault(CallKind kind, Handle handle, std::size_t size);
  std::string* Contents(const OpenHandle& open);
  // The standard stream a handle number stands for; nullptr for a file.
  const StandardStream* StandardFor(Handle handle) const;

  std::map<std::size_t, int> failures_;
  std::map<std::string, int> write_failures_;
  std::map<Handle, OpenHandle> open_;
  std::map<std::string, std::vector<std::size_t>> write_sizes_;
  Handle next_handle_ = 100;
};

// Runs `body` as one process over `platform`: the stream layer starts fresh,
// and the status the process ends with is returned (-1 if `body` returns
// without ending it).
int RunAsProcess(MemoryPlatform& platform, const std::function<void()>& body);

// Runs the whole program with these paths over `platform`.
int RunProgram(MemoryPlatform& platform, const std::string& input_path,
               const std::string& output_path, LineLoop loop = LineLoop::kBulk);

}  // namespace mboxclean::testing

#endif  // MBOXCLEAN_TESTS_MEMORY_PLATFORM_H_

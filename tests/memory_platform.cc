#include "tests/memory_platform.h"

#include <algorithm>
#include <cstring>

#include "app/run.h"
#include "textio/error_codes.h"
#include "textio/text_stream.h"

namespace mboxclean::testing {

std::optional<int> MemoryPlatform::Fault(CallKind kind, Handle handle, std::size_t size) {
  const std::size_t index = calls.size();
  calls.push_back({kind, handle, size});
  const auto failure = failures_.find(index);
  if (failure == failures_.end()) return std::nullopt;
  return failure->second;
}

std::string* MemoryPlatform::Contents(const OpenHandle& open) {
  if (open.name == "<stdin>") return &standard_input.data;
  if (open.name == "<stdout>") return &standard_output.data;
  if (open.name == "<stderr>") return &standard_error.data;
  return &files[open.name];
}

std::vector<std::size_t> MemoryPlatform::WriteSizes(const std::string& path) const {
  const auto found = write_sizes_.find(path);
  return found == write_sizes_.end() ? std::vector<std::size_t>{} : found->second;
}

int MemoryPlatform::OpenInputFile(std::string_view path, Handle* handle) {
  if (auto code = Fault(CallKind::kOpenInput, kNoHandle, 0)) return *code;
  const std::string name(path);
  if (files.count(name) == 0) return error_code::kFileNotFound;
  for (const auto& [h, open] : open_) {
    if (open.name == name && !open.for_input) return error_code::kSharingViolation;
  }
  *handle = next_handle_++;
  open_[*handle] = {name, true};
  return 0;
}

int MemoryPlatform::OpenOutputFile(std::string_view path, Handle* handle) {
  if (auto code = Fault(CallKind::kOpenOutput, kNoHandle, 0)) return *code;
  const std::string name(path);
  // Openers share for reading only: any other open of the file conflicts.
  for (const auto& [h, open] : open_) {
    if (open.name == name) return error_code::kSharingViolation;
  }
  files[name].clear();
  *handle = next_handle_++;
  open_[*handle] = {name, false};
  return 0;
}

int MemoryPlatform::GetStandardHandle(StandardHandle which, Handle* handle) {
  const Handle number =
      which == StandardHandle::kInput ? 0 : which == StandardHandle::kOutput ? 1 : 2;
  if (auto code = Fault(CallKind::kStandardHandle, number, 0)) return *code;
  const char* name = which == StandardHandle::kInput    ? "<stdin>"
                     : which == StandardHandle::kOutput ? "<stdout>"
                                                        : "<stderr>";
  *handle = number;
  open_[*handle] = {name, which == StandardHandle::kInput,
                    open_.count(*handle) ? open_[*handle].read_pos : 0};
  return 0;
}

const MemoryPlatform::StandardStream* MemoryPlatform::StandardFor(Handle handle) const {
  switch (handle) {
    case 0:
      return &standard_input;
    case 1:
      return &standard_output;
    case 2:
      return &standard_error;
    default:
      return nullptr;
  }
}

HandleKind MemoryPlatform::KindOf(Handle handle) {
  if (open_.count(handle) == 0) return HandleKind::kUndetermined;
  const StandardStream* standard = StandardFor(handle);
  return standard != nullptr ? standard->kind : HandleKind::kDiskOrPipe;
}

bool MemoryPlatform::IsUtf8Terminal(Handle handle) {
  if (open_.count(handle) == 0) return false;
  const StandardStream* standard = StandardFor(handle);
  return standard != nullptr && standard->utf8_terminal;
}

int MemoryPlatform::Read(Handle handle, char* buffer, std::size_t capacity, std::size_t* count) {
  if (auto code = Fault(CallKind::kRead, handle, capacity)) return *code;
  const auto found = open_.find(handle);
  if (found == open_.end() || !found->second.for_input) return error_code::kInvalidHandle;
  OpenHandle& open = found->second;
  const std::string& data = *Contents(open);
  const std::size_t size =
      std::min({capacity, read_limit, data.size() - std::min(open.read_pos, data.size())});
  std::memcpy(buffer, data.data() + open.read_pos, size);
  open.read_pos += size;
  *count = size;
  return 0;
}

int MemoryPlatform::Write(Handle handle, const char* data, std::size_t size) {
  if (auto code = Fault(CallKind::kWrite, handle, size)) return *code;
  const auto found = open_.find(handle);
  if (found == open_.end() || found->second.for_input) return error_code::kInvalidHandle;
  const auto failure = write_failures_.find(found->second.name);
  if (failure != write_failures_.end()) return failure->second;
  Contents(found->second)->append(data, size);
  write_sizes_[found->second.name].push_back(size);
  return 0;
}

int MemoryPlatform::Close(Handle handle) {
  if (auto code = Fault(CallKind::kClose, handle, 0)) return *code;
  if (open_.erase(handle) == 0) return error_code::kInvalidHandle;
  return 0;
}

void MemoryPlatform::Exit(int status) { throw ProcessExit{status}; }

int RunAsProcess(MemoryPlatform& platform, const std::function<void()>& body) {
  SetCurrentPlatform(&platform);
  ResetTextIoProcessState();
  int status = -1;
  try {
    body();
  } catch (const ProcessExit& exit) {
    status = exit.status;
  }
  SetCurrentPlatform(nullptr);
  ResetTextIoProcessState();
  return status;
}

int RunProgram(MemoryPlatform& platform, const std::string& input_path,
               const std::string& output_path, LineLoop loop) {
  return RunAsProcess(platform, [&] { RunMailboxClean(input_path, output_path, loop); });
}

}  // namespace mboxclean::testing

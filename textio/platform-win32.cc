// The platform on Win32 (kernel32).
//
// Error codes are GetLastError's own: they are the numbers every other
// backend maps its errors onto. The sharing rules come from the share modes
// themselves: both opens grant other openers read sharing only, so an
// output that names the open input fails with ERROR_SHARING_VIOLATION (32)
// inside CreateFileA, before CREATE_ALWAYS can truncate anything.
//
// Standard handles are inherited already open, so no share mode guards
// them against one another: a standard output is compared with the open
// inputs by file identity, as the POSIX backend does, so that
// `mboxclean < in.mbox >> in.mbox` cannot read its own output forever.
// (`mboxclean in.mbox >> in.mbox` needs no such check: the shell's handle
// writes the file, so the input's share mode refuses it with 32.)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "textio/error_codes.h"
#include "textio/platform.h"

namespace mboxclean {
namespace {

namespace ec = error_code;

// One ReadFile or WriteFile moves at most a DWORD's worth of bytes; a
// gigabyte keeps every request well inside that.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

HANDLE ToWin32(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle FromWin32(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// A failed call whose last error is 0 must still fail: 0 would read as
// success, so it is taken as the general failure.
int LastErrorCode() {
  const DWORD code = GetLastError();
  return code == ERROR_SUCCESS ? ec::kGeneralFailure : static_cast<int>(code);
}

struct FileIdentity {
  ULONGLONG volume;
  std::array<BYTE, sizeof(FILE_ID_128)> file;
  bool operator==(const FileIdentity&) const = default;
};

// Only disk files have an identity worth comparing: a console may well be
// standard input and standard output at once. FileIdInfo asks for the
// identity alone; GetFileInformationByHandle also reads the attributes,
// which needs read-attributes access, and under Wine fails for a handle
// inherited from a Linux shell.
bool IdentityOf(HANDLE handle, FileIdentity* identity) {
  if (GetFileType(handle) != FILE_TYPE_DISK) return false;
  FILE_ID_INFO info;
  if (!GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof info)) return false;
  identity->volume = info.VolumeSerialNumber;
  std::memcpy(identity->file.data(), info.FileId.Identifier, identity->file.size());
  return true;
}

// Both opens let other openers read the file and nothing more. A folder is
// refused with ERROR_ACCESS_DENIED, as it is opened without
// FILE_FLAG_BACKUP_SEMANTICS. Paths of any length go to the system whole;
// one it cannot take fails there (ERROR_FILENAME_EXCED_RANGE, 206).
int OpenFile(std::string_view path, DWORD access, DWORD disposition, HANDLE* file) {
  const std::string name(path);
  *file = CreateFileA(name.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return *file == INVALID_HANDLE_VALUE ? LastErrorCode() : 0;
}

class Win32Platform final : public Platform {
 public:
  int OpenInputFile(std::string_view path, Handle* handle) override {
    HANDLE file;
    if (const int code = OpenFile(path, GENERIC_READ, OPEN_EXISTING, &file); code != 0) {
      return code;
    }
    RememberInput(file);
    *handle = FromWin32(file);
    return 0;
  }

  int OpenOutputFile(std::string_view path, Handle* handle) override {
    // CREATE_ALWAYS checks the share modes of every open handle before it
    // truncates, so a refused open leaves the file exactly as it was.
    HANDLE file;
    if (const int code = OpenFile(path, GENERIC_WRITE, CREATE_ALWAYS, &file); code != 0) {
      return code;
    }
    *handle = FromWin32(file);
    return 0;
  }

  int GetStandardHandle(StandardHandle which, Handle* handle) override {
    const DWORD id = which == StandardHandle::kInput    ? STD_INPUT_HANDLE
                     : which == StandardHandle::kOutput ? STD_OUTPUT_HANDLE
                                                        : STD_ERROR_HANDLE;
    // GetStdHandle leaves the last error alone on success, and a parent may
    // hand down INVALID_HANDLE_VALUE itself, so only a code set by this very
    // call counts as its failure.
    SetLastError(ERROR_SUCCESS);
    const HANDLE standard = GetStdHandle(id);
    if (standard == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SUCCESS) {
      return static_cast<int>(GetLastError());
    }
    // A process started without the handle (NULL) or with an invalid one
    // gets kNoHandle: its kind is undetermined and any transfer fails.
    if (standard == nullptr || standard == INVALID_HANDLE_VALUE) {
      *handle = kNoHandle;
      return 0;
    }
    if (which == StandardHandle::kInput) {
      RememberInput(standard);
    } else if (IsOpenInput(standard)) {
      return ec::kSharingViolation;
    }
    *handle = FromWin32(standard);
    return 0;
  }

  HandleKind KindOf(Handle handle) override {
    if (handle == kNoHandle) return HandleKind::kUndetermined;
    switch (GetFileType(ToWin32(handle))) {
      case FILE_TYPE_CHAR:
        return HandleKind::kCharacterDevice;
      case FILE_TYPE_DISK:
      case FILE_TYPE_PIPE:
        return HandleKind::kDiskOrPipe;
      default:  // FILE_TYPE_UNKNOWN, which an invalid handle gives too
        return HandleKind::kUndetermined;
    }
  }

  // The console shows the CP866 texts as they are meant, in code page 866.
  bool IsUtf8Terminal(Handle) override { return false; }

  int Read(Handle handle, char* buffer, std::size_t capacity, std::size_t* count) override {
    if (handle == kNoHandle) return ec::kInvalidHandle;
    DWORD got = 0;
    const DWORD asked = static_cast<DWORD>(std::min(capacity, kMostPerCall));
    if (!ReadFile(ToWin32(handle), buffer, asked, &got, nullptr)) {
      // The writing end of a pipe has gone: that is the end of the data.
      if (GetLastError() == ERROR_BROKEN_PIPE) {
        *count = 0;
        return 0;
      }
      return LastErrorCode();
    }
    *count = got;
    return 0;
  }

  int Write(Handle handle, const char* data, std::size_t size) override {
    if (handle == kNoHandle) return ec::kInvalidHandle;
    // A pipe or console may take fewer bytes than offered; the rest follows
    // until every byte is written or a call fails.
    const HANDLE win32 = ToWin32(handle);
    std::size_t written = 0;
    while (written < size) {
      DWORD put = 0;
      const DWORD offered = static_cast<DWORD>(std::min(size - written, kMostPerCall));
      const BOOL done = WriteFile(win32, data + written, offered, &put, nullptr);
      written += put;
      if (!done) {
        const int code = LastErrorCode();
        TakeBack(win32, written);
        return code;
      }
      // Success that moves nothing would loop for ever.
      if (put == 0) {
        TakeBack(win32, written);
        return ec::kWriteFault;
      }
    }
    return 0;
  }

  int Close(Handle handle) override {
    if (handle == kNoHandle) return 0;
    const HANDLE win32 = ToWin32(handle);
    std::erase_if(inputs_, [win32](const Input& input) { return input.handle == win32; });
    if (!CloseHandle(win32)) return LastErrorCode();
    return 0;
  }

  [[noreturn]] void Exit(int status) override { ExitProcess(static_cast<UINT>(status)); }

 private:
  struct Input {
    HANDLE handle;
    FileIdentity identity;
  };

  // A write that fails after part of its bytes reached a disk file (the
  // disk filling up inside it) is cut back to where it began, so that the
  // file keeps only whole writes. Bytes in a pipe or on a device cannot be
  // taken back. If this fails too, the failure already reported counts.
  static void TakeBack(HANDLE file, std::size_t written) {
    if (written == 0 || GetFileType(file) != FILE_TYPE_DISK) return;
    LARGE_INTEGER back;
    back.QuadPart = -static_cast<LONGLONG>(written);
    if (SetFilePointerEx(file, back, nullptr, FILE_CURRENT)) SetEndOfFile(file);
  }

  void RememberInput(HANDLE handle) {
    FileIdentity identity;
    if (IdentityOf(handle, &identity)) inputs_.push_back({handle, identity});
  }

  bool IsOpenInput(HANDLE handle) const {
    FileIdentity identity;
    if (!IdentityOf(handle, &identity)) return false;
    return std::any_of(inputs_.begin(), inputs_.end(),
                       [&](const Input& input) { return input.identity == identity; });
  }

  std::vector<Input> inputs_;
};

}  // namespace

Platform& NativePlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace mboxclean

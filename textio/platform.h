// The operating-system interface of the text streams.
//
// Everything the program does to the outside world goes through one
// Platform: opening, reading, writing and closing handles, asking what kind
// of handle a standard stream is, and ending the process. Nothing above this
// interface calls the operating system, so the whole filter runs in tests
// over an in-memory platform (tests/memory_platform.h) that can fail any
// call with any code.
//
// Error codes are the Win32 numbers of the conditions (2 file not found,
// 3 path not found, 5 access denied, 32 sharing violation, ...); each
// backend maps its own errors onto them, so the same condition gives the
// same exit status everywhere. 0 means success.
#ifndef MBOXCLEAN_TEXTIO_PLATFORM_H_
#define MBOXCLEAN_TEXTIO_PLATFORM_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mboxclean {

// An open platform handle; kNoHandle when there is none.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class StandardHandle { kInput, kOutput, kError };

// What a handle is bound to decides when written bytes leave the buffer.
enum class HandleKind {
  kCharacterDevice,  // a terminal: every write statement is written at once
  kDiskOrPipe,       // a file, pipe or socket: whole buffers, and the rest at close
  kUndetermined,     // no usable kind, or no valid handle at all
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Opens an existing file for reading. Other openers may read it while it
  // is open, but not write it.
  virtual int OpenInputFile(std::string_view path, Handle* handle) = 0;
  // Opens a file for writing, created if missing and truncated if not.
  // Fails with 32, leaving the file exactly as it was, when the file is open
  // for writing elsewhere or is the input this process is reading.
  virtual int OpenOutputFile(std::string_view path, Handle* handle) = 0;
  // The process's standard handle. A standard handle for writing that is
  // the input this process is reading fails with 32.
  virtual int GetStandardHandle(StandardHandle which, Handle* handle) = 0;
  virtual HandleKind KindOf(Handle handle) = 0;
  // Whether `handle` is a terminal that shows text as UTF-8, so that console
  // text is written there in UTF-8 rather than CP866. Only a POSIX terminal
  // is: the Windows console shows the CP866 bytes the program was made for.
  virtual bool IsUtf8Terminal(Handle handle) = 0;
  // Reads up to `capacity` bytes; `*count` 0 is the end of the data. A pipe
  // whose writer has gone is the end of the data, not a failure.
  virtual int Read(Handle handle, char* buffer, std::size_t capacity, std::size_t* count) = 0;
  // Writes all `size` bytes, or fails; a regular file that fails keeps
  // none of them.
  virtual int Write(Handle handle, const char* data, std::size_t size) = 0;
  // Releases a handle opened by OpenInputFile or OpenOutputFile, or a
  // standard handle whose kind was undetermined.
  virtual int Close(Handle handle) = 0;
  // Ends the process at once with `status`: nothing is unwound or written
  // out, and no message is printed.
  [[noreturn]] virtual void Exit(int status) = 0;
};

// The platform every stream uses. It starts as the real one of the build.
Platform& CurrentPlatform();
// Installs `platform` (nullptr restores the real one); for tests.
void SetCurrentPlatform(Platform* platform);
// The real platform of this build (POSIX or Win32).
Platform& NativePlatform();

// Ends the process through the current platform.
[[noreturn]] void EndProcess(int status);

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_PLATFORM_H_

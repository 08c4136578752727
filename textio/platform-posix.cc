// The platform on POSIX systems.
//
// Errors are mapped onto the Win32 numbers of the same conditions, so that a
// user sees the same exit status on every platform. Share modes are
// stood in for by advisory locks (shared on input, exclusive on output) and
// by refusing, before anything is truncated, an output that is the very
// file this process is reading.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "textio/error_codes.h"
#include "textio/platform.h"

namespace mboxclean {
namespace {

namespace ec = error_code;

enum class Operation { kOpen, kRead, kWrite, kOther };

// ENOENT is "file not found" when the file's own folder exists, and "path
// not found" when a folder on the way is missing.
int NotFoundCode(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ec::kFileNotFound;
  const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  struct stat info;
  if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ec::kFileNotFound;
  return ec::kPathNotFound;
}

int CodeForErrno(int error, Operation operation, const std::string& path = {}) {
  switch (error) {
    case ENOENT:
      return NotFoundCode(path);
    case ENOTDIR:
      return ec::kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ec::kAccessDenied;
    case ETXTBSY:
    case EBUSY:
    case EWOULDBLOCK:
      return ec::kSharingViolation;
    case EMFILE:
    case ENFILE:
      return ec::kTooManyOpenFiles;
    case EBADF:
      return ec::kInvalidHandle;
    case ENOSPC:
    case EDQUOT:
      return ec::kDiskFull;
    case EFBIG:
      return ec::kFileTooLarge;
    case ENAMETOOLONG:
      return ec::kPathTooLong;
    case EPIPE:
      return operation == Operation::kWrite ? ec::kBrokenPipe : ec::kGeneralFailure;
    case EIO:
      if (operation == Operation::kRead) return ec::kReadFault;
      if (operation == Operation::kWrite) return ec::kWriteFault;
      return ec::kGeneralFailure;
    case EINVAL:
      return ec::kInvalidParameter;
    default:
      return ec::kGeneralFailure;
  }
}

struct FileIdentity {
  dev_t device;
  ino_t inode;
  bool operator==(const FileIdentity&) const = default;
};

class PosixPlatform final : public Platform {
 public:
  PosixPlatform() {
    // A reader that goes away, or a file that reaches the size limit, must
    // end the run with a status (232, 223), not a signal.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    // A standard descriptor the process was started without stays missing;
    // it is filled with /dev/null only so that no file opened later takes
    // its number and passes for a standard stream.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
      if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
        missing_standard_[fd] = true;
        ::open("/dev/null", O_RDWR);
      }
    }
  }

  int OpenInputFile(std::string_view path, Handle* handle) override {
    const std::string name(path);
    const int fd = OpenRetrying(name, O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) return CodeForErrno(errno, Operation::kOpen, name);
    struct stat info;
    if (::fstat(fd, &info) != 0) return Abandon(fd, CodeForErrno(errno, Operation::kOpen));
    // A folder opens for reading on POSIX, but it is no mailbox.
    if (S_ISDIR(info.st_mode)) return Abandon(fd, ec::kAccessDenied);
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno != ENOLCK && errno != EINVAL &&
        errno != EOPNOTSUPP) {
      return Abandon(fd, CodeForErrno(errno, Operation::kOpen));
    }
    RememberInput(fd, info);
    *handle = fd;
    return 0;
  }

  int OpenOutputFile(std::string_view path, Handle* handle) override {
    const std::string name(path);
    // No O_TRUNC: nothing may be cut before the checks below have passed.
    const int fd = OpenRetrying(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return CodeForErrno(errno, Operation::kOpen, name);
    if (const int code = RefuseInput(fd); code != 0) return Abandon(fd, code);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EINVAL &&
        errno != EOPNOTSUPP) {
      return Abandon(fd, CodeForErrno(errno, Operation::kOpen));
    }
    struct stat info;
    if (::fstat(fd, &info) != 0) return Abandon(fd, CodeForErrno(errno, Operation::kOpen));
    if (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) {
      return Abandon(fd, CodeForErrno(errno, Operation::kOpen));
    }
    *handle = fd;
    return 0;
  }

  int GetStandardHandle(StandardHandle which, Handle* handle) override {
    const int fd = which == StandardHandle::kInput    ? STDIN_FILENO
                   : which == StandardHandle::kOutput ? STDOUT_FILENO
                                                      : STDERR_FILENO;
    if (missing_standard_[fd]) {
      *handle = kNoHandle;  // of undetermined kind, as the process has none
      return 0;
    }
    if (which == StandardHandle::kInput) {
      struct stat info;
      if (::fstat(fd, &info) == 0) RememberInput(fd, info);
    } else if (const int code = RefuseInput(fd); code != 0) {
      return code;
    }
    *handle = fd;
    return 0;
  }

  HandleKind KindOf(Handle handle) override {
    struct stat info;
    if (::fstat(static_cast<int>(handle), &info) != 0) return HandleKind::kUndetermined;
    if (S_ISCHR(info.st_mode)) return HandleKind::kCharacterDevice;
    if (S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) ||
        S_ISBLK(info.st_mode)) {
      return HandleKind::kDiskOrPipe;
    }
    return HandleKind::kUndetermined;
  }

  // A terminal's text is UTF-8 on every POSIX system the program is built
  // for; no locale is asked, as the program reads no environment.
  bool IsUtf8Terminal(Handle handle) override {
    const int fd = static_cast<int>(handle);
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && ::isatty(fd) == 1;
  }

  int Read(Handle handle, char* buffer, std::size_t capacity, std::size_t* count) override {
    for (;;) {
      const ssize_t got = ::read(static_cast<int>(handle), buffer, capacity);
      if (got >= 0) {
        *count = static_cast<std::size_t>(got);
        return 0;
      }
      if (errno != EINTR) return CodeForErrno(errno, Operation::kRead);
    }
  }

  int Write(Handle handle, const char* data, std::size_t size) override {
    const int fd = static_cast<int>(handle);
    std::size_t written = 0;
    while (written < size) {
      const ssize_t put = ::write(fd, data + written, size - written);
      if (put < 0) {
        if (errno == EINTR) continue;
        const int code = CodeForErrno(errno, Operation::kWrite);
        TakeBack(fd, written);
        return code;
      }
      written += static_cast<std::size_t>(put);
    }
    return 0;
  }

  int Close(Handle handle) override {
    const int fd = static_cast<int>(handle);
    std::erase_if(inputs_, [fd](const auto& input) { return input.first == fd; });
    // close is not retried on EINTR: the descriptor is gone either way.
    if (::close(fd) != 0 && errno != EINTR) return CodeForErrno(errno, Operation::kOther);
    return 0;
  }

  [[noreturn]] void Exit(int status) override { ::_exit(status); }

 private:
  static int OpenRetrying(const std::string& name, int flags, mode_t mode) {
    int fd;
    do {
      fd = ::open(name.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }

  // A write that fails after a short one (a size limit or a full disk
  // reached inside the data) has left part of its bytes in the file; a
  // regular file is cut back to where the write began, so that it keeps
  // only whole writes. Bytes in a pipe or on a device cannot be taken back.
  static void TakeBack(int fd, std::size_t written) {
    struct stat info;
    if (written == 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return;
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    // If this fails too, the failure already reported is the one that counts.
    if (end >= static_cast<off_t>(written)) {
      static_cast<void>(::ftruncate(fd, end - static_cast<off_t>(written)));
    }
  }

  static int Abandon(int fd, int code) {
    ::close(fd);
    return code;
  }

  // Only regular files are compared: a terminal may well be standard input
  // and standard output at once.
  void RememberInput(int fd, const struct stat& info) {
    if (S_ISREG(info.st_mode)) inputs_.emplace_back(fd, FileIdentity{info.st_dev, info.st_ino});
  }

  // A handle for writing must not be a file this process is reading: the
  // input would be truncated, or would read its own output forever.
  int RefuseInput(int fd) const {
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    for (const auto& input : inputs_) {
      if (input.second == FileIdentity{info.st_dev, info.st_ino}) return ec::kSharingViolation;
    }
    return 0;
  }

  std::vector<std::pair<int, FileIdentity>> inputs_;
  bool missing_standard_[3] = {false, false, false};
};

}  // namespace

Platform& NativePlatform() {
  static PosixPlatform platform;
  return platform;
}

}  // namespace mboxclean

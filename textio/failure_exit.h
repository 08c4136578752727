// The pending I/O error and the one way a failure ends the process.
//
// Stream operations never return or throw their failures: each records its
// code in IoError, replacing any earlier one, and the caller runs CheckIo
// after every operation and every write statement. A pending error ends the
// process there, with no message and nothing written out or closed, so an
// output file keeps exactly the bytes already handed to the platform.
#ifndef MBOXCLEAN_TEXTIO_FAILURE_EXIT_H_
#define MBOXCLEAN_TEXTIO_FAILURE_EXIT_H_

namespace mboxclean {

// Ends the process at once with ExitStatusForCode(code).
[[noreturn]] void FailureExit(int code);

namespace internal {
// constinit lets every use read the variable directly, without the call a
// thread_local with dynamic initialisation would need.
extern constinit thread_local int pending_io_error;
}  // namespace internal

// The pending error code of this thread; 0 when none is pending.
inline int IoError() { return internal::pending_io_error; }
void SetIoError(int code);
// Clears the pending error; only a new process (or a test standing in for
// one) starts with a clean slate.
void ClearIoError();

// Ends the process if an error is pending. Inline: it follows every line.
inline void CheckIo() {
  if (internal::pending_io_error != 0) FailureExit(internal::pending_io_error);
}

// The exit status for a failure code: the code modulo 256, except that a
// code whose low byte is 0 gives 31 (general failure), so that no failure
// ever exits with the status of a complete run.
int ExitStatusForCode(int code);

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_FAILURE_EXIT_H_

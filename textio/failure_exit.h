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

// The pending error code of this thread; 0 when none is pending.
int IoError();
void SetIoError(int code);
// Clears the pending error; only a new process (or a test standing in for
// one) starts with a clean slate.
void ClearIoError();

// Ends the process if an error is pending.
void CheckIo();

// The exit status for a failure code: the code modulo 256, except that a
// code whose low byte is 0 gives 31 (general failure), so that no failure
// ever exits with the status of a complete run.
int ExitStatusForCode(int code);

// Ends the process at once with ExitStatusForCode(code).
[[noreturn]] void FailureExit(int code);

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_FAILURE_EXIT_H_

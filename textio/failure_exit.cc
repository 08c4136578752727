#include "textio/failure_exit.h"

#include "textio/error_codes.h"
#include "textio/platform.h"

namespace mboxclean {
namespace {

thread_local int pending_io_error = 0;

}  // namespace

int IoError() { return pending_io_error; }
void SetIoError(int code) { pending_io_error = code; }
void ClearIoError() { pending_io_error = 0; }

void CheckIo() {
  if (pending_io_error != 0) FailureExit(pending_io_error);
}

int ExitStatusForCode(int code) {
  const int status = static_cast<int>(static_cast<unsigned>(code) & 0xFFu);
  return status == 0 ? error_code::kGeneralFailure : status;
}

void FailureExit(int code) { EndProcess(ExitStatusForCode(code)); }

}  // namespace mboxclean

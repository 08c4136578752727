#include "textio/failure_exit.h"

#include "textio/error_codes.h"
#include "textio/platform.h"

namespace mboxclean {

constinit thread_local int internal::pending_io_error = 0;

void SetIoError(int code) { internal::pending_io_error = code; }
void ClearIoError() { internal::pending_io_error = 0; }

int ExitStatusForCode(int code) {
  const int status = static_cast<int>(static_cast<unsigned>(code) & 0xFFu);
  return status == 0 ? error_code::kGeneralFailure : status;
}

void FailureExit(int code) { EndProcess(ExitStatusForCode(code)); }

}  // namespace mboxclean

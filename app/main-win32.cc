// The entry on Win32: the program gets its command line as one string and
// splits it itself (app/command_line.h), stepping characters of the current
// ANSI code page. Argument 1 is the input path, argument 2 the output path;
// a missing one is empty, which selects the standard handle.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <new>

#include "app/command_line.h"
#include "app/run.h"
#include "textio/error_codes.h"
#include "textio/failure_exit.h"

namespace {

// CharNextA has the calling convention of the system, not of a plain
// function pointer.
const char* StepAnsiCharacter(const char* character) { return CharNextA(character); }

}  // namespace

int main() {
  mboxclean::CommandLinePaths paths;
  try {
    paths = mboxclean::SplitPaths(GetCommandLineA(), StepAnsiCharacter);
  } catch (const std::bad_alloc&) {
    mboxclean::FailureExit(mboxclean::error_code::kOutOfMemory);
  }
  mboxclean::RunMailboxClean(paths.input, paths.output);
}

// The entry on POSIX systems: the shell has already split the command line.
// Argument 1 is the input path, argument 2 the output path; a missing one is
// empty, which selects the standard handle. Further arguments are ignored.
#include "app/run.h"

int main(int argc, char** argv) {
  const char* input = argc > 1 ? argv[1] : "";
  const char* output = argc > 2 ? argv[2] : "";
  mboxclean::RunMailboxClean(input, output);
}

// libFuzzer entry: every input is a mailbox, run through the filter over the
// in-memory platform, and every property of filter_properties.h is checked.
// A violated property aborts with its description, so that libFuzzer keeps
// the input as a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/filter_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string problems =
      mboxclean::fuzz::CheckFilterProperties({reinterpret_cast<const char*>(data), size});
  if (!problems.empty()) {
    std::fprintf(stderr, "property violated:\n%s", problems.c_str());
    std::abort();
  }
  return 0;
}

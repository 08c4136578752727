#include "textio/platform.h"

#include <cstdlib>

namespace mboxclean {
namespace {

Platform* installed_platform = nullptr;

}  // namespace

Platform& CurrentPlatform() {
  return installed_platform != nullptr ? *installed_platform : NativePlatform();
}

void SetCurrentPlatform(Platform* platform) { installed_platform = platform; }

void EndProcess(int status) {
  CurrentPlatform().Exit(status);
  std::abort();  // an Exit that returns breaks its contract
}

}  // namespace mboxclean

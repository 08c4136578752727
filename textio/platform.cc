#include "textio/platform.h"

namespace mboxclean {
namespace {

Platform* installed_platform = nullptr;

}  // namespace

Platform& CurrentPlatform() {
  return installed_platform != nullptr ? *installed_platform : NativePlatform();
}

void SetCurrentPlatform(Platform* platform) { installed_platform = platform; }

}  // namespace mboxclean

#include "filter/footer_markers.h"

namespace mboxclean {

// No footer is recognised yet.
bool IsFooterLine(std::string_view) { return false; }

}  // namespace mboxclean

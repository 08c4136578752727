// The state of one filtering run; see filter_mailbox.cc for how each field
// moves.
#ifndef MBOXCLEAN_FILTER_FILTER_STATE_H_
#define MBOXCLEAN_FILTER_FILTER_STATE_H_

#include <cstdint>

namespace mboxclean {

struct FilterState {
  // Message separators seen so far.
  std::int64_t MessageCount = 0;
  // Empty lines read and not yet written or discarded; never wraps.
  std::uint64_t PendingBlankLines = 0;
  // The current message is still in its header block.
  bool InHeader = false;
  // Header block: the last field was dropped, so its continuation lines go
  // too. Body: the rest of the message is dropped.
  bool Skipping = false;
  // The message is plain text, so footer detection is on. Lines before the
  // first separator belong to no message and get none.
  bool PlainText = false;
  // A body line "-- " was read and is held back.
  bool SignaturePending = false;
};

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_FILTER_STATE_H_

// Where the LF bytes of an input buffer lie: one bit per byte, made in a
// single pass after every read. Finding a line's end is then a bit scan
// from where the search starts, which for lines of typical length costs far
// less than a byte search started at every line. The pass uses the widest
// vector compares the processor has (AVX2 on an x86-64 that has it, chosen
// at run time; SSE2 or NEON as the build's target gives; a byte loop
// elsewhere). CR bytes, which most mailboxes lack, are looked for by a
// byte search that runs at most once per buffer, and not at all where the
// AVX2 pass saw none.
#ifndef MBOXCLEAN_TEXTIO_LINE_END_INDEX_H_
#define MBOXCLEAN_TEXTIO_LINE_END_INDEX_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace mboxclean {

class LineEndIndex {
 public:
  // Makes room for buffers of up to `capacity` bytes; a no-op when there
  // is room already.
  void Reserve(std::size_t capacity);
  // Indexes the first `size` bytes of `data` (size at most the capacity).
  void Build(const char* data, std::size_t size);
  // Whether those bytes may hold a CR: false only where the index's
  // routine looked and found none, so that a search for one can be spared.
  bool MayHoldCr() const { return may_hold_cr_; }

  // The offset of the first LF at or after `from`; the indexed size when
  // there is none.
  std::size_t NextLf(std::size_t from) const;

  // A walk over the LF bits, for a caller that wants one line end after
  // another: each costs a bit scan, with no search from an offset.
  class LfWalk {
   public:
    // The next LF, or the indexed size when there is none.
    std::size_t Next();

   private:
    friend class LineEndIndex;
    LfWalk(const LineEndIndex& index, std::size_t from);
    // All of the walk's state is here, by value and with no call out of
    // line, so that a caller's loop keeps it in registers.
    const std::uint64_t* lf_;
    std::size_t size_;
    std::size_t used_words_;
    std::size_t word_;
    std::uint64_t bits_;  // the word's LF bits not yet handed out
    std::uint64_t next_;  // the next word's bits, loaded a step ahead
  };
  // The walk over the LFs at or after `from`.
  LfWalk WalkLfs(std::size_t from) const { return LfWalk(*this, from); }

 private:
  static constexpr std::size_t kWordBits = 64;
  std::unique_ptr<std::uint64_t[]> lf_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  bool may_hold_cr_ = true;
};

// Bits past the indexed size are clear, so the scan stops at the last word.
inline std::size_t LineEndIndex::NextLf(std::size_t from) const {
  const std::uint64_t* const bits = lf_.get();
  if (from >= size_) return size_;
  std::size_t word = from / kWordBits;
  std::uint64_t found = bits[word] & (~std::uint64_t{0} << (from % kWordBits));
  const std::size_t last_word = (size_ - 1) / kWordBits;
  while (found == 0) {
    if (word == last_word) return size_;
    found = bits[++word];
  }
  return word * kWordBits + static_cast<std::size_t>(std::countr_zero(found));
}

inline LineEndIndex::LfWalk::LfWalk(const LineEndIndex& index, std::size_t from)
    : lf_(index.lf_.get()),
      size_(index.size_),
      used_words_((index.size_ + kWordBits - 1) / kWordBits),
      word_(from / kWordBits),
      bits_(0) {
  if (from < size_) {
    bits_ = lf_[word_] & (~std::uint64_t{0} << (from % kWordBits));
  } else {
    // The next step lands on the clear word (unsigned wrap for an empty
    // index, whose clear word is word 0).
    word_ = used_words_ - 1;
  }
  next_ = lf_[word_ + 1];
}

// Most lines are shorter than a word, so the next LF is in this word or
// the next: that step is taken without a branch, and only longer gaps go
// round a loop. The next word's bits are loaded a step ahead (the two
// words after the last are kept clear for it), so that the load is not
// in the chain of steps from one line end to the next.
inline std::size_t LineEndIndex::LfWalk::Next() {
  // All ones when this word is used up: then the next word, by arithmetic
  // rather than a branch that lines of every length would mispredict.
  const std::uint64_t used_up = ~std::uint64_t{0} + (bits_ != 0);
  word_ += used_up & 1;
  bits_ |= next_ & used_up;
  next_ = lf_[word_ + 1];
  if (bits_ == 0) [[unlikely]] {
    do {
      if (word_ + 1 >= used_words_) {
        // Every later call steps onto the clear word and ends here again.
        word_ = used_words_ - 1;
        next_ = 0;
        return size_;
      }
      bits_ = next_;
      next_ = lf_[++word_ + 1];
    } while (bits_ == 0);
  }
  const std::size_t at = word_ * kWordBits + static_cast<std::size_t>(std::countr_zero(bits_));
  bits_ &= bits_ - 1;
  return at;
}

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_LINE_END_INDEX_H_

// Where the LF and CR bytes of an input buffer lie: one bit per byte for
// each, made in a single pass after every read. Finding a line's end, or
// the next CR, is then a bit scan from where the search starts, which for
// lines of typical length costs far less than a byte search started at
// every line.
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

  // The offset of the first LF, or CR, at or after `from`; the indexed size
  // when there is none.
  std::size_t NextLf(std::size_t from) const { return Next(lf_.get(), from); }
  std::size_t NextCr(std::size_t from) const { return Next(cr_.get(), from); }

 private:
  std::size_t Next(const std::uint64_t* bits, std::size_t from) const;

  static constexpr std::size_t kWordBits = 64;
  std::unique_ptr<std::uint64_t[]> lf_;
  std::unique_ptr<std::uint64_t[]> cr_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

// Bits past the indexed size are clear, so the scan stops at the last word.
inline std::size_t LineEndIndex::Next(const std::uint64_t* bits, std::size_t from) const {
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

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_LINE_END_INDEX_H_

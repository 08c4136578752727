#include "textio/line_end_index.h"

#include "textio/line_end_bits.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MBOXCLEAN_HAVE_SSE2 1
#elif defined(__aarch64__) || defined(_M_ARM64)
#include <arm_neon.h>
#define MBOXCLEAN_HAVE_NEON 1
#endif

namespace mboxclean {
namespace line_end_bits {

// The LF bits of `count` bytes (at most one word's worth) one at a time:
// the tail of a buffer, and every word where no vector compare is at hand.
std::uint64_t BitsOfBytes(const unsigned char* bytes, std::size_t count) {
  std::uint64_t bits = 0;
  for (std::size_t at = 0; at < count; ++at) bits |= std::uint64_t{bytes[at] == '\n'} << at;
  return bits;
}

std::uint64_t BitsOfWord(const unsigned char* bytes) {
#ifdef MBOXCLEAN_HAVE_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  std::uint64_t bits = 0;
  for (std::size_t part = 0; part < 4; ++part) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + part * 16));
    const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, lf)));
    bits |= std::uint64_t{mask} << (part * 16);
  }
  return bits;
#elif defined(MBOXCLEAN_HAVE_NEON)
  // NEON has no byte mask move: each matching lane keeps its own bit of a
  // byte, and the sum of eight lanes, whose bits never overlap, is their
  // mask. Loads are by byte, so lane i is byte i whatever the byte order.
  static constexpr std::uint8_t kLaneBits[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                                 1, 2, 4, 8, 16, 32, 64, 128};
  const uint8x16_t lane_bits = vld1q_u8(kLaneBits);
  const uint8x16_t lf = vdupq_n_u8('\n');
  std::uint64_t bits = 0;
  for (std::size_t part = 0; part < 4; ++part) {
    const uint8x16_t sixteen = vld1q_u8(bytes + part * 16);
    const uint8x16_t kept = vandq_u8(vceqq_u8(sixteen, lf), lane_bits);
    const std::uint64_t low = vaddv_u8(vget_low_u8(kept));
    const std::uint64_t high = vaddv_u8(vget_high_u8(kept));
    bits |= (low | high << 8) << (part * 16);
  }
  return bits;
#else
  return BitsOfBytes(bytes, 64);
#endif
}

}  // namespace line_end_bits

void LineEndIndex::Reserve(std::size_t capacity) {
  if (lf_ && capacity <= capacity_) return;
  // Two words more than the bytes need: the clear words after the last.
  const std::size_t words = capacity / kWordBits + 3;
  lf_.reset(new std::uint64_t[words]);
  capacity_ = capacity;
  size_ = 0;
}

void LineEndIndex::Build(const char* data, std::size_t size) {
  using line_end_bits::BitsOfBytes;
  using line_end_bits::BitsOfWord;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const std::size_t whole_words = size / kWordBits;
  for (std::size_t word = 0; word < whole_words; ++word) {
    lf_[word] = BitsOfWord(bytes + word * kWordBits);
  }
  if (size % kWordBits != 0) {
    lf_[whole_words] = BitsOfBytes(bytes + whole_words * kWordBits, size % kWordBits);
  }
  // The two words after the last indexed one are clear, whatever an
  // earlier, longer buffer left there.
  const std::size_t used_words = (size + kWordBits - 1) / kWordBits;
  lf_[used_words] = lf_[used_words + 1] = 0;
  size_ = size;
}

}  // namespace mboxclean

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

// The bits of `count` bytes (at most one word's worth) one at a time: the
// tail of a buffer, and every word where no vector compare is at hand.
WordBits BitsOfBytes(const unsigned char* bytes, std::size_t count) {
  WordBits bits{0, 0};
  for (std::size_t at = 0; at < count; ++at) {
    bits.lf |= std::uint64_t{bytes[at] == '\n'} << at;
    bits.cr |= std::uint64_t{bytes[at] == '\r'} << at;
  }
  return bits;
}

WordBits BitsOfWord(const unsigned char* bytes) {
#ifdef MBOXCLEAN_HAVE_SSE2
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  WordBits bits{0, 0};
  for (std::size_t part = 0; part < 4; ++part) {
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + part * 16));
    const auto lf_mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, lf)));
    const auto cr_mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, cr)));
    bits.lf |= std::uint64_t{lf_mask} << (part * 16);
    bits.cr |= std::uint64_t{cr_mask} << (part * 16);
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
  const uint8x16_t cr = vdupq_n_u8('\r');
  const auto mask = [&](uint8x16_t equal) {
    const uint8x16_t kept = vandq_u8(equal, lane_bits);
    const std::uint64_t low = vaddv_u8(vget_low_u8(kept));
    const std::uint64_t high = vaddv_u8(vget_high_u8(kept));
    return low | high << 8;
  };
  WordBits bits{0, 0};
  for (std::size_t part = 0; part < 4; ++part) {
    const uint8x16_t sixteen = vld1q_u8(bytes + part * 16);
    bits.lf |= mask(vceqq_u8(sixteen, lf)) << (part * 16);
    bits.cr |= mask(vceqq_u8(sixteen, cr)) << (part * 16);
  }
  return bits;
#else
  return BitsOfBytes(bytes, 64);
#endif
}

}  // namespace line_end_bits

void LineEndIndex::Reserve(std::size_t capacity) {
  if (lf_ && capacity <= capacity_) return;
  const std::size_t words = capacity / kWordBits + 1;
  lf_.reset(new std::uint64_t[words]);
  cr_.reset(new std::uint64_t[words]);
  capacity_ = capacity;
  size_ = 0;
}

void LineEndIndex::Build(const char* data, std::size_t size) {
  using line_end_bits::BitsOfBytes;
  using line_end_bits::BitsOfWord;
  using line_end_bits::WordBits;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const std::size_t whole_words = size / kWordBits;
  for (std::size_t word = 0; word < whole_words; ++word) {
    const WordBits bits = BitsOfWord(bytes + word * kWordBits);
    lf_[word] = bits.lf;
    cr_[word] = bits.cr;
  }
  if (size % kWordBits != 0) {
    const WordBits bits = BitsOfBytes(bytes + whole_words * kWordBits, size % kWordBits);
    lf_[whole_words] = bits.lf;
    cr_[whole_words] = bits.cr;
  }
  size_ = size;
}

}  // namespace mboxclean

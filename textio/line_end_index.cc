#include "textio/line_end_index.h"

#include <cstring>

#include "textio/line_end_bits.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MBOXCLEAN_HAVE_SSE2 1
#elif defined(__aarch64__) || defined(_M_ARM64)
#include <arm_neon.h>
#define MBOXCLEAN_HAVE_NEON 1
#endif

// AVX2 is not in the x86-64 baseline: its routine is compiled for it alone
// and run only where the processor has it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define MBOXCLEAN_HAVE_AVX2_ROUTINE 1
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

bool BitsOfWords(const unsigned char* bytes, std::size_t words, std::uint64_t* bits) {
  for (std::size_t word = 0; word < words; ++word) bits[word] = BitsOfWord(bytes + word * 64);
  return true;
}

#ifdef MBOXCLEAN_HAVE_AVX2_ROUTINE
bool HasAvx2() { return __builtin_cpu_supports("avx2"); }

[[gnu::target("avx2")]] bool BitsOfWordsAvx2(const unsigned char* bytes, std::size_t words,
                                             std::uint64_t* bits) {
  const __m256i lf = _mm256_set1_epi8('\n');
  const __m256i cr = _mm256_set1_epi8('\r');
  __m256i crs = _mm256_setzero_si256();
  for (std::size_t word = 0; word < words; ++word) {
    const auto* const at = reinterpret_cast<const __m256i*>(bytes + word * 64);
    const __m256i low = _mm256_loadu_si256(at);
    const __m256i high = _mm256_loadu_si256(at + 1);
    const auto low_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)));
    const auto high_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf)));
    bits[word] = std::uint64_t{high_bits} << 32 | low_bits;
    crs = _mm256_or_si256(crs,
                          _mm256_or_si256(_mm256_cmpeq_epi8(low, cr), _mm256_cmpeq_epi8(high, cr)));
  }
  return _mm256_testz_si256(crs, crs) == 0;
}
#else
bool HasAvx2() { return false; }

bool BitsOfWordsAvx2(const unsigned char* bytes, std::size_t words, std::uint64_t* bits) {
  return BitsOfWords(bytes, words, bits);
}
#endif

WordsRoutine FastestWordsRoutine() { return HasAvx2() ? BitsOfWordsAvx2 : BitsOfWords; }

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
  static const line_end_bits::WordsRoutine bits_of_words = line_end_bits::FastestWordsRoutine();
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  const std::size_t whole_words = size / kWordBits;
  may_hold_cr_ = bits_of_words(bytes, whole_words, lf_.get());
  if (const std::size_t tail = size % kWordBits; tail != 0) {
    const unsigned char* const tail_bytes = bytes + whole_words * kWordBits;
    lf_[whole_words] = line_end_bits::BitsOfBytes(tail_bytes, tail);
    may_hold_cr_ = may_hold_cr_ || std::memchr(tail_bytes, '\r', tail) != nullptr;
  }
  // The two words after the last indexed one are clear, whatever an
  // earlier, longer buffer left there.
  const std::size_t used_words = (size + kWordBits - 1) / kWordBits;
  lf_[used_words] = lf_[used_words + 1] = 0;
  size_ = size;
}

}  // namespace mboxclean

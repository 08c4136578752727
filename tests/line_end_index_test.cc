// The LF index of an input buffer, checked against a plain byte search
// from every starting offset: word boundaries, partial last words, lines
// longer than a word, and a rebuild over fewer bytes than the one before,
// whose stale bits must never be found. The word routines under it are
// checked the same way on their own: the plain byte loop on every build,
// and beside it the vector routine of the build's target (SSE2 on x86-64,
// NEON on ARM64) and, where the processor has it, the AVX2 routine.
#include "textio/line_end_index.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "textio/line_end_bits.h"

namespace mboxclean {
namespace {

std::size_t NaiveNext(const std::string& bytes, std::size_t size, char wanted, std::size_t from) {
  for (std::size_t at = from; at < size; ++at) {
    if (bytes[at] == wanted) return at;
  }
  return size;
}

// From every offset, NextLf and a walk over all later LFs (and past the
// last one, twice) find what a byte search finds.
void ExpectMatchesNaive(const LineEndIndex& index, const std::string& bytes, std::size_t size) {
  for (std::size_t from = 0; from <= size + 1; ++from) {
    ASSERT_EQ(index.NextLf(from), NaiveNext(bytes, size, '\n', from))
        << "size " << size << " from " << from;
    LineEndIndex::LfWalk walk = index.WalkLfs(from);
    std::size_t expected = from;
    for (int past_the_end = 0; past_the_end < 2;) {
      expected = NaiveNext(bytes, size, '\n', expected);
      ASSERT_EQ(walk.Next(), expected) << "size " << size << " walk from " << from;
      if (expected == size) {
        ++past_the_end;
      } else {
        ++expected;
      }
    }
  }
}

// Bytes where LF and CR fall on and around the 64-byte word boundaries,
// with every other byte value in between, NUL and 0x8A/0x8D included.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t at = 0; at < size; ++at) {
    const std::size_t in_word = at % 64;
    if (in_word == 0 || in_word == 63 || at % 37 == 5) {
      bytes[at] = '\n';
    } else if (in_word == 62 || at % 41 == 7) {
      bytes[at] = '\r';
    } else {
      bytes[at] = static_cast<char>(at * 7 % 256 == '\n' || at * 7 % 256 == '\r' ? 0x8A : at * 7);
    }
  }
  return bytes;
}

TEST(LineEndIndexTest, FindsWhatAByteSearchFinds) {
  constexpr std::size_t kCapacity = 512;
  LineEndIndex index;
  index.Reserve(kCapacity);
  for (const std::size_t size : {1, 2, 63, 64, 65, 127, 128, 129, 200, 511, 512}) {
    const std::string bytes = Pattern(size);
    index.Build(bytes.data(), size);
    ExpectMatchesNaive(index, bytes, size);
  }
}

TEST(LineEndIndexTest, WalksOverWordsWithoutLineEnds) {
  LineEndIndex index;
  index.Reserve(512);
  std::string bytes(512, 'x');
  for (const std::size_t at : {5, 200, 201, 330, 511}) bytes[at] = '\n';
  for (const std::size_t size : {6, 64, 199, 200, 202, 400, 511, 512}) {
    index.Build(bytes.data(), size);
    ExpectMatchesNaive(index, bytes, size);
  }
}

TEST(LineEndIndexTest, ARebuildOverFewerBytesForgetsTheOldOnes) {
  constexpr std::size_t kCapacity = 256;
  LineEndIndex index;
  index.Reserve(kCapacity);
  const std::string full(kCapacity, '\n');
  index.Build(full.data(), full.size());
  // Past the new size, the old buffer's LF bytes are still in memory.
  for (const std::size_t size : {0, 1, 70, 130}) {
    const std::string none(size, 'x');
    std::string buffer = full;
    buffer.replace(0, size, none);
    index.Build(buffer.data(), size);
    ExpectMatchesNaive(index, buffer, size);
  }
}

TEST(LineEndIndexTest, BytesWithoutTerminatorsGiveTheSize) {
  LineEndIndex index;
  index.Reserve(256);
  const std::string bytes(200, 'a');
  index.Build(bytes.data(), bytes.size());
  EXPECT_EQ(index.NextLf(0), 200u);
  EXPECT_EQ(index.WalkLfs(199).Next(), 200u);
}

using line_end_bits::BitsOfBytes;
using line_end_bits::BitsOfWord;

// The LF mask of `count` bytes from `from`, by a byte search.
std::uint64_t SearchedBits(const std::string& bytes, std::size_t from, std::size_t count) {
  std::uint64_t bits = 0;
  for (std::size_t at = bytes.find('\n', from); at < from + count; at = bytes.find('\n', at + 1)) {
    bits |= std::uint64_t{1} << (at - from);
  }
  return bits;
}

const unsigned char* At(const std::string& bytes, std::size_t from) {
  return reinterpret_cast<const unsigned char*>(bytes.data() + from);
}

// One byte in a word of 'x': a lane or byte order slip moves its bit, and a
// compare that ignores the high bit takes 0x8A for LF.
TEST(LineEndBitsTest, EachByteValueInEachLaneSetsOnlyItsBit) {
  for (const char value : {'\n', '\r', '\0', '\x8A', '\x0B', '\xFF'}) {
    for (std::size_t lane = 0; lane < 64; ++lane) {
      std::string word(64, 'x');
      word[lane] = value;
      const std::uint64_t expected = value == '\n' ? std::uint64_t{1} << lane : 0;
      EXPECT_EQ(BitsOfWord(At(word, 0)), expected)
          << "vector, lane " << lane << " value " << +value;
      EXPECT_EQ(BitsOfBytes(At(word, 0), 64), expected)
          << "plain, lane " << lane << " value " << +value;
    }
  }
}

// From every offset, so that unaligned loads and every split of the word
// into the vector routine's parts are met.
TEST(LineEndBitsTest, WordsFromEveryOffsetMatchAByteSearch) {
  std::string all_values(256, '\0');
  for (std::size_t value = 0; value < 256; ++value) all_values[value] = static_cast<char>(value);
  const std::string buffer = Pattern(512) + all_values;
  for (std::size_t from = 0; from + 64 <= buffer.size(); ++from) {
    EXPECT_EQ(BitsOfWord(At(buffer, from)), SearchedBits(buffer, from, 64))
        << "vector, from " << from;
    EXPECT_EQ(BitsOfBytes(At(buffer, from), 64), SearchedBits(buffer, from, 64))
        << "plain, from " << from;
  }
}

TEST(LineEndBitsTest, PartialWordsFromEveryOffsetMatchAByteSearch) {
  const std::string buffer = Pattern(3 * 64);
  for (std::size_t from = 0; from + 64 <= buffer.size(); ++from) {
    for (std::size_t count = 0; count <= 64; ++count) {
      EXPECT_EQ(BitsOfBytes(At(buffer, from), count), SearchedBits(buffer, from, count))
          << "plain, from " << from << " count " << count;
    }
  }
}

// The routines for whole words, on buffers with and without CR, from every
// offset in a word: the bits of each word, and the CR answer, which may be
// yes without a CR only from a routine that does not look.
TEST(LineEndBitsTest, WordRoutinesMatchAByteSearch) {
  struct Routine {
    const char* name;
    line_end_bits::WordsRoutine bits_of_words;
    bool looks_for_cr;
  };
  std::vector<Routine> routines = {{"words of BitsOfWord", line_end_bits::BitsOfWords, false}};
  if (line_end_bits::HasAvx2()) {
    routines.push_back({"AVX2", line_end_bits::BitsOfWordsAvx2, true});
  } else {
    std::printf("this processor has no AVX2: its routine is not tested here\n");
  }
  std::string all_values(256, '\0');
  for (std::size_t value = 0; value < 256; ++value) all_values[value] = static_cast<char>(value);
  std::string without_cr = Pattern(512) + all_values;
  for (char& byte : without_cr) byte = byte == '\r' ? 'x' : byte;
  for (const Routine& routine : routines) {
    for (const std::size_t cr_at : {std::string::npos, std::size_t{0}, std::size_t{31},
                                    std::size_t{32}, std::size_t{63}, std::size_t{64 * 9 + 40}}) {
      std::string buffer = without_cr;
      if (cr_at != std::string::npos) buffer[cr_at + 64] = '\r';
      for (std::size_t from = 0; from < 64; ++from) {
        const std::size_t words = (buffer.size() - from) / 64;
        std::vector<std::uint64_t> bits(words);
        const bool may_hold_cr = routine.bits_of_words(At(buffer, from), words, bits.data());
        for (std::size_t word = 0; word < words; ++word) {
          ASSERT_EQ(bits[word], SearchedBits(buffer, from + word * 64, 64))
              << routine.name << ", from " << from << " word " << word;
        }
        const bool holds_cr = buffer.substr(from, words * 64).find('\r') != std::string::npos;
        if (holds_cr || routine.looks_for_cr) {
          ASSERT_EQ(may_hold_cr, holds_cr)
              << routine.name << ", CR at " << cr_at << " from " << from;
        }
      }
    }
  }
}

}  // namespace
}  // namespace mboxclean

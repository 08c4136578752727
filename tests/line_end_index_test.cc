// The LF index of an input buffer, checked against a plain byte search
// from every starting offset: word boundaries, partial last words, lines
// longer than a word, and a rebuild over fewer bytes than the one before,
// whose stale bits must never be found.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "textio/line_end_index.h"

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
    ASSERT_EQ(index.NextLf(from), NaiveNext(bytes, size, '\n', from)) << "size " << size << " from " << from;
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

}  // namespace
}  // namespace mboxclean

// The word routines under LineEndIndex, open to its tests so that the plain
// byte loop is checked on every build, beside whichever vector routine the
// target compiles (SSE2, NEON or none).
#ifndef MBOXCLEAN_TEXTIO_LINE_END_BITS_H_
#define MBOXCLEAN_TEXTIO_LINE_END_BITS_H_

#include <cstddef>
#include <cstdint>

namespace mboxclean::line_end_bits {

// Bit i of the mask is set when byte i is an LF.

// The bits of `count` bytes (at most 64), one byte at a time.
std::uint64_t BitsOfBytes(const unsigned char* bytes, std::size_t count);

// The bits of 64 bytes, with vector compares where the target has them.
std::uint64_t BitsOfWord(const unsigned char* bytes);

// A routine for the whole words of a buffer: it stores the bits of `words`
// words of `bytes` in `bits`, and returns whether any of those bytes may
// be a CR (one that does not look says they may).
using WordsRoutine = bool (*)(const unsigned char* bytes, std::size_t words, std::uint64_t* bits);

// BitsOfWord, word after word; it does not look for CR.
bool BitsOfWords(const unsigned char* bytes, std::size_t words, std::uint64_t* bits);

// Two 32-byte compares a word, and the CR answer from two more; only on a
// processor with AVX2, which HasAvx2 tells. Where the build has no such
// routine (not x86-64, or a compiler without target attributes), HasAvx2
// is false and BitsOfWordsAvx2 is BitsOfWords.
bool HasAvx2();
bool BitsOfWordsAvx2(const unsigned char* bytes, std::size_t words, std::uint64_t* bits);

// The widest routine this processor runs, chosen once.
WordsRoutine FastestWordsRoutine();

}  // namespace mboxclean::line_end_bits

#endif  // MBOXCLEAN_TEXTIO_LINE_END_BITS_H_

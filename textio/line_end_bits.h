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

}  // namespace mboxclean::line_end_bits

#endif  // MBOXCLEAN_TEXTIO_LINE_END_BITS_H_

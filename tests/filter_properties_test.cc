// The fuzzer's properties (fuzz/filter_properties.h) in every build: over
// the seed corpus, which is also where inputs the fuzzer once broke on are
// kept, over a table of tricky inputs, and over mailboxes made from a fixed
// seed out of the pieces the filter treats specially.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "fuzz/filter_properties.h"

namespace mboxclean {
namespace {

TEST(FilterProperties, HoldForEverySeedInput) {
  const std::filesystem::path corpus = std::filesystem::path(MBOXCLEAN_SOURCE_DIR) / "fuzz/corpus";
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string input{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(fuzz::CheckFilterProperties(input), "") << entry.path();
    ++inputs;
  }
  EXPECT_GE(inputs, 5) << "the seed corpus is missing";
}

// Inputs where a reader or a filter could go wrong in a way the properties
// see: bytes that trimming removes or keeps, separators that only look
// like one, the end-of-input byte in each place it can stand, and lines
// that cross reads and blocks.
TEST(FilterProperties, HoldForTrickyInputs) {
  struct Case {
    const char* name;
    std::string input;
  };
  const std::string blocks(3 * 128 + 1, 'b');
  // The footer that may stand anywhere, in a line at every offset against
  // the one-block buffers' edges, after plain lines of the same message.
  std::string banners;
  for (int pad = 0; pad < 140; ++pad) {
    banners += "From a\n\nplain\n" + std::string(pad, 'p') + "\ntext = \xf2\xc1\xda\xcd\xc5\xdd"
               "\xc5\xce\xc9\xc5 \xd2\xc5\xcb\xcc\xc1\xcd\xd9: promo.example/ad.htm = end\nafter\n";
  }
  const Case kCases[] = {
      {"empty input", ""},
      {"nothing but line ends", "\r\n\r\r\n\n\r"},
      {"a separator whose space trimming removes", "From\nFrom \t\x01\nFrom \x7f\n"},
      {"a CR inside a separator vanishes", "Fr\rom x\nFrom\r x\n"},
      {"NUL bytes are ordinary", std::string("From \0x\n\0\n\n\0body\0", 17)},
      {"the end byte first", "\x1a" "From x\n"},
      {"the end byte after a line", "From x\nbody\n\x1a" "From y\n"},
      {"the end byte inside lines", "From x\n\x1a\x1a" "From y\nbody\x1a\n\r\x1a\n"},
      {"a Subject tag in each place",
       "From x\nSubject:- fido7.a\nSubject: - fido7.\nSubject: t - fido7.x - fido7.y\n"},
      {"signature separators with and without trailing bytes",
       "From x\nH: 1\n\nbody\n--  \n-- \t\n-- \n--\nsig\n-- \n"},
      {"256 empty lines in a header block", "From x\nA: 1\n" + std::string(256, '\n') + "B: 2\n"},
      {"lines that cross reads and blocks, with CRs at their edges",
       "From x\n" + blocks + "\r\n\r" + blocks + "\r\r\n" + blocks + "\x1a" + blocks},
      {"a separator longer than a block", "From " + blocks + " \nFrom " + blocks},
      {"the footer found anywhere, at every offset in a buffer", banners},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(fuzz::CheckFilterProperties(c.input), "") << c.name;
  }
}

TEST(FilterProperties, HoldForGeneratedMailboxes) {
  // Each piece is something the reader, the state machine, the header rules
  // or the footer markers reacts to.
  const std::string kPieces[] = {
      "From ", "From a@b Mon\n", "From\n", "-- ", "-- \n", "--\n", "\n", "\r\n", "\r", "\n\n\n",
      " ", "\t", "\x1a", std::string(1, '\0'), "\x01", "\xff", "text", "\tcontinued\n",
      "Received: by relay\n", "Subject: x - fido7.ru.y\n", "Subject:- fido7.", "- fido7.",
      "X-Spam: 1\n", "X-Mailer: m\n", "X-Priority: 3\n", "Sender: s\n",
      "Content-Type: text/plain\n", "Content-Type: multipart/mixed\n",
      "To unsubscribe from this group, send an email to:\n", std::string(54, '*') + "\n",
      // The footer that may stand anywhere in a line, and its start alone.
      "= \xf2\xc1\xda\xcd\xc5\xdd\xc5\xce\xc9\xc5 \xd2\xc5\xcb\xcc\xc1\xcd\xd9: "
      "promo.example/ad.htm =",
      "= \xf2\xc1\xda", "plain text line\n", "plain text line\n\n",
      std::string(70, '_'), "[Non-text ", std::string(300, 'L')};
  std::minstd_rand random(5);
  for (int n = 0; n < 300; ++n) {
    std::string input;
    for (auto pieces = random() % 60; pieces > 0; --pieces) {
      input += kPieces[random() % std::size(kPieces)];
    }
    const std::string problems = fuzz::CheckFilterProperties(input);
    ASSERT_EQ(problems, "") << "input " << ::testing::PrintToString(input);
  }
}

}  // namespace
}  // namespace mboxclean

// The fuzzer's properties (fuzz/filter_properties.h) in every build: over
// the seed corpus, which is also where inputs the fuzzer once broke on are
// kept, and over mailboxes made from a fixed seed out of the pieces the
// filter treats specially.
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

// The console texts are byte constants written unconverted, in CP866 and in
// UTF-8; this checks the escaped bytes against the texts they are meant to
// show, and that both sets fill the same columns.
#include "filter/console_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/transcode.h"

namespace mboxclean {
namespace {

struct Case {
  const char* name;
  std::string_view cp866;
  std::string_view utf8;
  std::string text;  // UTF-8, as this source file is
  std::size_t columns;
};

TEST(ConsoleTexts, BothSetsHoldTheSameTexts) {
  const Case cases[] = {
      {"progress", kProgressText, kProgressTextUtf8, "Обрабатывается сообщение № ", 27},
      {"summary prefix", kSummaryPrefix, kSummaryPrefixUtf8, "Обработано ", 11},
      {"summary suffix", kSummarySuffix, kSummarySuffixUtf8, " сообщений" + std::string(31, ' '),
       41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // One byte a column in CP866, so the byte count is the width on a
    // terminal, and the UTF-8 set must take exactly as many columns.
    EXPECT_EQ(c.cp866.size(), c.columns);
    EXPECT_EQ(testing::Decode(c.cp866, "CP866"), c.text);
    EXPECT_EQ(testing::Decode(c.utf8, "UTF-8"), c.text);
    EXPECT_EQ(std::string(c.utf8), c.text);
    // Each character takes one column; every character is one CP866 byte.
    EXPECT_EQ(testing::Encode(c.utf8, "CP866"), std::string(c.cp866));
  }
}

}  // namespace
}  // namespace mboxclean

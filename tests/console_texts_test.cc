// The console texts are CP866 bytes written unconverted; this checks the
// escaped bytes against the texts they are meant to show.
#include "filter/console_texts.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/transcode.h"

namespace mboxclean {
namespace {

struct Case {
  const char* name;
  std::string_view bytes;
  std::string text;  // UTF-8
  std::size_t size;
};

TEST(ConsoleTexts, AreTheTextsInCp866) {
  const Case cases[] = {
      {"progress", kProgressText, "Обрабатывается сообщение № ", 27},
      {"summary prefix", kSummaryPrefix, "Обработано ", 11},
      {"summary suffix", kSummarySuffix, " сообщений" + std::string(31, ' '), 41},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.bytes.size(), c.size);
    EXPECT_EQ(testing::Decode(c.bytes, "CP866"), c.text);
  }
}

}  // namespace
}  // namespace mboxclean

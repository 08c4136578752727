// The footer markers: their bytes checked against their readable texts, the
// test of each marker on single lines, and footers ending bodies in whole
// runs of the program.
#include "filter/footer_markers.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "tests/memory_platform.h"
#include "tests/transcode.h"

namespace mboxclean {
namespace {

using testing::Encode;
using testing::MemoryPlatform;
using testing::RunProgram;
using enum MarkerTest;

std::string Run(char c, std::size_t count) { return std::string(count, c); }

// The markers as they read, in the order they are tested, with the
// encoding whose bytes are matched and the length of those bytes.
struct Marker {
  const char* encoding;  // an iconv name
  std::string text;      // UTF-8
  std::size_t size;
  MarkerTest test;
};

const Marker kMarkers[] = {
    {"ASCII", Run('-', 24) + " Yahoo! Groups Sponsor " + Run('-', 21) + "~-->", 72, kStartsWith},
    {"ASCII", Run('-', 24) + " Yahoo! Groups Sponsor " + Run('-', 21) + "~-~>", 72, kStartsWith},
    {"ASCII", "Your use of Yahoo!", 18, kStartsWith},
    {"KOI8-R", "ПОИСК КРЭКОВ: пустое письмо на krekpoisk-subscribe@example.com", 62, kStartsWith},
    {"ASCII", Run('*', 54), 54, kStartsWithExactLength},
    {"KOI8-R", Run('*', 15) + " Грузите фишки килобочками " + Run('*', 16), 58, kStartsWith},
    {"KOI8-R", Run('*', 15) + " Интересно о серъезном " + Run('*', 8), 46, kStartsWith},
    {"ASCII", "To unsubscribe from this group, send an email to:", 49, kStartsWith},
    {"KOI8-R", "http://club.example.net -- Клуб Раскрутись! " + Run('-', 21) + "~-->", 69,
     kStartsWith},
    {"CP1251", "Отписка по адресу: digest-unsubscribe@example.org", 49, kStartsWith},
    {"ASCII", Run('*', 25) + Run('-', 18) + "~-->", 47, kStartsWith},
    {"KOI8-R", "Отписка:   news-unsubscribe@list.example.org", 44, kStartsWith},
    {"KOI8-R", "Адрес этого сообщения в WWW:", 28, kStartsWith},
    {"KOI8-R", "Отправлено через сервер", 23, kStartsWith},
    {"ASCII", Run('*', 34) + Run('-', 18) + "~-->", 56, kStartsWith},
    {"ASCII", Run('_', 70), 70, kStartsWith},
    {"ASCII", "[Non-text ", 10, kStartsWith},
    {"KOI8-R", "= Размещение рекламы: promo.example/ad.htm =", 44, kOccurs},
    {"ASCII", Run('-', 26) + " eGroups Sponsor " + Run('-', 25) + "~-~>", 72, kStartsWith},
};

std::string Bytes(const Marker& marker) { return Encode(marker.text, marker.encoding).value(); }

TEST(FooterMarkers, TheTableHoldsEachTextInItsEncoding) {
  const auto table = FooterMarkers();
  ASSERT_EQ(table.size(), std::size(kMarkers));
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Marker& expected = kMarkers[i];
    SCOPED_TRACE("marker " + std::to_string(i + 1) + ": " + expected.text);
    EXPECT_EQ(table[i].Bytes.size(), expected.size);
    EXPECT_EQ(testing::Decode(table[i].Bytes, expected.encoding), expected.text);
    EXPECT_EQ(table[i].Test, expected.test);
  }
}

TEST(FooterMarkers, EachMarkerIsFoundWhereItsTestSays) {
  for (std::size_t i = 0; i < std::size(kMarkers); ++i) {
    const Marker& marker = kMarkers[i];
    SCOPED_TRACE("marker " + std::to_string(i + 1) + ": " + marker.text);
    const std::string bytes = Bytes(marker);
    EXPECT_TRUE(IsFooterLine(bytes));
    EXPECT_EQ(IsFooterLine(bytes + " and more"), marker.test != kStartsWithExactLength);
    EXPECT_EQ(IsFooterLine("  " + bytes), marker.test == kOccurs);
    EXPECT_EQ(IsFooterLine("text " + bytes + " text"), marker.test == kOccurs);
    // Every byte counts, the last one too.
    EXPECT_FALSE(IsFooterLine(bytes.substr(0, bytes.size() - 1)));
  }
}

struct LineCase {
  const char* name;
  const char* encoding;
  std::string line;  // UTF-8, matched as its bytes in `encoding`
  bool footer;
};

const LineCase kLineCases[] = {
    {"ordinary text", "ASCII", "Hello, world.", false},
    {"a signature separator", "ASCII", "-- ", false},
    {"an empty line", "ASCII", "", false},
    {"54 asterisks", "ASCII", Run('*', 54), true},
    {"53 asterisks", "ASCII", Run('*', 53), false},
    {"55 asterisks", "ASCII", Run('*', 55), false},
    {"54 asterisks and text", "ASCII", Run('*', 54) + " end", false},
    {"70 underscores and text", "ASCII", Run('_', 70) + "Yahoo! Mail", true},
    {"71 underscores", "ASCII", Run('_', 71), true},
    {"69 underscores", "ASCII", Run('_', 69), false},
    {"marker 8 after two spaces", "ASCII",
     "  To unsubscribe from this group, send an email to:", false},
    {"marker 8 in lower case", "ASCII", "to unsubscribe from this group, send an email to:", false},
    {"marker 8 without its colon", "ASCII", "To unsubscribe from this group, send an email to",
     false},
    {"marker 8 followed by the address", "ASCII",
     "To unsubscribe from this group, send an email to: x-unsubscribe@example.org", true},
    {"\"[Non-text\" alone", "ASCII", "[Non-text", false},
    {"a non-text notice", "ASCII", "[Non-text portions of this message have been removed]", true},
    {"marker 18 in the middle of a line", "KOI8-R",
     "Наш спонсор = Размещение рекламы: promo.example/ad.htm = звоните", true},
    {"marker 18 with another host", "KOI8-R", "= Размещение рекламы: ads.example/ad.htm =", false},
    {"marker 18 in CP1251", "CP1251", "= Размещение рекламы: promo.example/ad.htm =", false},
    {"marker 10 in KOI8-R", "KOI8-R", "Отписка по адресу: digest-unsubscribe@example.org", false},
    {"marker 14 in CP1251", "CP1251", "Отправлено через сервер", false},
    {"marker 12 with two spaces", "KOI8-R", "Отписка:  news-unsubscribe@list.example.org", false},
    {"marker 7 with a soft sign", "KOI8-R", Run('*', 15) + " Интересно о серьезном " + Run('*', 8),
     false},
    {"marker 13 followed by the address", "KOI8-R",
     "Адрес этого сообщения в WWW: http://www.example.org/msg/1", true},
};

TEST(FooterMarkers, LineCases) {
  for (const LineCase& c : kLineCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsFooterLine(Encode(c.line, c.encoding).value()), c.footer);
  }
}

// --- Whole runs ----------------------------------------------------------------

std::string Clean(const std::string& mailbox) {
  MemoryPlatform platform;
  platform.files["in"] = mailbox;
  EXPECT_EQ(RunProgram(platform, "in", "out"), 0);
  return platform.files["out"];
}

TEST(FooterMarkers, EachMarkerEndsAPlainTextBodyOnly) {
  for (std::size_t i = 0; i < std::size(kMarkers); ++i) {
    SCOPED_TRACE("marker " + std::to_string(i + 1) + ": " + kMarkers[i].text);
    // As a footer line would read: marker 17, for one, ends in a space that
    // trimming would take away if nothing followed it.
    std::string footer = Bytes(kMarkers[i]);
    if (kMarkers[i].test != kStartsWithExactLength) footer += "text";
    const std::string body = "Hello.\n" + footer + "\nafter\n\n-- \nsig\n";
    const std::string next = "From b\nSubject: next\n\nNext.\n";
    EXPECT_EQ(Clean("From a\nSubject: s\n\n" + body + next),
              "From a\nSubject: s\n\nHello.\n\n\n" + next);
    EXPECT_EQ(Clean("From a\nContent-Type: text/plain\n\n" + body + next),
              "From a\nContent-Type: text/plain\n\nHello.\n\n\n" + next);
    EXPECT_EQ(Clean("From a\nContent-Type: text/html\n\n" + body + next),
              "From a\nContent-Type: text/html\n\n" + body + next);
  }
}

struct RunCase {
  const char* name;
  std::string input;
  std::string expected;
};

const std::string kFooter = "To unsubscribe from this group, send an email to:";

const RunCase kRunCases[] = {
    {"a footer right before the next message: no empty lines",
     "From a\nH: 1\n\nA\n" + kFooter + "\nFrom b\n", "From a\nH: 1\n\nA\nFrom b\n"},
    {"an empty line before the footer: two empty lines",
     "From a\nH: 1\n\nA\n\n" + kFooter + "\nFrom b\n", "From a\nH: 1\n\nA\n\n\nFrom b\n"},
    {"empty lines after the footer: two empty lines",
     "From a\nH: 1\n\nA\n" + kFooter + "\nx-unsubscribe@example.org\n\n\n\nFrom b\n",
     "From a\nH: 1\n\nA\n\n\nFrom b\n"},
    {"a held signature separator before the footer is dropped",
     "From a\nH: 1\n\nA\n-- \n" + kFooter + "\nFrom b\n", "From a\nH: 1\n\nA\nFrom b\n"},
    {"a footer as the first body line", "From a\nH: 1\n\n" + kFooter + "\nA\n", "From a\nH: 1\n\n"},
    {"the last message's footer and all after it vanish",
     "From a\nH: 1\n\nA\n" + kFooter + "\n\nB\n", "From a\nH: 1\n\nA\n"},
    {"54 asterisks and trailing spaces end the body",
     "From a\nH: 1\n\nA\n" + Run('*', 54) + "  \t\nB\n", "From a\nH: 1\n\nA\n"},
    {"a footer text in the header block is a header line", "From a\n" + kFooter + "\n\nA\n",
     "From a\n" + kFooter + "\n\nA\n"},
    {"the next message is plain text again",
     "From a\nContent-Type: multipart/mixed\n\nA\n" + kFooter + "\nB\nFrom b\nH: 1\n\nC\n" +
         kFooter + "\nD\n",
     "From a\nContent-Type: multipart/mixed\n\nA\n" + kFooter + "\nB\nFrom b\nH: 1\n\nC\n"},
    {"a footer before the first message is written", kFooter + "\nA\nFrom a\nH: 1\n\nB\n",
     kFooter + "\nA\nFrom a\nH: 1\n\nB\n"},
    {"header and footer rules together",
     // clang-format off
     "From alice\n"
     "Received: by relay\n"
     "\tid 42\n"
     "Subject: News - fido7.ru.general\n"
     "X-Mailer: Tool\n"
     "X-Spam: yes\n"
     "\n"
     "\n"
     "Hello.\n"
     "\n"
     "-- \n"
     "Bob\n"
     "\n" + kFooter + "\n"
     "news-unsubscribe@example.org\n"
     "From carol\n",
     "From alice\n"
     "Subject: News\n"
     "X-Mailer: Tool\n"
     "\n"
     "Hello.\n"
     "\n"
     "-- \n"
     "Bob\n"
     "\n"
     "\n"
     "From carol\n"},
    // clang-format on
};

TEST(FooterMarkers, RunCases) {
  for (const RunCase& c : kRunCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Clean(c.input), c.expected);
  }
}

}  // namespace
}  // namespace mboxclean

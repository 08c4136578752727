// The console texts, in two sets of bytes written unconverted: CP866, the
// set of the Windows console and of every file or pipe, and UTF-8, for a
// POSIX terminal, where CP866 bytes would show as gibberish. Both sets take
// the same columns on a terminal, so the 31 spaces blank the same width.
#ifndef MBOXCLEAN_FILTER_CONSOLE_TEXTS_H_
#define MBOXCLEAN_FILTER_CONSOLE_TEXTS_H_

#include <string_view>

namespace mboxclean {

using namespace std::string_view_literals;

// "Обрабатывается сообщение № " (27 bytes; the number follows, then a CR
// that returns the cursor so the next progress line overwrites this one).
inline constexpr std::string_view kProgressText =
    "\x8e\xa1\xe0\xa0\xa1\xa0\xe2\xeb\xa2\xa0\xa5\xe2\xe1\xef\x20"
    "\xe1\xae\xae\xa1\xe9\xa5\xad\xa8\xa5\x20\xfc\x20"sv;

// "Обработано " (11 bytes); the count follows.
inline constexpr std::string_view kSummaryPrefix = "\x8e\xa1\xe0\xa0\xa1\xae\xe2\xa0\xad\xae\x20"sv;

// " сообщений" and 31 spaces (41 bytes), which blank out the rest of the
// last progress line.
inline constexpr std::string_view kSummarySuffix =
    "\x20\xe1\xae\xae\xa1\xe9\xa5\xad\xa8\xa9"
    "                               "sv;

// The same texts in UTF-8, for a POSIX terminal; the numero sign is U+2116.

// "Обрабатывается сообщение № " (52 bytes).
inline constexpr std::string_view kProgressTextUtf8 =
    "\xd0\x9e\xd0\xb1\xd1\x80\xd0\xb0\xd0\xb1\xd0\xb0\xd1\x82\xd1\x8b\xd0\xb2\xd0\xb0"
    "\xd0\xb5\xd1\x82\xd1\x81\xd1\x8f\x20"
    "\xd1\x81\xd0\xbe\xd0\xbe\xd0\xb1\xd1\x89\xd0\xb5\xd0\xbd\xd0\xb8\xd0\xb5\x20"
    "\xe2\x84\x96\x20"sv;

// "Обработано " (21 bytes).
inline constexpr std::string_view kSummaryPrefixUtf8 =
    "\xd0\x9e\xd0\xb1\xd1\x80\xd0\xb0\xd0\xb1\xd0\xbe\xd1\x82\xd0\xb0\xd0\xbd\xd0\xbe\x20"sv;

// " сообщений" and 31 spaces (50 bytes).
inline constexpr std::string_view kSummarySuffixUtf8 =
    "\x20\xd1\x81\xd0\xbe\xd0\xbe\xd0\xb1\xd1\x89\xd0\xb5\xd0\xbd\xd0\xb8\xd0\xb9"
    "                               "sv;

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_CONSOLE_TEXTS_H_

// The console texts, as CP866 bytes: they are written unconverted, whatever
// the console's own code page.
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

}  // namespace mboxclean

#endif  // MBOXCLEAN_FILTER_CONSOLE_TEXTS_H_

#include "filter/footer_markers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "filter/line_bytes.h"

namespace mboxclean {
namespace {

using namespace std::string_view_literals;
using enum MarkerTest;
using internal::Candidates;

// Each entry: its number, its encoding and its text as it reads, then its
// bytes. Cyrillic text is written as escaped bytes of its encoding so that
// the bytes do not depend on how this file is read. The addresses in markers
// 4, 9, 10, 12 and 18 are fixed values of 31, 23, 30, 33 and 13 bytes.
constexpr FooterMarker kFooterMarkers[] = {
    // 1. ASCII: 24 hyphens, " Yahoo! Groups Sponsor ", 21 hyphens, "~-->"
    {"------------------------ Yahoo! Groups Sponsor ---------------------~-->"sv, kStartsWith},
    // 2. ASCII: as 1, ending "~-~>"
    {"------------------------ Yahoo! Groups Sponsor ---------------------~-~>"sv, kStartsWith},
    // 3. ASCII: "Your use of Yahoo!"
    {"Your use of Yahoo!"sv, kStartsWith},
    // 4. KOI8-R: "ПОИСК КРЭКОВ: пустое письмо на krekpoisk-subscribe@example.com"
    {"\xf0\xef\xe9\xf3\xeb \xeb\xf2\xfc\xeb\xef\xf7: \xd0\xd5\xd3\xd4\xcf\xc5 "
     "\xd0\xc9\xd3\xd8\xcd\xcf \xce\xc1 krekpoisk-subscribe@example.com"sv,
     kStartsWith},
    // 5. ASCII: 54 asterisks, and nothing after them
    {"******************************************************"sv, kStartsWithExactLength},
    // 6. KOI8-R: "*************** Грузите фишки килобочками ****************"
    {"*************** \xe7\xd2\xd5\xda\xc9\xd4\xc5 \xc6\xc9\xdb\xcb\xc9 "
     "\xcb\xc9\xcc\xcf\xc2\xcf\xde\xcb\xc1\xcd\xc9 ****************"sv,
     kStartsWith},
    // 7. KOI8-R: "*************** Интересно о серъезном ********" (with the hard sign)
    {"*************** \xe9\xce\xd4\xc5\xd2\xc5\xd3\xce\xcf \xcf "
     "\xd3\xc5\xd2\xdf\xc5\xda\xce\xcf\xcd ********"sv,
     kStartsWith},
    // 8. ASCII: "To unsubscribe from this group, send an email to:"
    {"To unsubscribe from this group, send an email to:"sv, kStartsWith},
    // 9. KOI8-R: "http://club.example.net -- Клуб Раскрутись! ---------------------~-->"
    {"http://club.example.net -- \xeb\xcc\xd5\xc2 "
     "\xf2\xc1\xd3\xcb\xd2\xd5\xd4\xc9\xd3\xd8! ---------------------~-->"sv,
     kStartsWith},
    // 10. CP1251: "Отписка по адресу: digest-unsubscribe@example.org"
    {"\xce\xf2\xef\xe8\xf1\xea\xe0 \xef\xee \xe0\xe4\xf0\xe5\xf1\xf3: "
     "digest-unsubscribe@example.org"sv,
     kStartsWith},
    // 11. ASCII: 25 asterisks, 18 hyphens, "~-->"
    {"*************************------------------~-->"sv, kStartsWith},
    // 12. KOI8-R: "Отписка:   news-unsubscribe@list.example.org" (three spaces)
    {"\xef\xd4\xd0\xc9\xd3\xcb\xc1:   news-unsubscribe@list.example.org"sv, kStartsWith},
    // 13. KOI8-R: "Адрес этого сообщения в WWW:"
    {"\xe1\xc4\xd2\xc5\xd3 \xdc\xd4\xcf\xc7\xcf \xd3\xcf\xcf\xc2\xdd\xc5\xce\xc9\xd1 \xd7 WWW:"sv,
     kStartsWith},
    // 14. KOI8-R: "Отправлено через сервер"
    {"\xef\xd4\xd0\xd2\xc1\xd7\xcc\xc5\xce\xcf \xde\xc5\xd2\xc5\xda \xd3\xc5\xd2\xd7\xc5\xd2"sv,
     kStartsWith},
    // 15. ASCII: 34 asterisks, 18 hyphens, "~-->"
    {"**********************************------------------~-->"sv, kStartsWith},
    // 16. ASCII: 70 underscores
    {"______________________________________________________________________"sv, kStartsWith},
    // 17. ASCII: "[Non-text " (with the space, so a line of just "[Non-text" is no footer)
    {"[Non-text "sv, kStartsWith},
    // 18. KOI8-R, anywhere in the line: "= Размещение рекламы: promo.example/ad.htm ="
    {"= \xf2\xc1\xda\xcd\xc5\xdd\xc5\xce\xc9\xc5 \xd2\xc5\xcb\xcc\xc1\xcd\xd9: "
     "promo.example/ad.htm ="sv,
     kOccurs},
    // 19. ASCII: 26 hyphens, " eGroups Sponsor ", 25 hyphens, "~-~>"
    {"-------------------------- eGroups Sponsor -------------------------~-~>"sv, kStartsWith},
};

static_assert(std::size(kFooterMarkers) <= 32, "a marker set is a 32-bit mask");

// For each first byte of a line, the markers that may hold for it, as a
// mask with bit i for kFooterMarkers[i]: those that start with that byte,
// and those that may stand anywhere. A line is tried against these alone,
// still in table order; most body lines start with no marker's first byte
// and are tried against the few that may stand anywhere.
constexpr Candidates CandidatesByFirstByte(bool with_anywhere) {
  Candidates candidates{};
  for (std::size_t i = 0; i < std::size(kFooterMarkers); ++i) {
    const FooterMarker& marker = kFooterMarkers[i];
    if (marker.Test == kOccurs) {
      if (!with_anywhere) continue;
      for (std::uint32_t& mask : candidates) mask |= std::uint32_t{1} << i;
    } else {
      candidates[static_cast<unsigned char>(marker.Bytes.front())] |= std::uint32_t{1} << i;
    }
  }
  return candidates;
}

constexpr Candidates kCandidates = CandidatesByFirstByte(true);

bool Holds(const FooterMarker& marker, std::string_view line) {
  switch (marker.Test) {
    case kStartsWith:
      return StartsWith(line, marker.Bytes);
    case kStartsWithExactLength:
      return line == marker.Bytes;
    case kOccurs:
      return Occurs(line, marker.Bytes);
  }
  return false;
}

bool HoldsAny(const Candidates& table, std::string_view line) {
  if (line.empty()) return false;
  for (std::uint32_t candidates = table[static_cast<unsigned char>(line.front())]; candidates != 0;
       candidates &= candidates - 1) {
    if (Holds(kFooterMarkers[std::countr_zero(candidates)], line)) return true;
  }
  return false;
}

}  // namespace

std::span<const FooterMarker> FooterMarkers() { return kFooterMarkers; }

bool IsFooterLine(std::string_view line) { return HoldsAny(kCandidates, line); }

// The same without the markers that may stand anywhere.
constinit const Candidates internal::kFooterStartCandidates = CandidatesByFirstByte(false);

bool internal::StartsWithFooterSlowly(std::string_view line) {
  return HoldsAny(kFooterStartCandidates, line);
}

namespace {

// The first occurrence of `marker` in `text`, found by a byte search for
// the marker's first byte above 0x7F (its first byte if it has none): such
// a byte is rare in mail, so the search stops rarely.
std::size_t Find(std::string_view text, std::string_view marker) {
  const auto high = std::find_if(marker.begin(), marker.end(),
                                 [](char byte) { return static_cast<unsigned char>(byte) > 0x7F; });
  const std::size_t pivot =
      high == marker.end() ? 0 : static_cast<std::size_t>(high - marker.begin());
  if (text.size() < marker.size()) return std::string_view::npos;
  // Only where the marker would fit after the pivot byte.
  const std::size_t last = text.size() - marker.size() + pivot;
  for (std::size_t at = pivot; at <= last;) {
    const void* hit = std::memchr(text.data() + at, marker[pivot], last + 1 - at);
    if (hit == nullptr) break;
    const std::size_t start = static_cast<const char*>(hit) - text.data() - pivot;
    if (text.substr(start, marker.size()) == marker) return start;
    at = start + pivot + 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::size_t EndOfFirstFooterAnywhere(std::string_view text) {
  std::size_t first_end = std::string_view::npos;
  for (const FooterMarker& marker : kFooterMarkers) {
    if (marker.Test != kOccurs) continue;
    const std::size_t found = Find(text, marker.Bytes);
    if (found != std::string_view::npos)
      first_end = std::min(first_end, found + marker.Bytes.size());
  }
  return first_end;
}

}  // namespace mboxclean

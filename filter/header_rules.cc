#include "filter/header_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <utility>

#include "filter/line_bytes.h"

namespace mboxclean {
namespace {

using namespace std::string_view_literals;

// Delivery trace, list-management and other fields dropped whole, with
// their continuation lines; tested in this order.
// clang-format off
constexpr std::string_view kHeaderDropList[] = {
    "Received:"sv,
    "Return-Path:"sv,
    "Delivered-To:"sv,
    "FL-Build:"sv,
    "Sender:"sv,
    "Distribution:"sv,
    "List-Unsubscribe:"sv,
};
// clang-format on

// Extension fields are dropped, except these two and any field whose name
// goes on after them (X-Mailer-Version).
constexpr std::string_view kExtensionPrefix = "X-"sv;
constexpr std::string_view kKeptExtensions[] = {"X-Priority"sv, "X-Mailer"sv};

constexpr std::string_view kSubjectPrefix = "Subject:"sv;
constexpr std::string_view kSubjectTag = "- fido7."sv;

constexpr std::string_view kContentTypePrefix = "Content-Type:"sv;
constexpr std::string_view kPlainTextType = "text/plain"sv;

bool IsContinuation(std::string_view line) {
  return !line.empty() && (line.front() == '\t' || line.front() == ' ');
}

static_assert(std::size(kHeaderDropList) <= 8, "a set of drop-list prefixes is an 8-bit mask");

// For each first byte of a line, the drop-list prefixes that begin with it
// (bit i for kHeaderDropList[i]): most fields are tried against none.
constexpr std::array<std::uint8_t, 256> kDropCandidates = [] {
  std::array<std::uint8_t, 256> candidates{};
  for (std::size_t i = 0; i < std::size(kHeaderDropList); ++i) {
    candidates[static_cast<unsigned char>(kHeaderDropList[i].front())] |= std::uint8_t(1u << i);
  }
  return candidates;
}();

// Whether `line` starts with one of `prefixes` whose bit is set in
// `candidates`, tried in table order. Unrolled over the table, so that
// every comparison is with a prefix of known size: a few loads, no call.
template <std::size_t N, std::size_t... I>
bool StartsWithCandidate(std::string_view line, const std::string_view (&prefixes)[N],
                         unsigned candidates, std::index_sequence<I...>) {
  return (((candidates >> I & 1u) != 0 && StartsWith(line, prefixes[I])) || ...);
}

bool IsDroppedField(std::string_view line) {
  if (StartsWith(line, kExtensionPrefix)) {
    constexpr std::size_t kKept = std::size(kKeptExtensions);
    return !StartsWithCandidate(line, kKeptExtensions, (1u << kKept) - 1,
                                std::make_index_sequence<kKept>());
  }
  const unsigned candidates = kDropCandidates[static_cast<unsigned char>(line.front())];
  return candidates != 0 &&
         StartsWithCandidate(line, kHeaderDropList, candidates,
                             std::make_index_sequence<std::size(kHeaderDropList)>());
}

// The tag, what follows it and the byte before it (normally a space) go.
// The field name stays whole even when the tag follows the colon directly:
// a header line without its colon would end the header block for a reader.
std::size_t SubjectLengthWithoutTag(std::string_view line) {
  const std::size_t tag = line.find(kSubjectTag, kSubjectPrefix.size());
  if (tag == std::string_view::npos) return line.size();
  return std::max(tag - 1, kSubjectPrefix.size());
}

}  // namespace

constinit const std::array<internal::FirstByte, 256> internal::kFirstBytes = [] {
  std::array<FirstByte, 256> first{};
  first['\t'] = first[' '] = FirstByte::kContinuation;
  for (const std::string_view prefix : kHeaderDropList) {
    first[static_cast<unsigned char>(prefix.front())] = FirstByte::kRule;
  }
  for (const std::string_view prefix : {kExtensionPrefix, kSubjectPrefix, kContentTypePrefix}) {
    first[static_cast<unsigned char>(prefix.front())] = FirstByte::kRule;
  }
  return first;
}();

std::size_t internal::ApplyHeaderRulesSlowly(std::string_view line, FilterState& state) {
  if (state.Skipping && IsContinuation(line)) return kDroppedLine;
  state.Skipping = IsDroppedField(line);
  if (state.Skipping) return kDroppedLine;
  if (StartsWith(line, kSubjectPrefix)) return SubjectLengthWithoutTag(line);
  if (StartsWith(line, kContentTypePrefix)) state.PlainText = Occurs(line, kPlainTextType);
  return line.size();
}

}  // namespace mboxclean

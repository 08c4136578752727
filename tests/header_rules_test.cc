// The header rules, applied to a header block line by line as the state
// machine applies them: which lines are written, how a subject is cut, and
// what Skipping and PlainText are left at.
#include "filter/header_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace mboxclean {
namespace {

struct Result {
  std::string kept;  // the written lines, each ended by LF
  bool skipping;
  bool plain_text;
};

// Runs every LF-ended line of `block` through the rules, starting from the
// state a "From " line leaves.
Result ApplyToBlock(std::string_view block) {
  FilterState state;
  state.InHeader = true;
  state.Skipping = false;
  state.PlainText = true;
  std::string kept;
  while (!block.empty()) {
    const std::size_t end = block.find('\n');
    const std::string_view line = block.substr(0, end);
    if (const std::size_t length = ApplyHeaderRules(line, state); length != kDroppedLine) {
      kept.append(line.substr(0, length));
      kept.push_back('\n');
    }
    block.remove_prefix(end + 1);
  }
  return {kept, state.Skipping, state.PlainText};
}

struct Case {
  const char* name;
  std::string_view input;
  std::string_view expected;
  bool skipping = false;
  bool plain_text = true;
};

const Case kCases[] = {
    // Dropped fields and their continuation lines.
    {"a trace field goes with every continuation line, up to the next field",
     "Received: from host\n\tby relay\n  id 42\nTo: bob\n", "To: bob\n"},
    {"a dropped field at the end of the block leaves Skipping set",
     "To: bob\nReceived: from host\n\tby relay\n", "To: bob\n", true},
    {"a kept field's continuation lines are written",
     "Received: a\nSubject: Hello\n\tworld\n more\n", "Subject: Hello\n\tworld\n more\n"},
    {"a field right after a dropped one is judged afresh",
     "Received: a\n\tb\nSender: c\n d\nTo: e\n\tf\n", "To: e\n\tf\n"},
    {"a line that begins with a space is written when no field was dropped",
     " stray\n\tline\nTo: a\n", " stray\n\tline\nTo: a\n"},
    {"the prefixes are case-sensitive",
     "received: by host\nRETURN-PATH: <a@b>\nsender: c\nx-mailer: tool\nx-spam: yes\n",
     "received: by host\nRETURN-PATH: <a@b>\nsender: c\nx-mailer: tool\nx-spam: yes\n"},
    {"the prefixes include the colon",
     "Received by host\nSenders: a\nList-Unsubscribe-Post: b\nDelivered-To-Box: c\n",
     "Received by host\nSenders: a\nList-Unsubscribe-Post: b\nDelivered-To-Box: c\n"},
    {"a prefix counts only at the start of the line", "To: Received: x\nCc: X-Spam: y\n",
     "To: Received: x\nCc: X-Spam: y\n"},

    // Extension fields.
    {"X-Mailer and X-Priority are kept, also with a longer name",
     "X-Mailer: tool\nX-Priority: 3\nX-Mailer-Version: 2.1\nX-PriorityFlag: 1\n",
     "X-Mailer: tool\nX-Priority: 3\nX-Mailer-Version: 2.1\nX-PriorityFlag: 1\n"},
    {"other X- fields go with their continuation lines",
     "X-Spam-Level: *****\n\t*****\nX-Mail: a\nX-Original-Mailer: b\nX-\nX-priority: 1\nTo: c\n",
     "To: c\n"},
    {"a kept X- field after a dropped one", "X-Spam: yes\n\tmore\nX-Mailer: tool\n\tv2\n",
     "X-Mailer: tool\n\tv2\n"},

    // The subject tag.
    {"the tag and the space before it are cut", "Subject: Hello - fido7.ru.general\n",
     "Subject: Hello\n"},
    {"only the byte before the tag goes", "Subject: Hello  - fido7.x\n", "Subject: Hello \n"},
    {"the byte before may be a TAB", "Subject: Hello\t- fido7.x\n", "Subject: Hello\n"},
    {"everything after the first tag goes", "Subject: Re: a - fido7.b (was: c - fido7.d)\n",
     "Subject: Re: a\n"},
    {"a tag right after the colon leaves the field name whole", "Subject:- fido7.x\n",
     "Subject:\n"},
    {"a tag after the colon and one byte leaves the field name whole",
     "Subject: - fido7.x\nSubject:x- fido7.y\n", "Subject:\nSubject:\n"},
    {"no cut without the whole tag",
     "Subject: Hello - fido7\nSubject: a -fido7.x\nSubject: a - Fido7.x\n",
     "Subject: Hello - fido7\nSubject: a -fido7.x\nSubject: a - Fido7.x\n"},
    {"the tag is cut only from a Subject: line",
     "To: Hello - fido7.x\nsubject: a - fido7.x\nSubject: a\n b - fido7.c\n",
     "To: Hello - fido7.x\nsubject: a - fido7.x\nSubject: a\n b - fido7.c\n"},

    // The plain-text test.
    {"no Content-Type: line leaves PlainText on", "Subject: x\n", "Subject: x\n"},
    {"text/plain", "Content-Type: text/plain; charset=koi8-r\n",
     "Content-Type: text/plain; charset=koi8-r\n"},
    {"multipart", "Content-Type: multipart/alternative;\n\tboundary=\"b\"\n",
     "Content-Type: multipart/alternative;\n\tboundary=\"b\"\n", false, false},
    {"the type is compared case-sensitively", "Content-Type: Text/Plain\n",
     "Content-Type: Text/Plain\n", false, false},
    {"text/plain anywhere in the first line counts",
     "Content-Type: multipart/mixed; type=\"text/plain\"\n",
     "Content-Type: multipart/mixed; type=\"text/plain\"\n"},
    {"a type on a continuation line is not read", "Content-Type:\n\ttext/plain\n",
     "Content-Type:\n\ttext/plain\n", false, false},
    {"the last Content-Type: line decides, plain last",
     "Content-Type: text/html\nContent-Type: text/plain\n",
     "Content-Type: text/html\nContent-Type: text/plain\n"},
    {"the last Content-Type: line decides, plain first",
     "Content-Type: text/plain\nContent-Type: text/html\n",
     "Content-Type: text/plain\nContent-Type: text/html\n", false, false},
    {"a field name in lower case is no Content-Type: line", "content-type: text/html\n",
     "content-type: text/html\n"},
    {"a dropped field never sets PlainText", "X-Content-Type: text/html\n", "", true},
};

TEST(HeaderRules, Cases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Result result = ApplyToBlock(c.input);
    EXPECT_EQ(result.kept, c.expected);
    EXPECT_EQ(result.skipping, c.skipping);
    EXPECT_EQ(result.plain_text, c.plain_text);
  }
}

TEST(HeaderRules, EveryDropListFieldGoesWithItsContinuationLines) {
  for (const char* name : {"Received:", "Return-Path:", "Delivered-To:", "FL-Build:", "Sender:",
                           "Distribution:", "List-Unsubscribe:"}) {
    SCOPED_TRACE(name);
    const std::string field(name);
    // The field name alone, with a value, and with continuation lines.
    EXPECT_EQ(
        ApplyToBlock("To: a\n" + field + "\n" + field + " value\n\tmore\n more\nCc: b\n").kept,
        "To: a\nCc: b\n");
  }
}

// The inline test of the first byte only shortens the way to a result the
// full rules give too: for lines that begin with every byte and go on as
// every rule's prefix does, in both states of Skipping.
TEST(HeaderRules, FirstByteShortcutAgreesWithTheFullRules) {
  const std::string_view tails[] = {"",
                                    "eceived: a",
                                    "eturn-Path: a",
                                    "elivered-To: a",
                                    "L-Build: a",
                                    "ender: a",
                                    "istribution: a",
                                    "ist-Unsubscribe: a",
                                    "-Spam: a",
                                    "-Priority: 1",
                                    "-Mailer: a",
                                    "ubject: a - fido7.b",
                                    "ontent-Type: text/html",
                                    "\tcontinued"};
  for (int byte = 0; byte < 256; ++byte) {
    for (const std::string_view tail : tails) {
      for (const bool skipping : {false, true}) {
        const std::string line = static_cast<char>(byte) + std::string(tail);
        SCOPED_TRACE(testing::Message()
                     << "line " << testing::PrintToString(line) << (skipping ? ", skipping" : ""));
        FilterState inline_state;
        inline_state.InHeader = inline_state.PlainText = true;
        inline_state.Skipping = skipping;
        FilterState full_state = inline_state;
        EXPECT_EQ(ApplyHeaderRules(line, inline_state),
                  internal::ApplyHeaderRulesSlowly(line, full_state));
        EXPECT_EQ(inline_state.Skipping, full_state.Skipping);
        EXPECT_EQ(inline_state.PlainText, full_state.PlainText);
      }
    }
  }
}

}  // namespace
}  // namespace mboxclean

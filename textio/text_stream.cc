#include "textio/text_stream.h"

#include <algorithm>
#include <cstring>

#include "textio/error_codes.h"
#include "textio/failure_exit.h"

namespace mboxclean {
namespace {

// Set when a stream other than the console writes to a standard output that
// is not a terminal: that output is the mailbox, so console text goes to
// standard error instead of mixing into it.
bool standard_output_carries_data = false;

// Appends `size` bytes to `line`, leaving out every CR.
void AppendWithoutCr(std::string& line, const char* data, std::size_t size) {
  while (size > 0) {
    const void* cr = std::memchr(data, '\r', size);
    const std::size_t run = cr == nullptr ? size : static_cast<const char*>(cr) - data;
    line.append(data, run);
    if (cr == nullptr) return;
    data += run + 1;
    size -= run + 1;
  }
}

}  // namespace

TextStream::TextStream(std::size_t buffer_blocks) : TextStream(buffer_blocks, false) {}

TextStream::TextStream(std::size_t buffer_blocks, bool is_console)
    : is_console_(is_console),
      capacity_(std::max<std::size_t>(buffer_blocks, 1) * kBlockSize),
      buffer_(new char[capacity_]) {}

TextStream::~TextStream() = default;

void TextStream::Assign(std::string_view path) {
  path_.assign(path);
  named_ = !path_.empty();
  mode_ = Mode::kClosed;
  crlf_ = true;
  handle_ = kNoHandle;
  pos_ = end_ = 0;
  input_ended_ = each_statement_ = utf8_text_ = write_failed_ = false;
}

void TextStream::OpenForInput() {
  if (mode_ != Mode::kClosed) Close();
  mode_ = Mode::kInput;
  pos_ = end_ = 0;
  input_ended_ = false;
  index_.Reserve(capacity_);
  Platform& platform = CurrentPlatform();
  const int code = named_ ? platform.OpenInputFile(path_, &handle_)
                          : platform.GetStandardHandle(StandardHandle::kInput, &handle_);
  if (code != 0) FailOpen(code);
}

void TextStream::FailOpen(int code) {
  mode_ = Mode::kClosed;
  handle_ = kNoHandle;
  SetIoError(code);
}

void TextStream::OpenForOutput() {
  if (mode_ != Mode::kClosed) Close();
  mode_ = Mode::kOutput;
  pos_ = end_ = 0;
  write_failed_ = utf8_text_ = false;
  Platform& platform = CurrentPlatform();
  StandardHandle which = StandardHandle::kOutput;
  if (is_console_ && standard_output_carries_data) which = StandardHandle::kError;
  const int code = named_ ? platform.OpenOutputFile(path_, &handle_)
                          : platform.GetStandardHandle(which, &handle_);
  if (code != 0) {
    FailOpen(code);
    return;
  }
  switch (platform.KindOf(handle_)) {
    case HandleKind::kCharacterDevice:
      each_statement_ = true;
      utf8_text_ = is_console_ && platform.IsUtf8Terminal(handle_);
      break;
    case HandleKind::kDiskOrPipe:
      each_statement_ = false;
      if (!named_ && !is_console_) standard_output_carries_data = true;
      break;
    case HandleKind::kUndetermined:
      // A standard handle is released too: nothing can be written to it.
      platform.Close(handle_);
      FailOpen(error_code::kNotOpenForOutput);
      break;
  }
}

bool TextStream::Refill() {
  pos_ = end_ = 0;
  if (input_ended_) return false;
  std::size_t count = 0;
  const int code = CurrentPlatform().Read(handle_, buffer_.get(), capacity_, &count);
  if (code != 0) {
    SetIoError(code);
    count = 0;
  }
  end_ = count;
  // With the line-break style on, the end is final: later requests see it
  // again without reading. Without it, a terminal may give more data later.
  if (count == 0 && crlf_) input_ended_ = true;
  index_.Build(buffer_.get(), end_);
  next_cr_ = index_.MayHoldCr() ? FindCr(0) : end_;
  return count > 0;
}

bool TextStream::AtEndSlowly() {
  if (mode_ != Mode::kInput) {
    SetIoError(error_code::kNotOpenForInput);
    return true;
  }
  if (pos_ == end_ && !Refill()) return true;
  if (crlf_ && buffer_[pos_] == kEndOfInputByte) {
    input_ended_ = true;
    return true;
  }
  return false;
}

// The line spans refills, has no terminator before the end of the input, or
// holds a CR that must be left out: it is gathered in line_.
std::string_view TextStream::ReadLineSlowly() {
  line_.clear();
  if (AtEnd()) return line_;
  for (;;) {
    if (pos_ == end_ && !Refill()) break;
    const std::size_t lf_at = index_.NextLf(pos_);
    AppendWithoutCr(line_, buffer_.get() + pos_, lf_at - pos_);
    if (lf_at != end_) {
      pos_ = lf_at + 1;
      break;
    }
    pos_ = end_;
  }
  // next_cr_ is found again where it is needed.
  return line_;
}

bool TextStream::ReadyToWrite() {
  if (is_console_ && mode_ == Mode::kClosed) {
    // With a failure pending the process ends at this statement's CheckIo:
    // opening the console now could only show the rest of a statement.
    if (IoError() != 0) return false;
    OpenForOutput();
    if (mode_ != Mode::kOutput) {
      // Whatever kept the console from opening, the write fails as a write
      // to a stream that is not open; the next write tries again.
      SetIoError(error_code::kNotOpenForOutput);
      return false;
    }
  }
  if (mode_ != Mode::kOutput) {
    SetIoError(error_code::kNotOpenForOutput);
    return false;
  }
  return true;
}

void TextStream::Transfer(const char* data, std::size_t size) {
  // After a failed write nothing more reaches the handle, so the output
  // stays a prefix of the good output.
  if (write_failed_ || size == 0) return;
  const int code = CurrentPlatform().Write(handle_, data, size);
  if (code != 0) {
    write_failed_ = true;
    SetIoError(code);
  }
}

void TextStream::Store(const char* data, std::size_t size) {
  if (pos_ > 0) {
    const std::size_t room = std::min(capacity_ - pos_, size);
    std::memcpy(buffer_.get() + pos_, data, room);
    pos_ += room;
    data += room;
    size -= room;
    if (pos_ < capacity_) return;
    Transfer(buffer_.get(), capacity_);
    pos_ = 0;
  }
  // Whole buffers of a long text go straight to the handle, still in whole
  // runs of blocks.
  const std::size_t direct = size - size % capacity_;
  Transfer(data, direct);
  std::memcpy(buffer_.get(), data + direct, size - direct);
  pos_ = size - direct;
}

void TextStream::WriteLinesSlowly(std::string_view lines) {
  if (!ReadyToWrite()) return;
  // A transfer each time the buffer fills, as the lines one at a time would
  // make; never one straight from `lines`, which could join several.
  while (lines.size() >= capacity_ - pos_) {
    const std::size_t room = capacity_ - pos_;
    std::memcpy(buffer_.get() + pos_, lines.data(), room);
    Transfer(buffer_.get(), capacity_);
    pos_ = 0;
    lines.remove_prefix(room);
  }
  std::memcpy(buffer_.get() + pos_, lines.data(), lines.size());
  pos_ += lines.size();
}

void TextStream::WriteText(std::string_view cp866, std::string_view utf8) {
  // The console opens at its first write, and only then is its kind known.
  if (ReadyToWrite()) WriteText(utf8_text_ ? utf8 : cp866);
}

void TextStream::WriteCharSlowly(char byte) {
  if (!ReadyToWrite()) return;
  buffer_[pos_++] = byte;
  if (pos_ == capacity_) {
    Transfer(buffer_.get(), capacity_);
    pos_ = 0;
  }
}

void TextStream::WriteInt(std::int64_t value) {
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  // Unsigned arithmetic, so that the most negative value has a magnitude.
  std::uint64_t magnitude =
      value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  WriteText({p, static_cast<std::size_t>(end - p)});
}

void TextStream::EndStatementSlowly() {
  if (mode_ == Mode::kClosed) {
    if (!is_console_) SetIoError(error_code::kStreamNotOpen);
    return;
  }
  if (mode_ == Mode::kOutput && each_statement_) {
    Transfer(buffer_.get(), pos_);
    pos_ = 0;
  }
}

void TextStream::WriteLineEnd() {
  WriteText(crlf_ ? std::string_view("\r\n") : std::string_view("\n"));
  EndStatement();
}

void TextStream::Flush() {
  if (mode_ != Mode::kOutput) return;
  Transfer(buffer_.get(), pos_);
  pos_ = 0;
}

void TextStream::Close() {
  if (mode_ == Mode::kClosed) {
    SetIoError(error_code::kStreamNotOpen);
    return;
  }
  if (mode_ == Mode::kOutput) {
    Flush();
    // A failed write keeps the stream open with its handle.
    if (write_failed_) return;
  }
  if (!named_) return;
  const int code = CurrentPlatform().Close(handle_);
  mode_ = Mode::kClosed;
  handle_ = kNoHandle;
  if (code != 0) SetIoError(code);
}

TextStream& ConsoleOut() {
  static TextStream console(kDefaultBufferBlocks, true);
  return console;
}

void ResetTextIoProcessState() {
  ClearIoError();
  standard_output_carries_data = false;
  ConsoleOut().Assign("");
}

}  // namespace mboxclean

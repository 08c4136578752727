// A buffered, byte-oriented text stream on a named file or a standard handle.
//
// The unit of every transfer is the 128-byte block: a stream's buffer holds
// a whole number of blocks (512 by default, 64 KiB), input is read in
// requests of up to the buffer's size, and output leaves in whole runs of
// blocks whenever the buffer fills, the rest at Close. So after a failure an
// output file holds a whole number of blocks, all of them a prefix of the
// good output. A terminal is the exception: it gets every write statement as
// soon as the statement ends.
//
// Lines: a line ends at LF; every CR in it is dropped (CR LF ends a line, a
// lone CR vanishes); the end of the data ends a last line that has no
// terminator. With the line-break style on (the default, and the only style
// the program uses) the byte 0x1A where a line would begin marks the end of
// the input, for good; anywhere else in a line it is an ordinary byte.
//
// Operations never report failure to the caller: a failing one stores its
// code in IoError (failure_exit.h), and the caller runs CheckIo after each
// operation and each write statement. A write statement is a run of
// WriteText, WriteChar and WriteInt ended by EndStatement or WriteLineEnd.
//
// Nothing is written out by the destructor: bytes still waiting when a
// stream is destroyed without Close are lost, as at a failure exit.
#ifndef MBOXCLEAN_TEXTIO_TEXT_STREAM_H_
#define MBOXCLEAN_TEXTIO_TEXT_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "textio/line_end_index.h"
#include "textio/platform.h"

namespace mboxclean {

inline constexpr std::size_t kBlockSize = 128;
inline constexpr std::size_t kDefaultBufferBlocks = 512;

// The offset of the first CR in the bytes of `base` from `from` up to
// `end`; `end` when there is none.
inline std::size_t FindCrIn(const char* base, std::size_t from, std::size_t end) {
  const void* cr = std::memchr(base + from, '\r', end - from);
  return cr == nullptr ? end : static_cast<std::size_t>(static_cast<const char*>(cr) - base);
}

class TextStream {
 public:
  explicit TextStream(std::size_t buffer_blocks = kDefaultBufferBlocks);
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;
  ~TextStream();

  // Binds the stream to `path` (empty: the standard handle) and resets it:
  // closed, line-break style on, buffer empty. Never fails.
  void Assign(std::string_view path);
  // With the style off, 0x1A is an ordinary byte and WriteLineEnd gives LF.
  void SetCrlf(bool on) { crlf_ = on; }

  // Opens the bound file, or standard input, for reading. An open stream is
  // closed first.
  void OpenForInput();
  // Creates or truncates the bound file, or takes standard output, for
  // writing. An open stream is closed first. A handle of undetermined kind
  // is released and the open fails with 105.
  void OpenForOutput();

  // True when no line is left. May read ahead; makes no read when a byte is
  // already waiting.
  bool AtEnd();
  // Reads the next line, without its terminator. The view stays valid until
  // the next operation on this stream; it points into the stream's buffer
  // wherever the line lies there whole, so most lines are never copied.
  std::string_view ReadLine();

  // The lines that lie whole in the buffer, for a caller that walks them
  // itself, as runs rather than one ReadLine at a time: the buffer and its
  // LF index, without a read.
  struct LineWalk {
    const char* base;          // the buffer
    std::size_t begin;         // its first unread byte, where a line begins
    std::size_t end;           // the end of its valid bytes
    std::size_t next_cr;       // its first CR at or after `begin`; `end` if none
    LineEndIndex::LfWalk lfs;  // the LFs from `begin` on

    // The first CR at or after `from`; `end` if none.
    std::size_t FindCr(std::size_t from) const { return FindCrIn(base, from, end); }
  };
  // Where a walk stopped: the offset just past the LF of the last line it
  // took (`begin` for none), and the first CR at or after that offset
  // (`end` if none), which ReadLine then trusts.
  struct WalkedTo {
    std::size_t at;
    std::size_t next_cr;
  };
  // Hands `walk` the lines that lie whole in the buffer and goes on after
  // the last line it takes. The walk may take, in order, only lines that
  // ReadLine would return as they lie in the buffer, less a CR just before
  // the LF: none that holds another CR, and none that begins with 0x1A.
  template <typename Walk>
  void TakeWalkedLines(Walk&& walk);

  void WriteText(std::string_view text);
  // A console text given in both of its encodings: `utf8` on a terminal
  // that shows UTF-8, `cp866` everywhere else. The choice is made once,
  // when the stream opens.
  void WriteText(std::string_view cp866, std::string_view utf8);
  void WriteChar(char byte);
  // Decimal, with a minus sign for a negative value and no padding.
  void WriteInt(std::int64_t value);
  // Ends a write statement: a terminal gets the waiting bytes now.
  void EndStatement();
  // CR LF (LF alone with the style off), then EndStatement.
  void WriteLineEnd();
  // Appends whole lines as if each were a statement of its own: through the
  // buffer, so that the same bytes leave in the same transfers as they
  // would line by line. Not for a terminal, which wants each line at once.
  void WriteLines(std::string_view lines);
  // Whether each write statement is written at once (a terminal).
  bool WritesEachStatement() const { return each_statement_; }
  // Writes the waiting bytes without closing. Nothing happens on a closed
  // console stream.
  void Flush();
  // Writes the waiting bytes, then releases a named file's handle. A stream
  // on a standard handle stays open.
  void Close();

 private:
  friend TextStream& ConsoleOut();
  enum class Mode { kClosed, kInput, kOutput };
  TextStream(std::size_t buffer_blocks, bool is_console);

  // The fast paths below are inline, as they run for every line; the
  // rest, and every case that touches the platform, is out of line.
  void FailOpen(int code);
  bool AtEndSlowly();
  bool Refill();
  std::string_view ReadLineSlowly();
  bool ReadyToWrite();
  void Store(const char* data, std::size_t size);
  // The first CR at or after `from` in the buffer; end_ when none.
  std::size_t FindCr(std::size_t from) const { return FindCrIn(buffer_.get(), from, end_); }
  void WriteCharSlowly(char byte);
  void WriteLinesSlowly(std::string_view lines);
  void EndStatementSlowly();
  void Transfer(const char* data, std::size_t size);
  void OpenConsole();

  std::string path_;
  Mode mode_ = Mode::kClosed;
  bool crlf_ = true;
  bool named_ = false;           // bound to a path, not a standard handle
  bool each_statement_ = false;  // output to a terminal
  bool utf8_text_ = false;       // the console on a terminal that shows UTF-8
  bool input_ended_ = false;     // the end of input was seen (line-break style on)
  bool write_failed_ = false;    // a transfer failed: nothing more may follow it
  const bool is_console_;
  Handle handle_ = kNoHandle;
  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;  // input: next unread byte; output: bytes waiting
  std::size_t end_ = 0;  // input: valid bytes
  // Input: the first CR at or after pos_ (end_ when there is none); a value
  // below pos_ is stale and is looked for again when needed, so a mailbox
  // with LF line ends looks for a CR once per buffer, not once per line.
  std::size_t next_cr_ = 0;
  LineEndIndex index_;  // input: where the buffer's LF bytes lie
  std::string line_;    // lines that do not lie whole in the buffer
};

// The console stream for progress and summary text. It opens itself for
// output at its first write, on standard output, or on standard error when
// the mailbox itself is being written to a standard output that is not a
// terminal; if that open fails the write fails with 105 and the next write
// tries again. It is never closed.
TextStream& ConsoleOut();

// Puts the stream layer's process-wide state (IoError, ConsoleOut and the
// routing of console text) back to its state at process start; for tests
// that run the program more than once in one process.
void ResetTextIoProcessState();

inline constexpr char kEndOfInputByte = 0x1A;

inline bool TextStream::AtEnd() {
  if (mode_ == Mode::kInput && pos_ < end_) return crlf_ && buffer_[pos_] == kEndOfInputByte;
  return AtEndSlowly();
}

inline std::string_view TextStream::ReadLine() {
  if (mode_ == Mode::kInput && pos_ < end_ && !(crlf_ && buffer_[pos_] == kEndOfInputByte)) {
    const std::size_t lf_at = index_.NextLf(pos_);
    if (lf_at != end_) {
      char* const start = buffer_.get() + pos_;
      if (next_cr_ < pos_) next_cr_ = FindCr(pos_);
      // Without a CR in the line, or with one just before the LF only (the
      // first CR is that one), the line is the buffer's bytes as they lie.
      if (next_cr_ > lf_at || next_cr_ + 1 == lf_at) {
        const std::size_t size = (next_cr_ + 1 == lf_at ? next_cr_ : lf_at) - pos_;
        pos_ = lf_at + 1;
        return {start, size};
      }
    }
  }
  return ReadLineSlowly();
}

template <typename Walk>
void TextStream::TakeWalkedLines(Walk&& walk) {
  if (mode_ != Mode::kInput || pos_ == end_) return;
  if (next_cr_ < pos_) next_cr_ = FindCr(pos_);
  const WalkedTo to = walk(LineWalk{buffer_.get(), pos_, end_, next_cr_, index_.WalkLfs(pos_)});
  pos_ = to.at;
  next_cr_ = to.next_cr;
}

inline void TextStream::WriteText(std::string_view text) {
  // The buffer never fills on this path, so no transfer is due.
  if (mode_ == Mode::kOutput && text.size() < capacity_ - pos_) {
    std::memcpy(buffer_.get() + pos_, text.data(), text.size());
    pos_ += text.size();
    return;
  }
  if (ReadyToWrite()) Store(text.data(), text.size());
}

inline void TextStream::WriteLines(std::string_view lines) {
  // As in WriteText: the buffer never fills on this path.
  if (mode_ == Mode::kOutput && lines.size() < capacity_ - pos_) {
    std::memcpy(buffer_.get() + pos_, lines.data(), lines.size());
    pos_ += lines.size();
    return;
  }
  WriteLinesSlowly(lines);
}

inline void TextStream::WriteChar(char byte) {
  if (mode_ == Mode::kOutput && pos_ + 1 < capacity_) {
    buffer_[pos_++] = byte;
    return;
  }
  WriteCharSlowly(byte);
}

inline void TextStream::EndStatement() {
  if (mode_ == Mode::kOutput && !each_statement_) return;
  EndStatementSlowly();
}

}  // namespace mboxclean

#endif  // MBOXCLEAN_TEXTIO_TEXT_STREAM_H_

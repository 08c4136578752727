// The Win32 platform against the system itself (under Wine in the cross
// build): the share modes of the two opens, the codes of failed calls,
// handle kinds, pipes, and standard handles that are missing, unusable or
// the input file. The end-to-end suite covers what a shell can set up; these
// cover what only a Windows parent process could.
#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "textio/error_codes.h"
#include "textio/failure_exit.h"
#include "textio/platform.h"
#include "textio/text_stream.h"

namespace mboxclean {
namespace {

namespace fs = std::filesystem;

HANDLE ToWin32(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// A handle released at the end of its scope, also when an expectation has
// failed, so that no test leaves a file open for the next one. A handle the
// platform opened goes back through the platform, which forgets it too.
class Held {
 public:
  Held() = default;
  explicit Held(HANDLE handle) : handle_(handle) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() { Release(); }

  HANDLE get() const { return handle_; }
  Handle value() const { return reinterpret_cast<Handle>(handle_); }
  void Take(HANDLE handle) {
    Release();
    handle_ = handle;
    by_platform_ = false;
  }
  void TakeFromPlatform(Handle handle) {
    Take(ToWin32(handle));
    by_platform_ = true;
  }
  void Release() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    if (by_platform_) {
      NativePlatform().Close(value());
    } else {
      CloseHandle(handle_);
    }
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool by_platform_ = false;
};

bool IsOpen(HANDLE handle) {
  DWORD flags;
  return GetHandleInformation(handle, &flags) != 0;
}

class Win32Platform : public ::testing::Test {
 protected:
  void SetUp() override {
    static int test_number = 0;
    folder_ =
        fs::temp_directory_path() / ("mboxclean-platform-" + std::to_string(GetCurrentProcessId()) +
                                     "-" + std::to_string(++test_number));
    fs::create_directories(folder_ / "folder");
    for (DWORD id : kStandardIds) saved_.push_back(GetStdHandle(id));
  }

  void TearDown() override {
    for (std::size_t i = 0; i < std::size(kStandardIds); ++i)
      SetStdHandle(kStandardIds[i], saved_[i]);
    ResetTextIoProcessState();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  int OpenInput(const std::string& name, Held& held) {
    Handle handle = kNoHandle;
    const int code = platform_.OpenInputFile(Path(name), &handle);
    if (code == 0) held.TakeFromPlatform(handle);
    return code;
  }

  int OpenOutput(const std::string& name, Held& held) {
    Handle handle = kNoHandle;
    const int code = platform_.OpenOutputFile(Path(name), &handle);
    if (code == 0) held.TakeFromPlatform(handle);
    return code;
  }

  // Opens an existing file as another program would, sharing everything;
  // gives the call's error code, 0 on success.
  DWORD OpenElsewhere(const std::string& name, DWORD access, Held& held) const {
    const HANDLE handle =
        CreateFileA(Path(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    held.Take(handle);
    return 0;
  }

  static constexpr DWORD kStandardIds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  Platform& platform_ = NativePlatform();
  fs::path folder_;
  std::vector<HANDLE> saved_;
};

TEST_F(Win32Platform, FailedOpensGiveTheSystemsCodes) {
  struct Case {
    const char* name;
    bool output;
    const char* path;
    int code;
  };
  const Case cases[] = {
      {"missing file", false, "missing.mbox", ERROR_FILE_NOT_FOUND},
      {"missing folder, input", false, "nofolder/in.mbox", ERROR_PATH_NOT_FOUND},
      {"missing folder, output", true, "nofolder/out.mbox", ERROR_PATH_NOT_FOUND},
      {"folder as input", false, "folder", ERROR_ACCESS_DENIED},
      {"folder as output", true, "folder", ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Held held;
    EXPECT_EQ(c.output ? OpenOutput(c.path, held) : OpenInput(c.path, held), c.code);
  }
  EXPECT_FALSE(fs::exists(folder_ / "missing.mbox"));
}

TEST_F(Win32Platform, TheInputLetsOthersReadButNotWrite) {
  Write("in.mbox", "mail");
  Held input, reader, writer;
  ASSERT_EQ(OpenInput("in.mbox", input), 0);
  EXPECT_EQ(OpenElsewhere("in.mbox", GENERIC_READ, reader), 0u);
  EXPECT_EQ(OpenElsewhere("in.mbox", GENERIC_WRITE, writer), DWORD{ERROR_SHARING_VIOLATION});
  input.Release();
  EXPECT_EQ(OpenElsewhere("in.mbox", GENERIC_WRITE, writer), 0u) << "Close released the file";
}

TEST_F(Win32Platform, AnOutputNamingTheOpenInputFailsWith32AndLeavesItIntact) {
  Write("in.mbox", "mail");
  Held input;
  ASSERT_EQ(OpenInput("in.mbox", input), 0);
  // The same file under other spellings: Windows names are case-blind.
  for (const char* name : {"in.mbox", "IN.MBOX", ".\\in.mbox", "folder\\..\\in.mbox"}) {
    SCOPED_TRACE(name);
    Held output;
    EXPECT_EQ(OpenOutput(name, output), error_code::kSharingViolation);
    EXPECT_EQ(Read("in.mbox"), "mail");
  }
}

TEST_F(Win32Platform, AFileAnotherProgramWritesCannotBeTheInput) {
  // As `mboxclean in.mbox >> in.mbox` sets it up: the shell writes the file.
  Write("in.mbox", "mail");
  Held shell, input;
  ASSERT_EQ(OpenElsewhere("in.mbox", FILE_APPEND_DATA, shell), 0u);
  EXPECT_EQ(OpenInput("in.mbox", input), error_code::kSharingViolation);
}

TEST_F(Win32Platform, TheOutputIsCreatedOrTruncatedAndOthersMayOnlyReadIt) {
  Write("old.mbox", "old contents");
  for (const char* name : {"old.mbox", "new.mbox"}) {
    SCOPED_TRACE(name);
    Held output, writer;
    ASSERT_EQ(OpenOutput(name, output), 0);
    EXPECT_EQ(Read(name), "");
    EXPECT_EQ(OpenElsewhere(name, GENERIC_WRITE, writer), DWORD{ERROR_SHARING_VIOLATION});
    EXPECT_EQ(platform_.Write(output.value(), "new", 3), 0);
    EXPECT_EQ(Read(name), "new") << "another program may read it meanwhile";
  }
}

TEST_F(Win32Platform, KindsComeFromGetFileType) {
  Write("file", "");
  Held file, null_device;
  ASSERT_EQ(OpenInput("file", file), 0);
  Handle handle = kNoHandle;
  ASSERT_EQ(platform_.OpenOutputFile("NUL", &handle), 0);
  null_device.TakeFromPlatform(handle);
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  Held pipe_reader(read_end), pipe_writer(write_end);
  // An event is a handle, but of no file kind at all.
  Held event(CreateEventA(nullptr, TRUE, FALSE, nullptr));

  EXPECT_EQ(platform_.KindOf(file.value()), HandleKind::kDiskOrPipe);
  EXPECT_EQ(platform_.KindOf(pipe_writer.value()), HandleKind::kDiskOrPipe);
  EXPECT_EQ(platform_.KindOf(null_device.value()), HandleKind::kCharacterDevice);
  EXPECT_EQ(platform_.KindOf(event.value()), HandleKind::kUndetermined);
  EXPECT_EQ(platform_.KindOf(kNoHandle), HandleKind::kUndetermined);
}

TEST_F(Win32Platform, APipeWhoseWriterHasGoneIsTheEndOfTheData) {
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  Held reader(read_end), writer(write_end);
  DWORD put;
  ASSERT_TRUE(WriteFile(writer.get(), "abc", 3, &put, nullptr));
  writer.Release();
  char buffer[16];
  std::size_t count = 99;
  EXPECT_EQ(platform_.Read(reader.value(), buffer, sizeof buffer, &count), 0);
  EXPECT_EQ(std::string(buffer, count), "abc");
  EXPECT_EQ(platform_.Read(reader.value(), buffer, sizeof buffer, &count), 0);
  EXPECT_EQ(count, 0u);
}

TEST_F(Win32Platform, FailedWritesGiveTheSystemsCodes) {
  HANDLE read_end, write_end;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  Held reader(read_end), writer(write_end);
  reader.Release();
  EXPECT_EQ(platform_.Write(writer.value(), "abc", 3), ERROR_NO_DATA) << "the reader has gone";

  Write("in.mbox", "mail");
  Held input;
  ASSERT_EQ(OpenInput("in.mbox", input), 0);
  EXPECT_EQ(platform_.Write(input.value(), "abc", 3), ERROR_ACCESS_DENIED)
      << "a handle for reading";
}

TEST_F(Win32Platform, AStandardOutputThatIsTheStandardInputFileFailsWith32) {
  // As `mboxclean < in.mbox >> in.mbox` sets it up. This is the only test
  // that makes a disk file standard input: the platform remembers it for
  // the rest of the process.
  Write("in.mbox", "mail");
  Write("other.mbox", "");
  Held input, same, other;
  ASSERT_EQ(OpenElsewhere("in.mbox", GENERIC_READ, input), 0u);
  ASSERT_EQ(OpenElsewhere("in.mbox", FILE_APPEND_DATA, same), 0u);
  ASSERT_EQ(OpenElsewhere("other.mbox", FILE_APPEND_DATA, other), 0u);
  SetStdHandle(STD_INPUT_HANDLE, input.get());
  SetStdHandle(STD_OUTPUT_HANDLE, other.get());
  SetStdHandle(STD_ERROR_HANDLE, same.get());

  Handle handle = kNoHandle;
  EXPECT_EQ(platform_.GetStandardHandle(StandardHandle::kInput, &handle), 0);
  EXPECT_EQ(ToWin32(handle), input.get());
  EXPECT_EQ(platform_.GetStandardHandle(StandardHandle::kOutput, &handle), 0);
  EXPECT_EQ(ToWin32(handle), other.get());
  EXPECT_EQ(platform_.GetStandardHandle(StandardHandle::kError, &handle),
            error_code::kSharingViolation);
  SetStdHandle(STD_OUTPUT_HANDLE, same.get());
  EXPECT_EQ(platform_.GetStandardHandle(StandardHandle::kOutput, &handle),
            error_code::kSharingViolation);
  EXPECT_EQ(Read("in.mbox"), "mail");
}

TEST_F(Win32Platform, AMissingOrUnusableStandardOutputFailsWith105) {
  // Released by the open itself, which is what is checked.
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  struct Case {
    const char* name;
    HANDLE handle;
  };
  const Case cases[] = {
      {"no handle (NULL)", nullptr},
      {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
      {"a handle of no file kind", event},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetStdHandle(STD_OUTPUT_HANDLE, c.handle);
    ResetTextIoProcessState();
    TextStream out;
    out.Assign("");
    out.OpenForOutput();
    EXPECT_EQ(IoError(), error_code::kNotOpenForOutput);
  }
  EXPECT_FALSE(IsOpen(event)) << "an unusable standard handle is released";
  // With the mailbox going to a file, the console fails at its first write.
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  ResetTextIoProcessState();
  ConsoleOut().WriteText("progress");
  EXPECT_EQ(IoError(), error_code::kNotOpenForOutput);
}

}  // namespace
}  // namespace mboxclean

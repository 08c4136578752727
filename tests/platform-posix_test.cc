// The POSIX platform's answer to which handle is a UTF-8 terminal, against
// the system itself: only a terminal is, not every character device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "textio/platform.h"

namespace mboxclean {
namespace {

// A descriptor closed at the end of its scope, also after a failed check.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

TEST(PosixPlatform, OnlyATerminalTakesUtf8Text) {
  Platform& platform = NativePlatform();

  Descriptor leader(::posix_openpt(O_RDWR | O_NOCTTY));
  ASSERT_GE(leader.get(), 0);
  ASSERT_EQ(::grantpt(leader.get()), 0);
  ASSERT_EQ(::unlockpt(leader.get()), 0);
  Descriptor follower(::open(::ptsname(leader.get()), O_RDWR | O_NOCTTY));
  ASSERT_GE(follower.get(), 0);
  EXPECT_EQ(platform.KindOf(follower.get()), HandleKind::kCharacterDevice);
  EXPECT_TRUE(platform.IsUtf8Terminal(follower.get()));

  // A character device as well, so the console writes every statement to
  // it at once, but no terminal: its bytes stay CP866.
  Descriptor null_device(::open("/dev/null", O_WRONLY));
  ASSERT_GE(null_device.get(), 0);
  EXPECT_EQ(platform.KindOf(null_device.get()), HandleKind::kCharacterDevice);
  EXPECT_FALSE(platform.IsUtf8Terminal(null_device.get()));

  char name[] = "/tmp/mboxclean-platform-XXXXXX";
  Descriptor file(::mkstemp(name));
  ASSERT_GE(file.get(), 0);
  ::unlink(name);
  EXPECT_FALSE(platform.IsUtf8Terminal(file.get()));

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  Descriptor reader(ends[0]), writer(ends[1]);
  EXPECT_FALSE(platform.IsUtf8Terminal(writer.get()));

  EXPECT_FALSE(platform.IsUtf8Terminal(kNoHandle));
}

}  // namespace
}  // namespace mboxclean

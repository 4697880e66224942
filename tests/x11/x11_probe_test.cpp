// The probe for a display gives up on a server that never answers; a write to a server that
// has gone leaves the process alive.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/x11/x11_display.h"
#include "x11/x11_test_support.h"

namespace orvex::platform::x11 {
namespace {

// A display number from `from` on with neither a server's socket nor its lock file.
int FreeDisplayNumber(int from) {
  for (int n = from; n < from + 100; ++n) {
    const std::string number = std::to_string(n);
    if (access(("/tmp/.X" + number + "-lock").c_str(), F_OK) != 0 &&
        access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) != 0) {
      return n;
    }
  }
  return -1;
}

// ":n" (written out so, as GCC 12 warns wrongly about "literal" + std::string&&).
std::string DisplayName(int n) {
  std::string name = ":";
  name += std::to_string(n);
  return name;
}

// A listening socket where display :n would be, that accepts connections (the kernel's
// backlog does) and never says a word.
class SilentServer {
 public:
  SilentServer() {
    mkdir("/tmp/.X11-unix", 01777);
    for (int n = FreeDisplayNumber(900); n >= 0 && fd_ < 0; n = FreeDisplayNumber(n + 1)) {
      path_ = "/tmp/.X11-unix/X";
      path_ += std::to_string(n);
      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      path_.copy(address.sun_path, sizeof address.sun_path - 1);
      if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          listen(fd, 4) == 0) {
        fd_ = fd;
        name_ = DisplayName(n);
      } else {
        close(fd);
      }
    }
  }
  ~SilentServer() {
    if (fd_ < 0) return;
    // Pending connections are reset: the probe's thread gets its answer at last and ends.
    close(fd_);
    unlink(path_.c_str());
  }
  const std::string& name() const { return name_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string name_;
};

TEST(X11ProbeTest, GivesUpOnAServerThatNeverAnswers) {
  SilentServer server;
  ASSERT_FALSE(server.name().empty()) << "no free display number for the socket";
  const auto limit = std::chrono::milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ProbeDisplay(server.name(), limit), ProbeResult::kTimedOut);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, limit);
  EXPECT_LT(waited, limit + std::chrono::seconds(5));
  // The attempt left behind holds its own thread only: other connections go on meanwhile.
  const int n = FreeDisplayNumber(900);
  ASSERT_GE(n, 0);
  EXPECT_EQ(ProbeDisplay(DisplayName(n), std::chrono::seconds(2)), ProbeResult::kUnreachable);
}

TEST(X11ProbeTest, AnswersAtOnceWhereNoServerListens) {
  const int n = FreeDisplayNumber(900);
  ASSERT_GE(n, 0);
  EXPECT_EQ(ProbeDisplay(DisplayName(n), std::chrono::seconds(10)), ProbeResult::kUnreachable);
}

// What a connection's write meets when the server has gone: a peer that closed its end.
TEST(PipeSignalGuardTest, AWriteToAClosedPeerFailsWithoutEndingTheProcess) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  {
    const PipeSignalGuard guard;
    EXPECT_EQ(write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
  }
  sigset_t pending;
  ASSERT_EQ(sigpending(&pending), 0);
  EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
  close(ends[1]);
}

TEST(X11ProbeTest, FindsTheDisplayOfTheEnvironment) {
  if (!orvex::testing::HaveDisplay()) GTEST_SKIP() << "no X display";
  EXPECT_EQ(ProbeDisplay("", std::chrono::seconds(10)), ProbeResult::kReachable);
  EXPECT_TRUE(DefaultDisplayReachable());
}

}  // namespace
}  // namespace orvex::platform::x11

// The orvex command in a process of its own, its standard output read line by line, for the
// tests that run it on an X display and for the pictures of its window.
#pragma once

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "x11/x11_test_support.h"

extern char** environ;

namespace orvex::testing {

// The command at `path` with `args`, its standard output read line by line; killed when still
// running at the end.
class ToolProcess {
 public:
  ToolProcess(const char* path, std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    std::vector<char*> argv{const_cast<char*>(path)};
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid_, path, &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~ToolProcess() {
    if (pid_ != 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  // The next output line that contains `text` (within 20 seconds); empty when none came.
  std::string LineWith(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line.find(text) != std::string::npos) return line;
        continue;
      }
      pollfd descriptor{out_, POLLIN, 0};
      if (poll(&descriptor, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t got = read(out_, buffer, sizeof buffer);
      if (got <= 0) break;
      pending_.append(buffer, static_cast<std::size_t>(got));
    }
    return {};
  }

  // The exit status, waiting up to 20 seconds; -1 when it did not end normally in time.
  int Wait() {
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; });
    if (!ended) return -1;
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
  int out_ = -1;
  std::string pending_;
};

}  // namespace orvex::testing

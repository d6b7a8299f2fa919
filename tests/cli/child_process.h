// SPDX-License-Identifier: GPL-3.0-or-later
// A child process (the tool or the simulator) with its standard output on a pipe,
// read until a text appears; killed if a test ends while it still runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

// A program of this build, by its path below the build folder ("/src/cli/q47v").
inline std::string Bin(const char* name) { return std::string(Q47V_BINARY_DIR) + name; }

class Child {
 public:
  bool Start(std::vector<std::string> args) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
    return rc == 0;
  }
  // Reads output until `text` appears or the output ends (bounded against a hang).
  bool WaitForOutput(const std::string& text, int limitMs = 60000) {
    return WaitUntil([&text](const std::string& out) { return out.find(text) != std::string::npos; }, limitMs);
  }
  // Reads output until `done` holds for all of it or the output ends.
  bool WaitUntil(const std::function<bool(const std::string&)>& done, int limitMs = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done(output_)) {
      pollfd p{out_, POLLIN, 0};
      if (std::chrono::steady_clock::now() > end || ::poll(&p, 1, 100) < 0) return false;
      if (!(p.revents & (POLLIN | POLLHUP))) continue;
      char buf[512];
      const ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) return done(output_);
      output_.append(buf, static_cast<std::size_t>(n));
    }
    return true;
  }
  int Wait() {
    WaitForOutput("\x01", 60000);  // drain until the end
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  const std::string& Output() const { return output_; }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
};


// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the q47v-sim program for a test: started with its options, its head line
// reached through a symbolic link in the test's directory, killed on demand.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"

extern char** environ;

class SimProcess {
 public:
  ~SimProcess() { Kill(); }

  // Starts the simulator and waits (bounded) until `linkPath` exists.
  bool Start(const std::vector<std::string>& options, const std::string& linkPath) {
    std::vector<std::string> args = {std::string(Q47V_BINARY_DIR) + "/src/sim/q47v-sim", "--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    for (int i = 0; i < 1000; ++i) {
      if (::access(linkPath.c_str(), F_OK) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A clock whose local second the test moves (thread-safe), so that once-a-second
// logic runs many "seconds" per real second against a real device. Waits are real.
class SteppingClock : public Clock {
 public:
  LocalTime Now() const override {
    LocalTime t{2026, 1, 1, 0, 0, 0, 99};
    const int s = second_.load();
    t.second = s % 60;
    t.minute = (s / 60) % 60;
    t.hour = s / 3600;
    return t;
  }
  void NextSecond() { ++second_; }

 private:
  std::atomic<int> second_{0};
};

// Waits (bounded, against a hang) until `done` holds, stepping `clock` (when given)
// by one second every `stepMs` of real time.
template <typename Done>
bool WaitUntil(Done done, SteppingClock* clock = nullptr, int stepMs = 30, int limitMs = 60000) {
  const auto start = std::chrono::steady_clock::now();
  auto lastStep = start;
  while (!done()) {
    const auto now = std::chrono::steady_clock::now();
    if (now - start > std::chrono::milliseconds(limitMs)) return false;
    if (clock && now - lastStep >= std::chrono::milliseconds(stepMs)) {
      clock->NextSecond();
      lastStep = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

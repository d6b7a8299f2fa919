// SPDX-License-Identifier: GPL-3.0-or-later
#include "x_display.h"

#include <fcntl.h>
#include <spawn.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
  std::vector<char*> v;
  for (const std::string& a : args) v.push_back(const_cast<char*>(a.c_str()));
  v.push_back(nullptr);
  return v;
}

}  // namespace

namespace {

// The environment with DISPLAY replaced (or the inherited one when `display` is
// empty); the strings live in `storage`.
std::vector<char*> EnvWith(const std::string& display, std::vector<std::string>& storage) {
  for (char** e = environ; *e; ++e)
    if (display.empty() || std::strncmp(*e, "DISPLAY=", 8) != 0) storage.emplace_back(*e);
  if (!display.empty()) storage.push_back("DISPLAY=" + display);
  std::vector<char*> env;
  for (std::string& e : storage) env.push_back(e.data());
  env.push_back(nullptr);
  return env;
}

// posix_spawn rather than fork: the test process has threads (Qt's, a sanitizer's),
// and a forked copy of them is not safe to run code in.
pid_t SpawnWith(const std::vector<std::string>& argv, const std::string& display, int out_fd) {
  std::vector<char*> args = Argv(argv);
  std::vector<std::string> storage;
  std::vector<char*> env = EnvWith(display, storage);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (out_fd >= 0)
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::string& display) {
  return SpawnWith(argv, display, -1);
}

int WaitExit(pid_t pid, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r < 0 || std::chrono::steady_clock::now() > end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void StopProcess(pid_t pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  if (WaitExit(pid, 5000) == -1) {
    ::kill(pid, SIGKILL);
    WaitExit(pid, 5000);
  }
}

XDisplay::XDisplay(bool window_manager, int width, int height, const std::string& openbox_config) {
  int fds[2];
  if (::pipe(fds) != 0) {
    why_ = "no pipe";
    return;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                   "-nolisten", "tcp", "-noreset"};
  xvfb_ = Spawn(args);  // the pipe's write end is inherited for -displayfd
  ::close(fds[1]);
  // Xvfb writes the display number it chose once it accepts clients.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    if (::poll(&p, 1, 200) <= 0) continue;
    char buf[32];
    const ssize_t n = ::read(fds[0], buf, sizeof buf);
    if (n <= 0) break;
    number.append(buf, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    why_ = "Xvfb did not start (is the xvfb package installed?)";
    return;
  }
  name_ = ":" + number.substr(0, number.find('\n'));
  if (window_manager) {
    std::vector<std::string> wm = {"openbox", "--sm-disable"};
    if (!openbox_config.empty()) {
      char path[] = "/tmp/q47v-openbox-XXXXXX";
      const int fd = ::mkstemp(path);
      if (fd >= 0) {
        const ssize_t n = ::write(fd, openbox_config.data(), openbox_config.size());
        ::close(fd);
        config_path_ = path;
        if (n == static_cast<ssize_t>(openbox_config.size())) {
          wm.push_back("--config-file");
          wm.push_back(config_path_);
        }
      }
    }
    wm_ = Spawn(wm, name_);
    // The window manager is up once it has announced itself on the root window.
    bool up = false;
    for (int i = 0; i < 200 && !up; ++i) {
      std::string out;
      up = Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, &out) == 0 && out.find("window id") != std::string::npos;
      if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!up) {
      why_ = "openbox did not start (are the openbox and x11-utils packages installed?)";
      return;
    }
  }
  ok_ = true;
}

XDisplay::~XDisplay() {
  StopProcess(wm_);
  StopProcess(xvfb_);
  if (!config_path_.empty()) ::unlink(config_path_.c_str());
}

int XDisplay::Run(const std::vector<std::string>& args, std::string* out) const {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = SpawnWith(args, name_, fds[1]);
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while (pid > 0 && (n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  if (pid <= 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

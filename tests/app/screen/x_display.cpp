#include "x_display.h"

#include <fcntl.h>
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

pid_t Spawn(const std::vector<std::string>& argv, const std::string& display) {
  std::vector<char*> args = Argv(argv);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!display.empty()) ::setenv("DISPLAY", display.c_str(), 1);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  return pid;
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

XDisplay::XDisplay(bool window_manager, int width, int height) {
  int fds[2];
  if (::pipe(fds) != 0) {
    why_ = "no pipe";
    return;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                   "-nolisten", "tcp", "-noreset"};
  std::vector<char*> argv = Argv(args);
  xvfb_ = ::fork();
  if (xvfb_ == 0) {
    ::close(fds[0]);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
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
    wm_ = Spawn({"openbox", "--sm-disable"}, name_);
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
}

int XDisplay::Run(const std::vector<std::string>& args, std::string* out) const {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  std::vector<char*> argv = Argv(args);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("DISPLAY", name_.c_str(), 1);
    ::dup2(fds[1], 1);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) ::dup2(null, 2);
    ::close(fds[0]);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server for tests of what reaches the screen: Xvfb on a free display
// number, optionally with the openbox window manager, so that windows get frames and
// are placed, moved and maximised as on a desktop. Pixels are read back from the X
// server itself, never from the program's own painting.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class XDisplay {
 public:
  // Starts Xvfb (and openbox when `window_manager`); ok() tells whether it runs.
  // `openbox_config`: the text of an rc.xml for openbox (its defaults when empty).
  XDisplay(bool window_manager, int width = 1920, int height = 1080, const std::string& openbox_config = {});
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  bool ok() const { return ok_; }
  const std::string& name() const { return name_; }  // ":N"
  const std::string& why() const { return why_; }    // why it did not start

  // Runs a command with DISPLAY set to this server; its exit status, output in *out.
  int Run(const std::vector<std::string>& argv, std::string* out = nullptr) const;

 private:
  pid_t xvfb_ = -1, wm_ = -1;
  std::string name_, why_, config_path_;
  bool ok_ = false;
};

// Starts a program with its arguments (DISPLAY as given, or inherited when empty)
// and returns its process id, or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& display = {});
// Waits at most `ms` for the child to end; its exit status, or -1 when still running.
int WaitExit(pid_t pid, int ms);
void StopProcess(pid_t pid);

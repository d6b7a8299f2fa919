// SPDX-License-Identifier: GPL-3.0-or-later
// The survey questions of the comm thread, asked on the GUI thread. The comm thread
// calls, the question is queued to the GUI thread, which builds the dialog there
// and runs it modally, and the comm thread waits for the answer holding no lock
// (pinging pauses meanwhile, as it should while the user decides). It gives up, with
// the answer nobody at the keyboard would give, as soon as the link stops: a window
// close or a termination signal stops the link and must not wait for the user. The
// dialog it gave up on is closed.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <memory>

#include "outputs/outputs_display.h"

class MainWindow;
class QDialog;

class QtOutputsDisplay final : public QObject, public OutputsDisplay {
  Q_OBJECT
 public:
  QtOutputsDisplay() = default;
  // The window that owns the dialogs; `link_running` is the comm thread's run flag
  // (the answer is given up when it drops).
  void SetWindow(MainWindow* window, const std::atomic<int>* link_running);

  // Dialogs run through here: exec(), or a test's hook in its place.
  void SetDialogHook(std::function<void(QDialog&)> hook) { hook_ = std::move(hook); }

  SnapshotAnswer AskSnapshot(const SnapshotForm& form) override;
  AzimuthAnswer AskAutoAzimuth(const AzimuthForm& form) override;
  bool AskSaveProfile() override;
  bool CaptureScan(const std::string& path) override;
  void ShowScanComplete() override;
  void ShowOutputFailure(const std::string& text, const std::string& caption) override;
  void SetVerticalScanMenu(bool enabled) override;

  // Questions asked and not yet answered or given up (for tests).
  int Waiting() const { return waiting_.load(); }

 private:
  struct Pending;
  // Runs `fn` on the GUI thread and waits for it; false when it was given up (the
  // link stopped first, or there is no window).
  bool RunOnGui(const std::function<void(MainWindow&, Pending&)>& fn);
  void RunDialog(Pending& pending, QDialog& dialog);
  bool LinkRunning() const;

  QPointer<MainWindow> window_;
  const std::atomic<int>* link_running_ = nullptr;
  std::function<void(QDialog&)> hook_;
  std::atomic<int> waiting_{0};
};

// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/qt_outputs_display.h"

#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "dialogs/auto_azimuth_dialog.h"
#include "window/main_window.h"
#include "window/menu_bar.h"
#include "bridge/screen_capture.h"
#include "dialogs/snapshot_dialog.h"
#include "dialogs/survey_messages.h"

// One question on its way: answered (done), or given up by the asking thread.
struct QtOutputsDisplay::Pending {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;       // the GUI thread finished the question
  bool answered = false;   // ... and there was a window to ask it in
  bool abandoned = false;  // the asking thread stopped waiting
  QPointer<QDialog> dialog;  // GUI thread only: the dialog while it is open
};

void QtOutputsDisplay::SetWindow(MainWindow* window, const std::atomic<int>* link_running) {
  window_ = window;
  link_running_ = link_running;
}

bool QtOutputsDisplay::LinkRunning() const { return link_running_ == nullptr || link_running_->load() != 0; }

bool QtOutputsDisplay::RunOnGui(const std::function<void(MainWindow&, Pending&)>& fn) {
  if (QThread::currentThread() == thread()) {
    if (!window_) return false;
    Pending local;
    fn(*window_, local);
    return true;
  }
  if (!LinkRunning()) return false;
  auto pending = std::make_shared<Pending>();
  ++waiting_;
  QMetaObject::invokeMethod(
      this,
      [this, pending, fn] {
        {
          std::lock_guard lock(pending->mutex);
          if (pending->abandoned) return;
        }
        const bool ran = window_ != nullptr;
        if (ran) fn(*window_, *pending);
        std::lock_guard lock(pending->mutex);
        pending->done = true;
        pending->answered = ran;
        pending->changed.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(pending->mutex);
  // The link's stop does not signal this wait: it is looked at every 50 ms, well
  // within the time a close may take.
  while (!pending->done) {
    if (!LinkRunning()) {
      pending->abandoned = true;
      break;
    }
    pending->changed.wait_for(lock, std::chrono::milliseconds(50));
  }
  const bool answered = pending->done && pending->answered;
  const bool abandoned = pending->abandoned;
  lock.unlock();
  --waiting_;
  if (abandoned) {
    // The dialog (if it is up by now) goes as its Cancel would.
    QMetaObject::invokeMethod(
        this,
        [pending] {
          if (pending->dialog) pending->dialog->reject();
        },
        Qt::QueuedConnection);
  }
  return answered;
}

void QtOutputsDisplay::RunDialog(Pending& pending, QDialog& dialog) {
  pending.dialog = &dialog;
  if (hook_) hook_(dialog);
  else dialog.exec();
  pending.dialog = nullptr;
}

SnapshotAnswer QtOutputsDisplay::AskSnapshot(const SnapshotForm& form) {
  auto answer = std::make_shared<SnapshotAnswer>();
  if (!RunOnGui([this, form, answer](MainWindow& w, Pending& p) {
        SnapshotDialog d(form, &w);
        RunDialog(p, d);
        *answer = d.Answer();
      }))
    return {};
  return *answer;
}

AzimuthAnswer QtOutputsDisplay::AskAutoAzimuth(const AzimuthForm& form) {
  auto answer = std::make_shared<AzimuthAnswer>();
  if (!RunOnGui([this, form, answer](MainWindow& w, Pending& p) {
        AutoAzimuthDialog d(form, w.GetPrompts(), &w);
        RunDialog(p, d);
        *answer = d.Answer();
      }))
    return {};
  return *answer;
}

bool QtOutputsDisplay::AskSaveProfile() {
  // Unanswered (the program closing) keeps the scan.
  auto save = std::make_shared<bool>(true);
  RunOnGui([this, save](MainWindow& w, Pending& p) {
    std::unique_ptr<QMessageBox> box(MakeSaveProfileBox(&w));
    RunDialog(p, *box);
    *save = SaveProfileAnswered(*box);
  });
  return *save;
}

bool QtOutputsDisplay::CaptureScan(const std::string& path) {
  auto written = std::make_shared<bool>(false);
  RunOnGui([path, written](MainWindow& w, Pending&) { *written = WriteBmp24(path, w.CaptureWindow()); });
  return *written;
}

void QtOutputsDisplay::ShowScanComplete() {
  RunOnGui([this](MainWindow& w, Pending& p) {
    std::unique_ptr<QMessageBox> box(MakeScanCompleteBox(&w));
    RunDialog(p, *box);
  });
}

void QtOutputsDisplay::ShowOutputFailure(const std::string& text, const std::string& caption) {
  QMetaObject::invokeMethod(
      this,
      [this, text, caption] {
        if (window_) window_->ShowMessage(caption, text, true);
      },
      Qt::QueuedConnection);
}

void QtOutputsDisplay::SetVerticalScanMenu(bool enabled) {
  QMetaObject::invokeMethod(
      this,
      [this, enabled] {
        if (window_) window_->Menu().Enable(cmd::kVerticalScan, enabled);
      },
      Qt::QueuedConnection);
}

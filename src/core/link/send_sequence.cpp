// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/send_sequence.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "link/microsecond_wait.h"
#include "app_state.h"

namespace {
constexpr int kBoostNice = -5;
constexpr unsigned long kSendTimerSlackNs = 1000;  // wake-ups within 1 us while sending

int ThreadId() { return static_cast<int>(::syscall(SYS_gettid)); }
}  // namespace

// The sender runs time-critical: real-time FIFO scheduling where the system allows it
// (CAP_SYS_NICE or an rtprio limit), otherwise a better nice value for this thread,
// otherwise unchanged. A tight timer slack keeps the short sleeps close to their time.
// The rest of the process keeps its priority.
SendPriorityBoost::SendPriorityBoost() {
  sched_param param{};
  if (::pthread_getschedparam(::pthread_self(), &old_policy_, &param) == 0) {
    old_priority_ = param.sched_priority;
    sched_param fifo{};
    fifo.sched_priority = 1;
    if (old_policy_ != SCHED_FIFO && ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &fifo) == 0) {
      realtime_ = true;
      raised_ = true;
    }
  }
  if (!realtime_) {
    errno = 0;
    const int nice_now = ::getpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId()));
    if (errno == 0 && nice_now > kBoostNice &&
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId()), kBoostNice) == 0) {
      old_nice_ = nice_now;
      niced_ = true;
      raised_ = true;
    }
  }
  const int slack = ::prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
  if (slack >= 0 && ::prctl(PR_SET_TIMERSLACK, kSendTimerSlackNs, 0, 0, 0) == 0) old_slack_ = slack;
}

SendPriorityBoost::~SendPriorityBoost() {
  if (realtime_) {
    sched_param param{};
    param.sched_priority = old_priority_;
    ::pthread_setschedparam(::pthread_self(), old_policy_, &param);
  }
  if (niced_) ::setpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId()), old_nice_);
  if (old_slack_ >= 0) ::prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(old_slack_), 0, 0, 0);
}

bool SendFrame(HeadPort& port, std::span<const std::uint8_t> frame, int send_delay_ms, int tx_delay,
               const Clock& clock) {
  using std::chrono::microseconds;
  if (send_delay_ms > 0) MicrosecondWait(clock, microseconds(static_cast<long long>(send_delay_ms) * 1000));
  port.SetRts(true);
  MicrosecondWait(clock, microseconds(kRtsLeadMicros));
  const bool written = port.Write(frame);
  MicrosecondWait(clock, microseconds(kRtsHoldMicros));
  port.SetRts(false);
  MicrosecondWait(clock, microseconds(static_cast<long long>(std::max(tx_delay, 0)) * 100 + kTxDelayBaseMicros));
  port.Purge();
  return written;
}

SendResult SendCommand(AppState& state, HeadPort* port, const Clock& clock) {
  SendResult result;
  state.SendRequest = false;
  if (port == nullptr || !port->IsOpen()) return result;
  SendPriorityBoost boost;
  result.Choice = ChooseAndBuildCommand(state, clock);
  result.Sent = SendFrame(*port, CommandFrame(state), state.SendDelay, state.TxDelay, clock);
  result.WriteFailed = !result.Sent;
  return result;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The send sequence on the wire (RTS framing, waits, purge) over a fake port on a fake
// clock, the microsecond wait's lower bound on the real clock, and the delay count.
#include "link/send_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/microsecond_wait.h"
#include "app_state.h"

namespace {

using std::chrono::microseconds;

// Records every call with the fake clock's time since the start of the test.
class FakePort : public HeadPort {
 public:
  explicit FakePort(const FakeClock& clock) : clock_(clock), start_(clock.Monotonic()) {}

  struct Event {
    std::string what;
    long long at_us;
  };

  bool IsOpen() const override { return open; }
  bool SetRts(bool on) override { return Log(on ? "rts+" : "rts-"); }
  bool SetDtr(bool on) override { return Log(on ? "dtr+" : "dtr-"); }
  bool Write(std::span<const std::uint8_t> bytes) override {
    written.assign(bytes.begin(), bytes.end());
    Log("write" + std::to_string(bytes.size()));
    return write_ok;
  }
  void Purge() override { Log("purge"); }
  PortStatus Status() override { return {}; }
  int Read(std::span<std::uint8_t>) override { return 0; }
  bool WaitForInput(std::chrono::milliseconds) override { return false; }

  bool open = true;
  bool write_ok = true;
  std::vector<std::uint8_t> written;
  std::vector<Event> events;

 private:
  bool Log(const std::string& what) {
    events.push_back({what, std::chrono::duration_cast<microseconds>(clock_.Monotonic() - start_).count()});
    return true;
  }
  const FakeClock& clock_;
  std::chrono::steady_clock::time_point start_;
};

TEST(SendSequence, RtsFramedWriteWithWaitsThenPurge) {
  struct Case {
    int send_delay_ms;
    int tx_delay;
  } cases[] = {{0, 10}, {0, 0}, {3, 100}, {500, 1}};
  for (const Case& c : cases) {
    FakeClock clock;
    FakePort port(clock);
    const std::vector<std::uint8_t> frame(27, 0x5A);
    EXPECT_TRUE(SendFrame(port, frame, c.send_delay_ms, c.tx_delay, clock));
    ASSERT_EQ(port.events.size(), 4u);
    const long long t0 = c.send_delay_ms * 1000LL;
    EXPECT_EQ(port.events[0].what, "rts+");
    EXPECT_GE(port.events[0].at_us, t0);
    EXPECT_EQ(port.events[1].what, "write27");
    EXPECT_GE(port.events[1].at_us - port.events[0].at_us, 200);
    EXPECT_EQ(port.events[2].what, "rts-");
    EXPECT_GE(port.events[2].at_us - port.events[1].at_us, 2500);
    EXPECT_EQ(port.events[3].what, "purge");
    EXPECT_GE(port.events[3].at_us - port.events[2].at_us, c.tx_delay * 100 + 500) << "tx " << c.tx_delay;
  }
}

TEST(SendSequence, SendCommandBuildsAndSendsTheNormalPacket) {
  FakeClock clock;
  FakePort port(clock);
  AppState s;
  s.EnableOrientationModule = 0;
  s.GridMode = 0;
  s.SendRequest = true;
  s.ReverseRequest = true;
  const SendResult r = SendCommand(s, &port, clock);
  EXPECT_TRUE(r.Sent);
  EXPECT_FALSE(s.SendRequest);
  EXPECT_FALSE(s.ReverseRequest);
  ASSERT_EQ(port.written.size(), 27u);
  EXPECT_EQ(port.written[0], 0xFE);
  EXPECT_EQ(port.written[2], 0x10);
  EXPECT_EQ(port.written[5], 0x40);
  EXPECT_EQ(port.written[26], 0xFD);
  EXPECT_EQ(s.ExpectedReplyType, 'G');
  EXPECT_EQ(s.ExpectedReplyLength, 513);

  port.write_ok = false;
  EXPECT_TRUE(SendCommand(s, &port, clock).WriteFailed);
}

TEST(SendSequence, NothingGoesOutWithoutAnOpenPort) {
  FakeClock clock;
  FakePort port(clock);
  port.open = false;
  AppState s;
  s.SendRequest = true;
  s.CalibrateRequest = true;
  EXPECT_FALSE(SendCommand(s, &port, clock).Sent);
  EXPECT_FALSE(SendCommand(s, nullptr, clock).Sent);
  EXPECT_TRUE(port.events.empty());
  EXPECT_FALSE(s.SendRequest);
  EXPECT_TRUE(s.CalibrateRequest);  // still waiting for a packet to carry it
}

TEST(MicrosecondWait, LastsAtLeastItsTimeOnTheRealClock) {
  const Clock clock;
  for (long long us : {1LL, 50LL, 200LL, 2500LL, 20000LL}) {
    const auto start = std::chrono::steady_clock::now();
    MicrosecondWait(clock, microseconds(us));
    const auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(took.count(), us * 1000) << us << " us";
  }
}

TEST(MicrosecondWait, EndsOnAStoppedTestClock) {
  FakeClock clock;
  const auto start = clock.Monotonic();
  MicrosecondWait(clock, microseconds(50));
  MicrosecondWait(clock, microseconds(5000));
  EXPECT_GE(clock.Monotonic() - start, microseconds(5050));
}

// A clock whose monotonic time moves on by one microsecond per read of the local clock.
class TickingClock : public FakeClock {
 public:
  LocalTime Now() const override {
    SleepFor(microseconds(1));
    return FakeClock::Now();
  }
};

TEST(DelayCount, CountsLocalClockReadsPerSecondOnTheMonotonicClock) {
  TickingClock clock;
  const auto start = clock.Monotonic();
  const int count = CalibrateDelayCount(clock);
  EXPECT_NEAR(count, 1'000'000, 2'000);  // a million reads a second, measured briefly
  EXPECT_LT(clock.Monotonic() - start, kCalibrationWindow + std::chrono::milliseconds(1));
  FakeClock stopped;
  EXPECT_EQ(CalibrateDelayCount(stopped), 0);
  EXPECT_EQ(CalibrateDelayCount(clock, 5000), 0);  // gave up before the window ended
}

}  // namespace

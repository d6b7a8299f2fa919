// SPDX-License-Identifier: GPL-3.0-or-later
// The termios port on a real pty: exclusive opening, raw bytes both ways, the
// queued count, purges, the bounded read wait and the hang-up of the other side.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "link/serial_port.h"
#include "pty_pair.h"

namespace {

TEST(SerialPort, OpensExclusivelyAndRefusesOthers) {
  PtyPair pty;
  ASSERT_TRUE(pty.ok());
  std::string error;
  auto port = SerialPort::Open(pty.path(), 115200, SerialPort::Access::ReadWrite, &error);
  ASSERT_TRUE(port) << error;
  EXPECT_TRUE(port->IsOpen());
  EXPECT_FALSE(SerialPort::Open(pty.path(), 115200, SerialPort::Access::ReadWrite, &error));
  EXPECT_NE(error.find("in use"), std::string::npos) << error;
  port.reset();
  EXPECT_TRUE(SerialPort::Open(pty.path(), 115200));
  EXPECT_FALSE(SerialPort::Open("/nonexistent/ttyUSB9", 115200, SerialPort::Access::ReadWrite, &error));
  EXPECT_FALSE(SerialPort::Open("/dev/null", 115200, SerialPort::Access::ReadWrite, &error));  // not a tty
  EXPECT_FALSE(SerialPort::Open("", 115200));
}

TEST(SerialPort, RawBytesQueuedCountAndPurge) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.path(), 115200);
  ASSERT_TRUE(port);
  EXPECT_TRUE(port->SetRts(true));  // a pty has no modem lines: ignored
  EXPECT_TRUE(port->SetDtr(true));
  // Every byte value passes unchanged: no CR/LF mapping, no XON/XOFF, no echo.
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(pty.WriteAll(all.data(), all.size()));
  for (int i = 0; i < 200 && port->QueuedBytes() < 256; ++i) port->WaitForInput(std::chrono::milliseconds(10));
  EXPECT_EQ(port->Status().QueuedBytes, 256);
  std::vector<std::uint8_t> in(300);
  EXPECT_EQ(port->Read(std::span<std::uint8_t>(in.data(), 256)), 256);
  in.resize(256);
  EXPECT_EQ(in, all);
  ASSERT_TRUE(port->Write(std::span<const std::uint8_t>(all)));
  EXPECT_EQ(pty.ReadExactly(256), all);
  // Purge drops what is queued.
  ASSERT_TRUE(pty.WriteAll("abc", 3));
  for (int i = 0; i < 200 && port->QueuedBytes() < 3; ++i) port->WaitForInput(std::chrono::milliseconds(10));
  port->Purge();
  EXPECT_EQ(port->QueuedBytes(), 0);
}

TEST(SerialPort, ReadReturnsAtOnceOrAfterItsShortWait) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.path(), 115200);
  ASSERT_TRUE(port);
  std::uint8_t b[8];
  EXPECT_EQ(port->ReadSome(b, sizeof b, 5), 0);  // nothing there: time-out, not an error
  EXPECT_FALSE(port->WaitForInput(std::chrono::milliseconds(1)));
  EXPECT_FALSE(port->Lost());
}

TEST(SerialPort, HangUpMarksThePortLost) {
  PtyPair pty;
  auto port = SerialPort::Open(pty.path(), 115200);
  ASSERT_TRUE(port);
  pty.Close();  // the device goes away
  EXPECT_TRUE(port->WaitForInput(std::chrono::milliseconds(1000)));  // wakes at once
  const PortStatus s = port->Status();
  EXPECT_FALSE(s.Ok);
  EXPECT_EQ(s.ErrorFlags, kPortErrorIo);
  EXPECT_TRUE(port->Lost());
  EXPECT_FALSE(port->IsOpen());
  std::uint8_t b[4] = {1, 2, 3, 4};
  EXPECT_FALSE(port->Write(std::span<const std::uint8_t>(b)));
  EXPECT_EQ(port->Read(std::span<std::uint8_t>(b)), -1);
}

TEST(SerialPort, BaudTables) {
  EXPECT_EQ(HeadBaudRate(5), 115200);
  EXPECT_EQ(HeadBaudRate(0), 9600);
  EXPECT_EQ(HeadBaudRate(3), 38400);
  const int gps[] = {4800, 9600, 19200, 38400, 57600, 115200};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(GpsBaudRate(i), gps[i]);
  EXPECT_EQ(SerialSpeedConstant(12345), 0u);
}

}  // namespace

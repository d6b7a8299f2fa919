// SPDX-License-Identifier: GPL-3.0-or-later
// The reader of viewers' WebSocket frames: frames come whole however the stream
// is cut, and what is not a short client frame ends the stream at its header.
#include "webview/viewer_frames.h"

#include <gtest/gtest.h>

#include "raw_client.h"

namespace {

using webview::ViewerFrame;
using webview::ViewerFrameReader;
using Kind = ViewerFrame::Kind;

std::vector<ViewerFrame> FeedAll(ViewerFrameReader& r, const std::string& bytes, std::size_t piece) {
  std::vector<ViewerFrame> out;
  for (std::size_t at = 0; at < bytes.size(); at += piece)
    r.Feed(bytes.data() + at, std::min(piece, bytes.size() - at), out);
  return out;
}

// A masked frame with FIN as given.
std::string Part(int opcode, const std::string& payload, bool fin) {
  std::string f = RawClient::Frame(opcode, payload);
  if (!fin) f[0] = static_cast<char>(f[0] & 0x7f);
  return f;
}

}  // namespace

TEST(ViewerFrames, FramesComeWholeHoweverTheStreamIsCut) {
  const std::string stream = RawClient::Frame(9, "are you there") + Part(1, "one ", false) +
                             RawClient::Frame(10, "") + Part(0, "two ", false) + Part(0, "three", true) +
                             RawClient::Frame(2, std::string(3000, 'b')) + RawClient::Frame(8, "\x03\xe8" "bye") +
                             RawClient::Frame(1, "after the close");
  for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{4096}}) {
    ViewerFrameReader r(4096);
    const auto f = FeedAll(r, stream, piece);
    ASSERT_EQ(f.size(), 5u) << piece;
    EXPECT_EQ(f[0].kind, Kind::kPing);
    EXPECT_EQ(f[0].payload, "are you there");
    EXPECT_EQ(f[1].kind, Kind::kPong);  // a control frame between the parts of a message
    EXPECT_EQ(f[2].kind, Kind::kMessage);
    EXPECT_EQ(f[2].opcode, webview::kOpText);
    EXPECT_EQ(f[2].payload, "one two three");
    EXPECT_EQ(f[3].payload, std::string(3000, 'b'));
    EXPECT_EQ(f[4].kind, Kind::kClose);
    EXPECT_EQ(f[4].payload, "\x03\xe8" "bye");
    EXPECT_TRUE(r.Done());  // nothing after the close is read
  }
}

TEST(ViewerFrames, TooLargeIsRefusedFromTheHeaderAlone) {
  // A gigabyte announced: refused as soon as its 14 header bytes are in.
  std::string header = RawClient::Frame(2, std::string(70000, 'x')).substr(0, 14);
  header[2] = 0, header[3] = 0, header[4] = 0, header[5] = 0, header[6] = 0x40, header[7] = 0, header[8] = 0,
  header[9] = 0;
  ViewerFrameReader r(4096);
  std::vector<ViewerFrame> out;
  r.Feed(header.data(), 13, out);
  EXPECT_TRUE(out.empty());
  r.Feed(header.data() + 13, 1, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].kind, Kind::kTooLarge);
  EXPECT_EQ(r.Held(), 0u);
  const std::string more(100000, 'y');
  r.Feed(more.data(), more.size(), out);
  EXPECT_EQ(out.size(), 1u);
  EXPECT_EQ(r.Held(), 0u);

  // One byte over the limit, and a message whose parts together pass it.
  ViewerFrameReader one(4096);
  EXPECT_EQ(FeedAll(one, RawClient::Frame(2, std::string(4097, 'x')), 4096).at(0).kind, Kind::kTooLarge);
  ViewerFrameReader parts(4096);
  const auto f = FeedAll(parts, Part(2, std::string(3000, 'x'), false) + Part(0, std::string(1500, 'x'), true), 1);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].kind, Kind::kTooLarge);
  EXPECT_LE(parts.Held(), 4096u);
}

TEST(ViewerFrames, WhatNoClientSendsEndsTheStream) {
  std::string unmasked = RawClient::Frame(1, "hi");
  unmasked[1] = static_cast<char>(unmasked[1] & 0x7f);
  std::string reserved = RawClient::Frame(1, "hi");
  reserved[0] = static_cast<char>(reserved[0] | 0x40);
  std::string topBit = RawClient::Frame(2, std::string(70000, 'x')).substr(0, 14);
  topBit[2] = static_cast<char>(0x80);
  const std::string cases[] = {
      unmasked,
      reserved,
      topBit,
      RawClient::Frame(3, "unknown opcode"),
      RawClient::Frame(0, "a continuation of nothing"),
      Part(1, "begun", false) + RawClient::Frame(1, "a new message before the end"),
      RawClient::Frame(9, std::string(126, 'p')),  // a control frame over 125 bytes
      Part(9, "a fragmented ping", false),
  };
  for (const std::string& c : cases) {
    ViewerFrameReader r(4096);
    const auto f = FeedAll(r, c + RawClient::Frame(9, "later"), 5);
    ASSERT_EQ(f.size(), 1u) << c.size();
    EXPECT_EQ(f[0].kind, Kind::kProtocolError) << c.size();
    EXPECT_TRUE(r.Done());
  }
}

TEST(ViewerFrames, ServerFrameHeaderUsesTheShortestLength) {
  EXPECT_EQ(webview::ServerFrameHeader(2, 125), std::string("\x82\x7d"));
  EXPECT_EQ(webview::ServerFrameHeader(1, 126), std::string("\x81\x7e\x00\x7e", 4));
  EXPECT_EQ(webview::ServerFrameHeader(2, 65536), std::string("\x82\x7f\x00\x00\x00\x00\x00\x01\x00\x00", 10));
}

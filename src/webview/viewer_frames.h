// SPDX-License-Identifier: GPL-3.0-or-later
// The WebSocket frames a viewer sends, read a piece of the stream at a time.
// Viewers only watch: they send control frames (ping, pong, close) and nothing
// else of any size. The reader decides from each frame's header whether to take
// it, so a frame that announces more than the limit is refused before a byte of
// it is stored, and never more than the limit is held for one message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace webview {

// Frame opcodes (RFC 6455, 5.2).
enum : int {
  kOpContinuation = 0x0,
  kOpText = 0x1,
  kOpBinary = 0x2,
  kOpClose = 0x8,
  kOpPing = 0x9,
  kOpPong = 0xa,
};

// Close status codes sent back to a viewer.
enum : uint16_t {
  kCloseNormal = 1000,
  kCloseProtocolError = 1002,
  kCloseTooLarge = 1009,
};

struct ViewerFrame {
  enum class Kind {
    kMessage,        // a whole text or binary message (`opcode` the first frame's)
    kPing,
    kPong,
    kClose,          // the viewer closes; `payload` its status and reason
    kTooLarge,       // a frame or message beyond the limit: the connection must end
    kProtocolError,  // not a client's WebSocket stream: the connection must end
  };
  Kind kind = Kind::kMessage;
  int opcode = 0;
  std::string payload;  // unmasked
};

class ViewerFrameReader {
 public:
  explicit ViewerFrameReader(std::size_t limit) : limit_(limit) {}

  // Reads `size` bytes of the stream and appends every frame they complete to
  // `out`. After a close, a refusal or a protocol error the stream is over: the
  // rest is not read, and Done() is true.
  void Feed(const char* data, std::size_t size, std::vector<ViewerFrame>& out);
  bool Done() const { return done_; }
  // Bytes held now (a header, a frame's payload, a message's earlier frames).
  std::size_t Held() const { return header_.size() + payload_.size() + message_.size(); }

 private:
  void End(ViewerFrame::Kind kind, std::vector<ViewerFrame>& out);
  // Decides on a complete header; false when the stream ends there.
  bool TakeHeader(std::vector<ViewerFrame>& out);
  void FinishFrame(std::vector<ViewerFrame>& out);

  std::size_t limit_;
  bool done_ = false;
  std::string header_;    // the current frame's header so far (2 to 14 bytes)
  bool inPayload_ = false;
  bool fin_ = false;
  int opcode_ = 0;
  uint64_t length_ = 0;   // of the current frame's payload
  unsigned char mask_[4] = {};
  std::string payload_;   // the current frame's payload so far, unmasked
  bool inMessage_ = false;  // a fragmented message has begun
  int messageOpcode_ = 0;
  std::string message_;   // its earlier frames
};

// One server frame (never masked, never fragmented): the header to send before
// `size` bytes of payload.
std::string ServerFrameHeader(int opcode, std::size_t size);

}  // namespace webview

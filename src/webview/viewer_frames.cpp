// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/viewer_frames.h"

#include <algorithm>

namespace webview {

namespace {

bool IsControl(int opcode) { return opcode >= 0x8; }

// Bytes of header a frame has, known from its first two bytes.
std::size_t HeaderSize(unsigned char second) {
  const unsigned len = second & 0x7f;
  const std::size_t extended = len == 126 ? 2 : len == 127 ? 8 : 0;
  return 2 + extended + ((second & 0x80) ? 4 : 0);
}

}  // namespace

void ViewerFrameReader::End(ViewerFrame::Kind kind, std::vector<ViewerFrame>& out) {
  ViewerFrame f;
  f.kind = kind;
  f.opcode = opcode_;
  out.push_back(std::move(f));
  done_ = true;
  header_.clear();
  payload_.clear();
  message_.clear();
  payload_.shrink_to_fit();
  message_.shrink_to_fit();
}

bool ViewerFrameReader::TakeHeader(std::vector<ViewerFrame>& out) {
  const auto* h = reinterpret_cast<const unsigned char*>(header_.data());
  fin_ = (h[0] & 0x80) != 0;
  opcode_ = h[0] & 0x0f;
  // No extension is agreed, so the reserved bits are 0; a client masks every frame.
  if ((h[0] & 0x70) != 0 || (h[1] & 0x80) == 0) {
    End(ViewerFrame::Kind::kProtocolError, out);
    return false;
  }
  uint64_t len = h[1] & 0x7f;
  std::size_t at = 2;
  if (len == 126) {
    len = static_cast<uint64_t>(h[2]) << 8 | h[3];
    at = 4;
  } else if (len == 127) {
    len = 0;
    for (int k = 0; k < 8; ++k) len = len << 8 | h[2 + k];
    at = 10;
    if (len >> 63) {  // the most significant bit must be 0
      End(ViewerFrame::Kind::kProtocolError, out);
      return false;
    }
  }
  std::copy(h + at, h + at + 4, mask_);
  length_ = len;
  switch (opcode_) {
    case kOpContinuation:
      if (!inMessage_) {
        End(ViewerFrame::Kind::kProtocolError, out);
        return false;
      }
      break;
    case kOpText:
    case kOpBinary:
      if (inMessage_) {  // a new message before the last one ended
        End(ViewerFrame::Kind::kProtocolError, out);
        return false;
      }
      break;
    case kOpClose:
    case kOpPing:
    case kOpPong:
      if (!fin_ || len > 125) {  // control frames are whole and short
        End(ViewerFrame::Kind::kProtocolError, out);
        return false;
      }
      break;
    default:
      End(ViewerFrame::Kind::kProtocolError, out);
      return false;
  }
  // The refusal comes from the header alone: nothing of a frame too large is read.
  const std::size_t before = IsControl(opcode_) ? 0 : message_.size();
  if (len > limit_ || before + len > limit_) {
    End(ViewerFrame::Kind::kTooLarge, out);
    return false;
  }
  header_.clear();
  payload_.clear();
  payload_.reserve(static_cast<std::size_t>(len));
  inPayload_ = true;
  return true;
}

void ViewerFrameReader::FinishFrame(std::vector<ViewerFrame>& out) {
  inPayload_ = false;
  ViewerFrame f;
  f.opcode = opcode_;
  switch (opcode_) {
    case kOpPing: f.kind = ViewerFrame::Kind::kPing; break;
    case kOpPong: f.kind = ViewerFrame::Kind::kPong; break;
    case kOpClose:
      f.kind = ViewerFrame::Kind::kClose;
      f.payload = std::move(payload_);
      out.push_back(std::move(f));
      done_ = true;
      return;
    default:
      if (!fin_) {  // the first or a middle part of a message
        if (!inMessage_) messageOpcode_ = opcode_;
        inMessage_ = true;
        message_ += payload_;
        payload_.clear();
        return;
      }
      f.kind = ViewerFrame::Kind::kMessage;
      if (inMessage_) {
        f.opcode = messageOpcode_;
        message_ += payload_;
        f.payload = std::move(message_);
        message_.clear();
        inMessage_ = false;
      } else {
        f.payload = std::move(payload_);
      }
      payload_.clear();
      out.push_back(std::move(f));
      return;
  }
  f.payload = std::move(payload_);
  payload_.clear();
  out.push_back(std::move(f));
}

void ViewerFrameReader::Feed(const char* data, std::size_t size, std::vector<ViewerFrame>& out) {
  std::size_t i = 0;
  while (!done_ && i < size) {
    if (!inPayload_) {
      // The header, a byte at a time until its size is known, then the rest.
      header_.push_back(data[i++]);
      if (header_.size() < 2) continue;
      if (header_.size() < HeaderSize(static_cast<unsigned char>(header_[1]))) continue;
      if (!TakeHeader(out)) return;
      if (length_ == 0) FinishFrame(out);
      continue;
    }
    const std::size_t want = static_cast<std::size_t>(length_) - payload_.size();
    const std::size_t take = std::min(want, size - i);
    for (std::size_t k = 0; k < take; ++k) {
      const std::size_t n = payload_.size();
      payload_.push_back(static_cast<char>(static_cast<unsigned char>(data[i + k]) ^ mask_[n % 4]));
    }
    i += take;
    if (payload_.size() == length_) FinishFrame(out);
  }
}

std::string ServerFrameHeader(int opcode, std::size_t size) {
  std::string h;
  h.push_back(static_cast<char>(0x80 | (opcode & 0x0f)));
  if (size < 126) {
    h.push_back(static_cast<char>(size));
  } else if (size < 65536) {
    h.push_back(static_cast<char>(126));
    h.push_back(static_cast<char>(size >> 8));
    h.push_back(static_cast<char>(size & 0xff));
  } else {
    h.push_back(static_cast<char>(127));
    for (int k = 7; k >= 0; --k) h.push_back(static_cast<char>((static_cast<uint64_t>(size) >> (8 * k)) & 0xff));
  }
  return h;
}

}  // namespace webview

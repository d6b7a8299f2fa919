// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the reader of viewers' WebSocket frames: whatever the
// bytes, the reader never holds more than its limit, reads the same frames
// however the stream is cut, and nothing follows the end of the stream.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "webview/viewer_frames.h"

namespace {

constexpr std::size_t kLimit = 4096;

std::vector<webview::ViewerFrame> Read(const uint8_t* data, std::size_t size, std::size_t piece) {
  webview::ViewerFrameReader reader(kLimit);
  std::vector<webview::ViewerFrame> out;
  for (std::size_t at = 0; at < size; at += piece) {
    const std::size_t n = size - at < piece ? size - at : piece;
    reader.Feed(reinterpret_cast<const char*>(data) + at, n, out);
    // A header is at most 14 bytes; a message at most the limit.
    if (reader.Held() > kLimit + 14) std::abort();
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i].payload.size() > kLimit) std::abort();
    const bool last = out[i].kind != webview::ViewerFrame::Kind::kMessage &&
                      out[i].kind != webview::ViewerFrame::Kind::kPing &&
                      out[i].kind != webview::ViewerFrame::Kind::kPong;
    if (last && i + 1 != out.size()) std::abort();
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses how the rest is cut into reads.
  const std::size_t piece = 1 + data[0] % 17;
  const auto whole = Read(data + 1, size - 1, size);
  const auto cut = Read(data + 1, size - 1, piece);
  if (whole.size() != cut.size()) std::abort();
  for (std::size_t i = 0; i < whole.size(); ++i)
    if (whole[i].kind != cut[i].kind || whole[i].opcode != cut[i].opcode || whole[i].payload != cut[i].payload)
      std::abort();
  return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer harness for the live view's picture messages: any message is applied
// or refused without writing outside the picture, and a rectangle encoded from
// the fuzzed picture applies back to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "webview/live_view_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<uint8_t>* picture = new std::vector<uint8_t>(static_cast<std::size_t>(kImageBytes), 0);
  const std::string message(reinterpret_cast<const char*>(data), size);
  uint32_t sequence = 0;
  (void)webview::ApplyPicture(message, *picture, &sequence);
  if (picture->size() != static_cast<std::size_t>(kImageBytes)) std::abort();

  // A rectangle chosen by the first bytes, encoded and applied to a blank picture.
  if (size >= 8) {
    DirtyRect r;
    r.MinX = data[0] % kImageWidth;
    r.MinY = data[1] % kImageHeight;
    r.MaxX = r.MinX + (data[2] | data[3] << 8) % (kImageWidth - r.MinX);
    r.MaxY = r.MinY + (data[4] | data[5] << 8) % (kImageHeight - r.MinY);
    const std::string encoded = webview::EncodePicture(picture->data(), r, 7, false);
    std::vector<uint8_t> copy(static_cast<std::size_t>(kImageBytes), 0);
    uint32_t got = 0;
    if (!webview::ApplyPicture(encoded, copy, &got) || got != 7) std::abort();
    for (int y = r.MinY; y <= r.MaxY; ++y)
      for (int x = r.MinX; x <= r.MaxX; ++x)
        if (copy[static_cast<std::size_t>(y) * kImageWidth + x] != (*picture)[static_cast<std::size_t>(y) * kImageWidth + x])
          std::abort();
  }
  return 0;
}

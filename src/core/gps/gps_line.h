// SPDX-License-Identifier: GPL-3.0-or-later
// Assembles NMEA sentences from received bytes: a sentence runs from "$" to its
// line feed and counts only when a carriage return precedes the line feed. A line
// of more than 80 characters before its CR LF is dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

class GpsLineAssembler {
 public:
  static constexpr std::size_t kMaxSentenceText = 80;  // characters before CR LF

  // Feeds bytes in order; `take` is called with each complete sentence, CR LF
  // included. Returns the number of lines dropped for length.
  template <typename Take>
  int Feed(const std::uint8_t* data, std::size_t size, Take&& take) {
    int dropped = 0;
    for (std::size_t i = 0; i < size; ++i) {
      const std::uint8_t b = data[i];
      line_[pos_++] = static_cast<char>(b);
      if (b == '\n') {
        if (pos_ >= 2 && line_[0] == '$' && line_[pos_ - 2] == '\r')
          take(std::string_view(line_.data(), pos_));
        pos_ = 0;
      } else if (pos_ >= kMaxSentenceText + 2) {  // no room left for "text CR LF"
        pos_ = 0;
        ++dropped;
      }
    }
    return dropped;
  }
  void Clear() { pos_ = 0; }
  std::size_t Pending() const { return pos_; }

 private:
  std::array<char, 1024> line_{};  // GpsLine
  std::size_t pos_ = 0;            // GpsLinePos
};

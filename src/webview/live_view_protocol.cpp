// SPDX-License-Identifier: GPL-3.0-or-later
#include "webview/live_view_protocol.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace webview {

namespace {

void Put16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>(v & 0xff));
  s.push_back(static_cast<char>((v >> 8) & 0xff));
}
void Put32(std::string& s, uint32_t v) {
  for (int k = 0; k < 4; ++k) s.push_back(static_cast<char>((v >> (8 * k)) & 0xff));
}
unsigned Get16(const std::string& s, std::size_t at) {
  return static_cast<unsigned>(static_cast<uint8_t>(s[at])) | static_cast<unsigned>(static_cast<uint8_t>(s[at + 1])) << 8;
}

// The message for `raw` (w x h bytes) at (x0, y0).
std::string PictureMessage(const std::vector<uint8_t>& raw, int x0, int y0, int w, int h, uint32_t sequence,
                           uint8_t flags, int level) {
  uLongf packed = compressBound(static_cast<uLong>(raw.size()));
  std::string out;
  out.reserve(kPictureHeaderBytes + packed);
  out.push_back('P');
  out.push_back(static_cast<char>(flags));
  Put32(out, sequence);
  Put16(out, static_cast<unsigned>(x0));
  Put16(out, static_cast<unsigned>(y0));
  Put16(out, static_cast<unsigned>(w));
  Put16(out, static_cast<unsigned>(h));
  out.resize(kPictureHeaderBytes + packed);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + kPictureHeaderBytes), &packed, raw.data(),
                static_cast<uLong>(raw.size()), level) != Z_OK)
    return {};
  out.resize(kPictureHeaderBytes + packed);
  return out;
}

}  // namespace

std::string EncodePicture(const uint8_t* picture, const DirtyRect& area, uint32_t sequence, bool whole) {
  const int x0 = std::max(0, area.MinX), y0 = std::max(0, area.MinY);
  const int x1 = std::min(kImageWidth - 1, area.MaxX), y1 = std::min(kImageHeight - 1, area.MaxY);
  if (x0 > x1 || y0 > y1) return {};
  const int w = x1 - x0 + 1, h = y1 - y0 + 1;
  std::vector<uint8_t> raw(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    std::memcpy(raw.data() + static_cast<std::size_t>(y) * w, picture + static_cast<std::size_t>(y0 + y) * kImageWidth + x0,
                static_cast<std::size_t>(w));
  // Level 1: the pictures are mostly runs of a few values; speed matters more
  // than the last few per cent of size.
  return PictureMessage(raw, x0, y0, w, h, sequence, whole ? kPictureWhole : 0, 1);
}

std::string EncodePictureChange(const uint8_t* before, const uint8_t* after, const DirtyRect& area,
                                uint32_t sequence) {
  int x0 = std::max(0, area.MinX), y0 = std::max(0, area.MinY);
  int x1 = std::min(kImageWidth - 1, area.MaxX), y1 = std::min(kImageHeight - 1, area.MaxY);
  // The box of the pixels that differ.
  int bx0 = kImageWidth, bx1 = -1, by0 = kImageHeight, by1 = -1;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* b = before + static_cast<std::size_t>(y) * kImageWidth;
    const uint8_t* a = after + static_cast<std::size_t>(y) * kImageWidth;
    int first = x0;
    while (first <= x1 && a[first] == b[first]) ++first;
    if (first > x1) continue;
    int last = x1;
    while (a[last] == b[last]) --last;
    bx0 = std::min(bx0, first);
    bx1 = std::max(bx1, last);
    by0 = std::min(by0, y);
    by1 = y;
  }
  if (bx1 < 0) return {};
  x0 = bx0, x1 = bx1, y0 = by0, y1 = by1;
  const int w = x1 - x0 + 1, h = y1 - y0 + 1;
  std::vector<uint8_t> raw(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const std::size_t at = static_cast<std::size_t>(y0 + y) * kImageWidth + static_cast<std::size_t>(x0);
    uint8_t* d = raw.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(after[at + x] - before[at + x]);
  }
  // Mostly zeros with the changed pixels between: the higher level finds the long
  // runs for little time at a few dozen messages a second.
  return PictureMessage(raw, x0, y0, w, h, sequence, kPictureChange, 6);
}


std::string EncodePalette(const PaletteTable& palette) {
  std::string out;
  out.reserve(kPaletteMessageBytes);
  out.push_back('C');
  for (const Rgb& c : palette) {
    out.push_back(static_cast<char>(c.Red));
    out.push_back(static_cast<char>(c.Green));
    out.push_back(static_cast<char>(c.Blue));
  }
  return out;
}

bool ApplyPicture(const std::string& message, std::vector<uint8_t>& picture, uint32_t* sequence) {
  if (message.size() < kPictureHeaderBytes || message[0] != 'P') return false;
  if (picture.size() != static_cast<std::size_t>(kImageBytes)) picture.assign(kImageBytes, 0);
  const unsigned x = Get16(message, 6), y = Get16(message, 8), w = Get16(message, 10), h = Get16(message, 12);
  if (w == 0 || h == 0 || x + w > static_cast<unsigned>(kImageWidth) || y + h > static_cast<unsigned>(kImageHeight))
    return false;
  std::vector<uint8_t> raw(static_cast<std::size_t>(w) * h);
  uLongf size = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(message.data() + kPictureHeaderBytes),
                 static_cast<uLong>(message.size() - kPictureHeaderBytes)) != Z_OK ||
      size != raw.size())
    return false;
  if (static_cast<uint8_t>(message[1]) & kPictureChange) {
    for (unsigned r = 0; r < h; ++r) {
      uint8_t* d = picture.data() + static_cast<std::size_t>(y + r) * kImageWidth + x;
      const uint8_t* c = raw.data() + static_cast<std::size_t>(r) * w;
      for (unsigned k = 0; k < w; ++k) d[k] = static_cast<uint8_t>(d[k] + c[k]);
    }
  } else {
    for (unsigned r = 0; r < h; ++r)
      std::memcpy(picture.data() + static_cast<std::size_t>(y + r) * kImageWidth + x,
                  raw.data() + static_cast<std::size_t>(r) * w, w);
  }
  if (sequence) {
    uint32_t s = 0;
    for (int k = 0; k < 4; ++k) s |= static_cast<uint32_t>(static_cast<uint8_t>(message[2 + k])) << (8 * k);
    *sequence = s;
  }
  return true;
}

std::string JsonEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
    } else {
      // Keep a well-formed UTF-8 sequence; anything else (file names in another
      // encoding) becomes '?', so the JSON stays valid.
      const int len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
      bool ok = len > 0 && i + len <= n && c >= 0xC2 && c <= 0xF4;
      for (int k = 1; ok && k < len; ++k) ok = (p[i + k] & 0xC0) == 0x80;
      if (ok) {
        out.append(text, i, static_cast<std::size_t>(len));
        i += static_cast<std::size_t>(len);
      } else {
        out.push_back('?');
        ++i;
      }
    }
  }
  return out;
}

std::string ReadoutsJson(const Readouts& r, uint32_t sequence) {
  std::string out = "{\"type\":\"readouts\",\"seq\":" + std::to_string(sequence);
  auto field = [&](const char* name, const std::string& value) {
    out += ",\"";
    out += name;
    out += "\":\"";
    out += JsonEscape(value);
    out += '"';
  };
  field("source", r.source);
  field("range", r.range);
  field("gain", r.gain);
  field("mode", r.mode);
  field("speed", r.speed);
  field("sector", r.sector);
  field("train", r.train);
  field("frequency", r.frequency);
  field("dateTime", r.dateTime);
  field("gps", r.gps);
  field("status", r.status);
  field("file", r.file);
  field("position", r.position);
  field("repRate", r.repRate);
  out += ",\"pings\":" + std::to_string(r.pings) + "}";
  return out;
}

}  // namespace webview

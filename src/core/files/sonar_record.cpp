// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/sonar_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kTypeSizes[kRecordTypeCount] = {128, 256, 384, 640, 896, 1152, 1664, 2176, 3200, 4224, 8192};
constexpr const char* kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Lenient number of a fixed-width text field: optional blanks and sign, then
// digits up to the first other character or the end of the field.
int FieldNumber(std::span<const uint8_t> field) {
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  long value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > 1'000'000) break;
  }
  return static_cast<int>(negative ? -value : value);
}

// Text of a zero-terminated field; the last byte of the field always ends it.
std::string FieldText(std::span<const uint8_t> field) {
  size_t n = 0;
  while (n + 1 < field.size() && field[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(field.data()), n);
}

void PutText(std::span<uint8_t> field, const std::string& text) {
  // Leaves at least one zero at the end of the field.
  const size_t n = std::min(text.size(), field.size() - 1);
  std::memcpy(field.data(), text.data(), n);
}

void PutFloatLE(uint8_t* p, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(bits >> (8 * i));
}

float GetFloatLE(const uint8_t* p) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(p[i]) << (8 * i);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

int GetU16BE(const uint8_t* p) { return (p[0] << 8) | p[1]; }

}  // namespace

int RecordSizeForType(int type_code) {
  if (type_code < 0 || type_code >= kRecordTypeCount) return -1;
  return kTypeSizes[type_code];
}

int SmallestTypeCodeFor(int reply_length) {
  const int need = kRecordHeaderSize + reply_length + kRecordFloatsSize + kRecordBackLinkSize;
  for (int code = 0; code < kRecordTypeCount; ++code)
    if (kTypeSizes[code] >= need) return code;
  return -1;
}

std::string RecordDateText(int day, int month, int year) {
  char text[32];
  const char* name = (month >= 1 && month <= 12) ? kMonths[month - 1] : "???";
  std::snprintf(text, sizeof text, "%02d-%s-%04d", day, name, year);
  return text;
}

int RecordBackLink(std::span<const uint8_t> record) {
  if (record.size() < 2) return 0;
  return GetU16BE(record.data() + record.size() - 2);
}

void SetRecordBackLink(std::span<uint8_t> record, int back_link) {
  if (record.size() < 2) return;
  record[record.size() - 2] = static_cast<uint8_t>((back_link >> 8) & 0xFF);
  record[record.size() - 1] = static_cast<uint8_t>(back_link & 0xFF);
}

HeaderCheck CheckRecordHeader(std::span<const uint8_t> header, RecordFrame& frame) {
  if (header.size() < static_cast<size_t>(kRecordHeaderSize)) return HeaderCheck::kNoMagic;
  if (std::memcmp(header.data(), kRecordMagic, 3) != 0) return HeaderCheck::kNoMagic;
  const int size = GetU16BE(&header[4]);
  const int length = GetU16BE(&header[6]);
  if (length < 4 || length > kMaxRecordReplyLength) return HeaderCheck::kBadReplyLength;
  if (size > kMaxRecordSize ||
      size < kRecordHeaderSize + length + kRecordFloatsSize + kRecordBackLinkSize)
    return HeaderCheck::kBadSize;
  if (header[3] >= kRecordTypeCount) return HeaderCheck::kBadType;
  frame.type_code = header[3];
  frame.record_size = size;
  frame.reply_length = length;
  return HeaderCheck::kOk;
}

bool ParseRecordHeader(std::span<const uint8_t> h, SonarRecordFields& out) {
  RecordFrame frame;
  if (CheckRecordHeader(h, frame) != HeaderCheck::kOk) return false;
  out.type_code = frame.type_code;
  out.record_size = frame.record_size;
  out.reply_length = frame.reply_length;

  // Date: a zero in byte 19 means the text stands as written; otherwise the year was
  // written as two numbers (century and year within it) and is rebuilt.
  if (h[19] == 0) {
    out.date_text = FieldText(h.subspan(8, 12));
  } else {
    const int y1 = FieldNumber(h.subspan(15, 2));
    const int y2 = FieldNumber(h.subspan(17, 3));
    char year[24];
    std::snprintf(year, sizeof year, "%04d", y1 * 100 + y2);
    out.date_text = FieldText(h.subspan(8, 8)).substr(0, 7) + year;
  }
  out.time_text = FieldText(h.subspan(20, 9));
  out.seconds = out.time_text.size() >= 8 ? FieldNumber(h.subspan(26, 2)) : 0;
  // Hundredths: the number after the point; an empty field gives 0.
  out.hundredths = h[29] == '.' ? std::clamp(FieldNumber(h.subspan(30, 2)), 0, 99) : 0;

  out.units_feet = h[33] & 0x01;
  out.gps_present = h[34] & 0x01;
  out.step_direction = h[37] & 0x80;
  out.xdcr = (h[37] >> 6) & 0x01;
  out.grid_mode = (h[37] >> 3) & 0x07;
  out.speed = h[37] & 0x07;
  out.gain = h[38];
  out.sector_code = h[39];
  out.train_code = h[40];
  out.range_offset = h[41];
  out.absorption = h[42];
  out.data_bits_code = (h[43] >> 3) & 0x03;
  out.log_f = h[43] & 0x07;
  out.profile_grid = h[43] & 0x80;
  out.profile_grid_zero_up = h[43] & 0x40;
  out.pulse_code = h[44];
  out.profile_mode = h[45];
  if (h[46] & 0x80)
    out.sound_velocity_tenths = ((h[46] & 0x7F) << 8) | h[47];
  else
    out.sound_velocity_tenths.reset();
  out.user_text = FieldText(h.subspan(48, 32));
  out.frequency = GetU16BE(&h[80]);
  if (h[82] & 0x80)
    out.azimuth_position = ((h[82] & 0x7F) << 8) | h[83];
  else
    out.azimuth_position.reset();
  out.vertical_angle_code = GetU16BE(&h[91]);
  return true;
}

bool ParseRecordTail(std::span<const uint8_t> r, SonarRecordFields& out) {
  const int size = out.record_size;
  const int length = out.reply_length;
  if (size <= 0 || r.size() < static_cast<size_t>(size) ||
      size < kRecordHeaderSize + length + kRecordFloatsSize + kRecordBackLinkSize)
    return false;
  const uint8_t* floats = r.data() + kRecordHeaderSize + length;
  for (int i = 0; i < 3; ++i) out.floats[i] = GetFloatLE(floats + 4 * i);
  out.gps.reset();
  // The GPS block is taken only where it does not overlap the reply and floats.
  if (out.gps_present && size - kRecordGpsBlockSize >= kRecordHeaderSize + length + kRecordFloatsSize) {
    const uint8_t* g = r.data() + size - kRecordGpsBlockSize;
    RecordGps gps;
    gps.latitude = FieldText(std::span(g, 12));
    gps.longitude = FieldText(std::span(g + 12, 13));
    gps.utc_time = FieldText(std::span(g + 48, 12));
    gps.fix_quality = g[60];
    gps.satellites = g[61];
    gps.hdop = GetFloatLE(g + 62);
    gps.altitude = GetFloatLE(g + 66);
    gps.geoid_separation = GetFloatLE(g + 70);
    out.gps = gps;
  }
  out.back_link = GetU16BE(r.data() + size - 2);
  return true;
}

bool EncodeSonarRecord(const SonarRecordFields& f, std::span<const uint8_t> reply,
                       std::span<uint8_t> out) {
  const int size = f.record_size;
  const int length = static_cast<int>(reply.size());
  const int gps_room = f.gps ? kRecordGpsBlockSize : 0;
  if (length < 1 || length > kMaxRecordReplyLength || size > kMaxRecordSize ||
      out.size() < static_cast<size_t>(size) ||
      size < kRecordHeaderSize + length + kRecordFloatsSize + kRecordBackLinkSize + gps_room)
    return false;
  uint8_t* r = out.data();
  std::memset(r, 0, size);

  std::memcpy(r, kRecordMagic, 3);
  r[3] = static_cast<uint8_t>(f.type_code);
  r[4] = static_cast<uint8_t>(size >> 8);
  r[5] = static_cast<uint8_t>(size);
  r[6] = static_cast<uint8_t>(length >> 8);
  r[7] = static_cast<uint8_t>(length);
  PutText(out.subspan(8, 12), f.date_text);
  PutText(out.subspan(20, 9), f.time_text);
  char hundredths[8];
  std::snprintf(hundredths, sizeof hundredths, ".%02d", std::clamp(f.hundredths, 0, 99));
  PutText(out.subspan(29, 4), hundredths);
  r[33] = static_cast<uint8_t>(0x80 | (f.units_feet ? 1 : 0));
  r[34] = f.gps ? 1 : 0;
  r[37] = static_cast<uint8_t>((f.step_direction ? 0x80 : 0) | ((f.xdcr & 1) << 6) |
                               ((f.grid_mode & 7) << 3) | (f.speed & 7));
  r[38] = static_cast<uint8_t>(f.gain);
  r[39] = static_cast<uint8_t>(f.sector_code);
  r[40] = static_cast<uint8_t>(f.train_code);
  r[41] = static_cast<uint8_t>(f.range_offset);
  r[42] = static_cast<uint8_t>(f.absorption);
  r[43] = static_cast<uint8_t>(((f.data_bits_code & 3) << 3) | (f.log_f & 7) |
                               (f.profile_grid ? 0x80 : 0) |
                               (f.profile_grid_zero_up ? 0x40 : 0));
  r[44] = static_cast<uint8_t>(f.pulse_code);
  r[45] = static_cast<uint8_t>(f.profile_mode);
  if (f.sound_velocity_tenths) {
    const int v = *f.sound_velocity_tenths;
    r[46] = static_cast<uint8_t>(0x80 | ((v >> 8) & 0x7F));
    r[47] = static_cast<uint8_t>(v & 0xFF);
  }
  // User text: 32 bytes, zero padded; the last byte stays 0 so it reads back as text.
  PutText(out.subspan(48, 32), f.user_text);
  r[80] = static_cast<uint8_t>(f.frequency >> 8);
  r[81] = static_cast<uint8_t>(f.frequency);
  if (f.azimuth_position) {
    const int a = *f.azimuth_position;
    r[82] = static_cast<uint8_t>(0x80 | ((a >> 8) & 0x7F));
    r[83] = static_cast<uint8_t>(a & 0xFF);
  }
  const int vao = std::clamp(f.vertical_angle_code, 0, 0xFFFF);
  r[91] = static_cast<uint8_t>(vao >> 8);
  r[92] = static_cast<uint8_t>(vao);

  std::memcpy(r + kRecordHeaderSize, reply.data(), length);
  for (int i = 0; i < 3; ++i) PutFloatLE(r + kRecordHeaderSize + length + 4 * i, f.floats[i]);

  if (f.gps) {
    uint8_t* g = r + size - kRecordGpsBlockSize;
    PutText(std::span(g, 12), f.gps->latitude);
    PutText(std::span(g + 12, 13), f.gps->longitude);
    PutText(std::span(g + 48, 12), f.gps->utc_time);
    g[60] = static_cast<uint8_t>(f.gps->fix_quality);
    g[61] = static_cast<uint8_t>(f.gps->satellites);
    PutFloatLE(g + 62, f.gps->hdop);
    PutFloatLE(g + 66, f.gps->altitude);
    PutFloatLE(g + 70, f.gps->geoid_separation);
  }
  SetRecordBackLink(out.subspan(0, size), f.back_link);
  return true;
}

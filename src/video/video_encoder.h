// SPDX-License-Identifier: GPL-3.0-or-later
// A video file written with FFmpeg's libraries: RGB pictures in, one video stream
// and an optional text subtitle track out. The file is written under a temporary
// name and renamed to its own name only when it is complete, so a full disk, a
// missing codec or a cancel leaves no partial file behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace q47v::video {

enum class Container { kMp4, kMatroska, kWebm };

// The container by the extension of `path` (".mp4", ".mkv", ".webm", any case);
// false for another extension.
bool ContainerForPath(const std::string& path, Container& container);

struct EncoderSettings {
  std::string path;        // the finished file
  Container container = Container::kMp4;
  int width = 0, height = 0;  // even numbers
  int fps = 25;
  // MP4: H.264 yuv420p (+faststart); WebM: VP9 yuv420p; Matroska: H.264 yuv420p.
  // Lossless: MP4 and Matroska H.264 RGB at QP 0, WebM VP9 lossless RGB,
  // with bit-exact muxing so that the same pictures give the same file.
  bool lossless = false;
  bool subtitles = true;   // a text track (MP4 mov_text, Matroska and WebM WebVTT)
  int threads = 0;         // encoder threads; 0: as many as the machine has
};

class VideoEncoder {
 public:
  VideoEncoder();
  ~VideoEncoder();  // an encoder not finished is aborted: its temporary file removed
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Finds the codecs and creates the temporary file. On failure `error` says why
  // and no file exists.
  bool Open(const EncoderSettings& settings, std::string& error);
  // One picture of width x height RGB bytes, rows top first; it lasts one frame.
  // nullptr repeats the picture of the frame before (no conversion).
  bool WriteFrame(const uint8_t* rgb, std::string& error);
  // A subtitle shown from start_ms to end_ms of the video (lines joined by '\n').
  // Cues must come in order of their start.
  bool WriteCue(int64_t start_ms, int64_t end_ms, const std::string& text, std::string& error);
  // Flushes the encoder, writes the index, closes and renames the file.
  bool Finish(std::string& error);
  // Closes and removes the temporary file.
  void Abort();

  int64_t FramesWritten() const;
  const std::string& TemporaryPath() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace q47v::video

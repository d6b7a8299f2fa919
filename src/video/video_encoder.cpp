// SPDX-License-Identifier: GPL-3.0-or-later
#include "video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace q47v::video {

namespace {

std::string AvError(int code) {
  char buf[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, buf, sizeof buf);
  return buf;
}

// The style block the text subtitle encoders read their default style from.
constexpr const char* kAssHeader =
    "[Script Info]\r\n"
    "ScriptType: v4.00+\r\n"
    "PlayResX: 384\r\n"
    "PlayResY: 288\r\n"
    "ScaledBorderAndShadow: yes\r\n"
    "\r\n"
    "[V4+ Styles]\r\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
    "Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, "
    "MarginL, MarginR, MarginV, Encoding\r\n"
    "Style: Default,Sans,16,&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,1\r\n"
    "\r\n"
    "[Events]\r\n"
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";

// Subtitle text as the encoders take it: valid UTF-8, lines joined by "\N", and no
// backslash or brace that the text format would read as a command.
std::string AssText(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      out += "\\N";
      ++i;
      continue;
    }
    if (c == '\\') out += '/';
    else if (c == '{') out += '(';
    else if (c == '}') out += ')';
    else if (c < 0x20 || c == 0x7f) out += ' ';
    else if (c < 0x80) out += static_cast<char>(c);
    else {
      int n = c >= 0xf0 && c <= 0xf4 ? 4 : c >= 0xe0 ? 3 : c >= 0xc2 && c < 0xe0 ? 2 : 0;
      bool ok = n > 0 && i + n <= text.size();
      for (int k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
      if (ok) {
        out.append(text, i, n);
        i += n;
      } else {
        out += '?';
        ++i;
      }
      continue;
    }
    ++i;
  }
  return out;
}

}  // namespace

bool ContainerForPath(const std::string& path, Container& container) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "mp4") container = Container::kMp4;
  else if (ext == "mkv") container = Container::kMatroska;
  else if (ext == "webm") container = Container::kWebm;
  else return false;
  return true;
}

struct VideoEncoder::Impl {
  EncoderSettings settings;
  std::string temp_path;
  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* text = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* text_stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* sws = nullptr;
  int64_t frames = 0;
  bool file_open = false;
  bool temp_exists = false;  // the temporary file is on disk, not yet renamed
  bool header_written = false;
  bool finished = false;

  ~Impl() { Close(); }

  void Close() {
    if (format && file_open) avio_closep(&format->pb);
    file_open = false;
    avcodec_free_context(&video);
    avcodec_free_context(&text);
    av_frame_free(&frame);
    av_packet_free(&packet);
    sws_freeContext(sws);
    sws = nullptr;
    avformat_free_context(format);
    format = nullptr;
  }

  // Sends every packet the video encoder has ready to the muxer.
  bool Drain(std::string& error) {
    for (;;) {
      const int rc = avcodec_receive_packet(video, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) {
        error = "the video encoder failed: " + AvError(rc);
        return false;
      }
      av_packet_rescale_ts(packet, video->time_base, video_stream->time_base);
      packet->stream_index = video_stream->index;
      const int wrc = av_interleaved_write_frame(format, packet);
      if (wrc < 0) {
        error = "cannot write " + temp_path + ": " + AvError(wrc);
        return false;
      }
    }
  }
};

VideoEncoder::VideoEncoder() : impl_(std::make_unique<Impl>()) {}

VideoEncoder::~VideoEncoder() {
  if (!impl_->finished) Abort();
}

int64_t VideoEncoder::FramesWritten() const { return impl_->frames; }
const std::string& VideoEncoder::TemporaryPath() const { return impl_->temp_path; }

bool VideoEncoder::Open(const EncoderSettings& s, std::string& error) {
  Impl& m = *impl_;
  m.settings = s;
  av_log_set_level(AV_LOG_ERROR);  // the libraries' own chatter is not for the user
  const char* format_name = s.container == Container::kMp4        ? "mp4"
                            : s.container == Container::kMatroska ? "matroska"
                                                                  : "webm";
  // The codec and its picture format.
  const char* codec_name = nullptr;
  AVPixelFormat pix = AV_PIX_FMT_YUV420P;
  if (s.lossless) {
    // H.264 in RGB at QP 0 predicts from the frame before: a sonar picture changes
    // a wedge a ping, and the file is a twentieth of an intra-only lossless codec's.
    if (s.container == Container::kWebm) codec_name = "libvpx-vp9", pix = AV_PIX_FMT_GBRP;
    else codec_name = "libx264rgb", pix = AV_PIX_FMT_RGB24;
  } else {
    codec_name = s.container == Container::kWebm ? "libvpx-vp9" : "libx264";
  }
  const AVCodec* codec = avcodec_find_encoder_by_name(codec_name);
  if (!codec) {
    error = std::string("the video encoder ") + codec_name + " is not available in this FFmpeg";
    return false;
  }
  const AVCodecID text_id = s.container == Container::kMp4 ? AV_CODEC_ID_MOV_TEXT : AV_CODEC_ID_WEBVTT;
  const AVCodec* text_codec = s.subtitles ? avcodec_find_encoder(text_id) : nullptr;
  if (s.subtitles && !text_codec) {
    error = std::string("the subtitle encoder ") + avcodec_get_name(text_id) + " is not available in this FFmpeg";
    return false;
  }
  if (s.width <= 0 || s.height <= 0 || s.width % 2 || s.height % 2 || s.fps <= 0) {
    error = "the picture size or frame rate cannot be encoded";
    return false;
  }

  m.temp_path = s.path + ".part";
  int rc = avformat_alloc_output_context2(&m.format, nullptr, format_name, m.temp_path.c_str());
  if (rc < 0 || !m.format) {
    error = std::string("cannot make a ") + format_name + " file: " + AvError(rc);
    return false;
  }
  if (s.lossless) m.format->flags |= AVFMT_FLAG_BITEXACT;

  m.video = avcodec_alloc_context3(codec);
  m.video->width = s.width;
  m.video->height = s.height;
  m.video->pix_fmt = pix;
  m.video->time_base = AVRational{1, s.fps};
  m.video->framerate = AVRational{s.fps, 1};
  m.video->sample_aspect_ratio = AVRational{1, 1};
  m.video->gop_size = s.fps * 10;  // a key frame every ten seconds for seeking
  m.video->thread_count = s.threads;
  if (pix == AV_PIX_FMT_YUV420P) {
    // The conversion below uses the BT.601 matrix and limited range; say so.
    m.video->colorspace = AVCOL_SPC_SMPTE170M;
    m.video->color_range = AVCOL_RANGE_MPEG;
    m.video->color_primaries = AVCOL_PRI_BT709;
    m.video->color_trc = AVCOL_TRC_IEC61966_2_1;
  } else {
    m.video->colorspace = AVCOL_SPC_RGB;
    m.video->color_range = AVCOL_RANGE_JPEG;
  }
  if (s.lossless) m.video->flags |= AV_CODEC_FLAG_BITEXACT;
  if (m.format->oformat->flags & AVFMT_GLOBALHEADER) m.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  const std::string name = codec_name;
  if (name == "libx264") {
    // Sonar pictures change a wedge a ping: fast presets keep the echoes crisp.
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", "18", 0);
  } else if (name == "libx264rgb") {
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "qp", "0", 0);
  } else if (name == "libvpx-vp9") {
    av_dict_set(&options, "deadline", "realtime", 0);
    av_dict_set(&options, "cpu-used", "8", 0);
    av_dict_set(&options, "row-mt", "1", 0);
    if (s.lossless) {
      av_dict_set(&options, "lossless", "1", 0);
    } else {
      av_dict_set(&options, "crf", "30", 0);
      av_dict_set(&options, "b", "0", 0);
    }
  }
  rc = avcodec_open2(m.video, codec, &options);
  av_dict_free(&options);
  if (rc < 0) {
    error = std::string("cannot start the video encoder ") + codec_name + ": " + AvError(rc);
    m.Close();
    return false;
  }
  m.video_stream = avformat_new_stream(m.format, nullptr);
  avcodec_parameters_from_context(m.video_stream->codecpar, m.video);
  m.video_stream->time_base = m.video->time_base;
  m.video_stream->avg_frame_rate = m.video->framerate;
  m.video_stream->sample_aspect_ratio = m.video->sample_aspect_ratio;

  if (s.subtitles) {
    m.text = avcodec_alloc_context3(text_codec);
    m.text->time_base = AVRational{1, 1000};
    const size_t n = std::strlen(kAssHeader);
    m.text->subtitle_header = static_cast<uint8_t*>(av_mallocz(n + 1));
    std::memcpy(m.text->subtitle_header, kAssHeader, n);
    m.text->subtitle_header_size = static_cast<int>(n);
    if (s.lossless) m.text->flags |= AV_CODEC_FLAG_BITEXACT;
    rc = avcodec_open2(m.text, text_codec, nullptr);
    if (rc < 0) {
      error = std::string("cannot start the subtitle encoder: ") + AvError(rc);
      m.Close();
      return false;
    }
    m.text_stream = avformat_new_stream(m.format, nullptr);
    avcodec_parameters_from_context(m.text_stream->codecpar, m.text);
    m.text_stream->time_base = AVRational{1, 1000};
    av_dict_set(&m.text_stream->metadata, "title", "Readouts", 0);
    av_dict_set(&m.text_stream->metadata, "language", "eng", 0);
  }

  m.frame = av_frame_alloc();
  m.packet = av_packet_alloc();
  m.frame->format = pix;
  m.frame->width = s.width;
  m.frame->height = s.height;
  if (av_frame_get_buffer(m.frame, 0) < 0) {
    error = "out of memory for the picture";
    m.Close();
    return false;
  }
  if (pix == AV_PIX_FMT_YUV420P) {
    m.sws = sws_getContext(s.width, s.height, AV_PIX_FMT_RGB24, s.width, s.height, AV_PIX_FMT_YUV420P,
                           SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m.sws) {
      error = "cannot convert the picture to YUV";
      m.Close();
      return false;
    }
  }

  rc = avio_open(&m.format->pb, m.temp_path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) {
    error = "cannot create " + m.temp_path + ": " + AvError(rc);
    m.Close();
    return false;
  }
  m.file_open = true;
  m.temp_exists = true;
  AVDictionary* mux_options = nullptr;
  if (s.container == Container::kMp4) av_dict_set(&mux_options, "movflags", "+faststart", 0);
  rc = avformat_write_header(m.format, &mux_options);
  av_dict_free(&mux_options);
  if (rc < 0) {
    error = "cannot write " + m.temp_path + ": " + AvError(rc);
    Abort();
    return false;
  }
  m.header_written = true;
  return true;
}

bool VideoEncoder::WriteFrame(const uint8_t* rgb, std::string& error) {
  Impl& m = *impl_;
  if (!m.video) {
    error = "the video file is not open";
    return false;
  }
  if (!rgb && m.frames == 0) {
    error = "no picture to repeat";
    return false;
  }
  int rc = av_frame_make_writable(m.frame);  // a copy only if the encoder still holds it
  if (rc < 0) {
    error = "out of memory for the picture";
    return false;
  }
  const int w = m.settings.width, h = m.settings.height;
  switch (rgb ? m.video->pix_fmt : AV_PIX_FMT_NONE) {
    case AV_PIX_FMT_NONE:  // the picture of the last frame again
      break;
    case AV_PIX_FMT_YUV420P: {
      const uint8_t* src[1] = {rgb};
      const int stride[1] = {w * 3};
      sws_scale(m.sws, src, stride, 0, h, m.frame->data, m.frame->linesize);
      break;
    }
    case AV_PIX_FMT_RGB24:
      for (int y = 0; y < h; ++y)
        std::memcpy(m.frame->data[0] + static_cast<ptrdiff_t>(y) * m.frame->linesize[0],
                    rgb + static_cast<size_t>(y) * w * 3, static_cast<size_t>(w) * 3);
      break;
    default:  // planar G, B, R: split by hand so that the values stay exact
      for (int y = 0; y < h; ++y) {
        const uint8_t* p = rgb + static_cast<size_t>(y) * w * 3;
        uint8_t* g = m.frame->data[0] + static_cast<ptrdiff_t>(y) * m.frame->linesize[0];
        uint8_t* b = m.frame->data[1] + static_cast<ptrdiff_t>(y) * m.frame->linesize[1];
        uint8_t* r = m.frame->data[2] + static_cast<ptrdiff_t>(y) * m.frame->linesize[2];
        for (int x = 0; x < w; ++x) {
          r[x] = p[3 * x];
          g[x] = p[3 * x + 1];
          b[x] = p[3 * x + 2];
        }
      }
      break;
  }
  m.frame->pts = m.frames;
  rc = avcodec_send_frame(m.video, m.frame);
  if (rc < 0) {
    error = "the video encoder failed: " + AvError(rc);
    return false;
  }
  ++m.frames;
  return m.Drain(error);
}

bool VideoEncoder::WriteCue(int64_t start_ms, int64_t end_ms, const std::string& text, std::string& error) {
  Impl& m = *impl_;
  if (!m.text || end_ms <= start_ms) return true;
  std::string ass = "0,0,Default,,0,0,0,," + AssText(text);
  AVSubtitleRect rect{};
  rect.type = SUBTITLE_ASS;
  rect.ass = ass.data();
  AVSubtitleRect* rects[1] = {&rect};
  AVSubtitle sub{};
  sub.format = 1;
  sub.start_display_time = 0;
  sub.end_display_time = static_cast<uint32_t>(end_ms - start_ms);
  sub.num_rects = 1;
  sub.rects = rects;
  sub.pts = av_rescale_q(start_ms, AVRational{1, 1000}, AV_TIME_BASE_Q);
  std::vector<uint8_t> buf(64 * 1024);
  const int n = avcodec_encode_subtitle(m.text, buf.data(), static_cast<int>(buf.size()), &sub);
  if (n < 0) {
    error = "the subtitle encoder failed: " + AvError(n);
    return false;
  }
  if (av_new_packet(m.packet, n) < 0) {
    error = "out of memory for a subtitle";
    return false;
  }
  std::memcpy(m.packet->data, buf.data(), static_cast<size_t>(n));
  m.packet->pts = m.packet->dts = av_rescale_q(start_ms, AVRational{1, 1000}, m.text_stream->time_base);
  m.packet->duration = av_rescale_q(end_ms - start_ms, AVRational{1, 1000}, m.text_stream->time_base);
  m.packet->stream_index = m.text_stream->index;
  m.packet->flags |= AV_PKT_FLAG_KEY;
  const int rc = av_interleaved_write_frame(m.format, m.packet);
  if (rc < 0) {
    error = "cannot write " + m.temp_path + ": " + AvError(rc);
    return false;
  }
  return true;
}

bool VideoEncoder::Finish(std::string& error) {
  Impl& m = *impl_;
  if (!m.video || !m.header_written) {
    error = "the video file is not open";
    return false;
  }
  int rc = avcodec_send_frame(m.video, nullptr);
  if (rc < 0) {
    error = "the video encoder failed: " + AvError(rc);
    Abort();
    return false;
  }
  if (!m.Drain(error)) {
    Abort();
    return false;
  }
  rc = av_write_trailer(m.format);
  if (rc >= 0 && m.format->pb->error < 0) rc = m.format->pb->error;
  if (rc < 0) {
    error = "cannot write " + m.temp_path + ": " + AvError(rc);
    Abort();
    return false;
  }
  rc = avio_closep(&m.format->pb);
  m.file_open = false;
  if (rc < 0) {
    error = "cannot write " + m.temp_path + ": " + AvError(rc);
    Abort();
    return false;
  }
  if (std::rename(m.temp_path.c_str(), m.settings.path.c_str()) != 0) {
    error = "cannot rename " + m.temp_path + " to " + m.settings.path + ": " + std::strerror(errno);
    Abort();
    return false;
  }
  m.temp_exists = false;
  m.finished = true;
  m.Close();
  return true;
}

void VideoEncoder::Abort() {
  Impl& m = *impl_;
  m.Close();
  if (m.temp_exists) std::remove(m.temp_path.c_str());
  m.temp_exists = false;
  m.finished = true;
}

}  // namespace q47v::video

#include "gallery/video_play_thread.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/hwcontext.h>
#include <libavutil/hwcontext_drm.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <chrono>
#include <thread>

#include "display/display.h"
#include "platform/diag.h"
#include "platform/rga/rga.h"

namespace gallery {

namespace {

constexpr int64_t kDefaultIntervalUs = 40'000;  // 25 frames a second
constexpr int kRotation = 90;

class SteadyClock : public PlaybackClock {
 public:
  int64_t nowUs() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void sleepUntilUs(int64_t deadlineUs, const std::atomic<bool>& stop) override {
    // Slices of at most 10 ms: a stop is noticed well within one frame.
    constexpr int64_t kSliceUs = 10'000;
    for (int64_t now = nowUs(); now < deadlineUs && !stop.load(); now = nowUs())
      std::this_thread::sleep_for(std::chrono::microseconds(std::min(deadlineUs - now, kSliceUs)));
  }
};

// Everything one file needs from the libraries, released in one place
// whatever way playback ends.
struct Session {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* decoded = nullptr;
  AVFrame* transferred = nullptr;
  AVFrame* converted = nullptr;
  AVBufferRef* hwDevice = nullptr;
  SwsContext* scaler = nullptr;
  uint8_t* nv12[4] = {nullptr, nullptr, nullptr, nullptr};
  int nv12Lines[4] = {0, 0, 0, 0};
  int width = 0;  // of the NV12 picture
  int height = 0;

  ~Session() {
    sws_freeContext(scaler);
    av_freep(&nv12[0]);
    av_frame_free(&converted);
    av_frame_free(&transferred);
    av_frame_free(&decoded);
    av_packet_free(&packet);
    av_buffer_unref(&hwDevice);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

bool openDecoder(Session& s, const AVStream* stream, const AVCodec* decoder, bool hardware) {
  s.codec = avcodec_alloc_context3(decoder);
  if (!s.codec || avcodec_parameters_to_context(s.codec, stream->codecpar) < 0) {
    avcodec_free_context(&s.codec);
    return false;
  }
  if (!hardware) return true;
  // "rkmpp" is the MPP device of the board's libraries; elsewhere the name is
  // unknown and creation fails like a missing device.
  const AVHWDeviceType mpp = av_hwdevice_find_type_by_name("rkmpp");
  if (mpp == AV_HWDEVICE_TYPE_NONE ||
      av_hwdevice_ctx_create(&s.hwDevice, mpp, nullptr, nullptr, 0) < 0) {
    avcodec_free_context(&s.codec);
    return false;
  }
  s.codec->hw_device_ctx = av_buffer_ref(s.hwDevice);
  return s.codec->hw_device_ctx != nullptr;
}

}  // namespace

PlaybackClock& steadyPlaybackClock() {
  static SteadyClock clock;
  return clock;
}

int64_t frameIntervalUs(int num, int den) {
  if (den <= 0 || num <= 0) return kDefaultIntervalUs;
  const double rate = static_cast<double>(num) / den;
  if (!(rate >= 1.0)) return kDefaultIntervalUs;
  return static_cast<int64_t>(1e6 / rate + 0.5);
}

DrmPrimeSource drmPrimeSource(int pitch, int planeCount, int64_t secondPlaneOffset,
                              int decodedWidth, int decodedHeight) {
  if (pitch < 1) return {decodedWidth, decodedHeight};
  int64_t height = planeCount > 1 ? secondPlaneOffset / pitch : decodedHeight;
  if (height < 1 || height > INT32_MAX) height = decodedHeight;
  DrmPrimeSource src{pitch, static_cast<int>(height)};
  // The crop is the decoded picture; it must lie inside the buffer.
  if (src.width < decodedWidth) src.width = decodedWidth;
  if (src.height < decodedHeight) src.height = decodedHeight;
  return src;
}

VideoPlayThread::VideoPlayThread(QObject* parent) : QThread(parent) {}

VideoPlayThread::~VideoPlayThread() {
  requestStop();
  join();
}

bool VideoPlayThread::join(unsigned long ms) {
  if (!wait(ms)) return false;
  runFence_.observe();
  return true;
}

void VideoPlayThread::setPath(const QString& path) {
  path_ = path;
  stopRequested_.store(false);
}

QString VideoPlayThread::path() const { return path_; }

void VideoPlayThread::run() {
  platform::RunFence::Scope fence(runFence_);
  framesShown_.store(0);
  if (!path_.isEmpty()) play(path_);
  emit playFinished();
}

void VideoPlayThread::play(const QString& path) {
  PlaybackClock& clock = clock_ ? *clock_ : steadyPlaybackClock();
  Session s;
  s.packet = av_packet_alloc();
  s.decoded = av_frame_alloc();
  s.transferred = av_frame_alloc();
  s.converted = av_frame_alloc();
  if (!s.packet || !s.decoded || !s.transferred || !s.converted) {
    diag::err("VideoPlayThread: alloc ffmpeg buffers failed");
    return;
  }

  // Recordings are MP4; reading the card's files only as MP4 keeps a damaged
  // or foreign file from being probed as anything else.
  const QByteArray utf8 = path.toUtf8();
  if (avformat_open_input(&s.format, utf8.constData(), av_find_input_format("mp4"), nullptr) < 0) {
    diag::err("VideoPlayThread: open '%s' failed", utf8.constData());
    return;
  }
  if (avformat_find_stream_info(s.format, nullptr) < 0) {
    diag::err("VideoPlayThread: find_stream_info failed");
    return;
  }
  const int streamIndex =
      av_find_best_stream(s.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (streamIndex < 0) {
    diag::err("VideoPlayThread: no video stream");
    return;
  }
  const AVStream* stream = s.format->streams[streamIndex];
  const AVCodecParameters* par = stream->codecpar;
  if (par->width < 2 || par->height < 2 || par->width > kMaxSide || par->height > kMaxSide) {
    diag::warning(diag::kPlayback, "picture size %dx%d refused", par->width, par->height);
    return;
  }

  const char* mppName = par->codec_id == AV_CODEC_ID_H264   ? "h264_rkmpp"
                        : par->codec_id == AV_CODEC_ID_HEVC ? "hevc_rkmpp"
                                                            : nullptr;
  const AVCodec* decoder = mppName ? avcodec_find_decoder_by_name(mppName) : nullptr;
  bool hardware = decoder != nullptr;
  if (!hardware) {
    diag::err("VideoPlayThread: rkmpp decoder not found, fallback to software decode");
    decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder) {
      diag::err("VideoPlayThread: decoder not found");
      return;
    }
  }
  if (!openDecoder(s, stream, decoder, hardware)) {
    if (!hardware) {
      diag::err("VideoPlayThread: avcodec_open2 failed");
      return;
    }
    diag::err("VideoPlayThread: create rkmpp hwdevice failed, fallback to software decode");
    av_buffer_unref(&s.hwDevice);
    hardware = false;
    decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder) {
      diag::err("VideoPlayThread: decoder not found");
      return;
    }
    if (!openDecoder(s, stream, decoder, false)) {
      diag::err("VideoPlayThread: avcodec_open2 failed");
      return;
    }
  }
  if (avcodec_open2(s.codec, decoder, nullptr) < 0) {
    diag::err("VideoPlayThread: avcodec_open2 failed");
    return;
  }

  FramePacer pacer(frameIntervalUs(stream->avg_frame_rate.num, stream->avg_frame_rate.den));

  // The NV12 picture of the fallback paths, at the stream's size rounded to
  // even (the display's chroma is subsampled by two both ways). Every decoded
  // picture is scaled into it, so a stream that changes size midway cannot
  // overrun it.
  s.width = par->width & ~1;
  s.height = par->height & ~1;
  if (av_image_alloc(s.nv12, s.nv12Lines, s.width, s.height, AV_PIX_FMT_NV12, 1) < 0) {
    diag::err("VideoPlayThread: alloc ffmpeg buffers failed");
    return;
  }

  static std::atomic<bool> strideLogged{false};
  diag::Throttle badFrames;
  bool started = false;

  auto showSoftware = [&](const AVFrame* f) -> bool {
    s.scaler = sws_getCachedContext(s.scaler, f->width, f->height,
                                    static_cast<AVPixelFormat>(f->format), s.width, s.height,
                                    AV_PIX_FMT_NV12, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.scaler) {
      if (badFrames.next())
        diag::warning(diag::kPlayback, "cannot convert a %dx%d picture (format %d)", f->width,
                   f->height, f->format);
      return false;
    }
    sws_scale(s.scaler, f->data, f->linesize, 0, f->height, s.nv12, s.nv12Lines);
    if (stopRequested_.load()) return false;
    display_show(s.nv12[0], -1, RK_FORMAT_YCbCr_420_SP, s.width, s.height, 0, 0, s.width,
                 s.height, kRotation);
    return true;
  };

  // One decoded picture to the panel; false when nothing was shown.
  auto present = [&](const AVFrame* f) -> bool {
    if (f->width < 1 || f->height < 1) return false;
    if (hardware && f->format == AV_PIX_FMT_DRM_PRIME) {
      const auto* desc = reinterpret_cast<const AVDRMFrameDescriptor*>(f->data[0]);
      if (desc && desc->nb_objects >= 1 && desc->objects[0].fd >= 0 && desc->nb_layers >= 1 &&
          desc->layers[0].nb_planes >= 1) {
        const AVDRMLayerDescriptor& layer = desc->layers[0];
        const DrmPrimeSource src =
            drmPrimeSource(static_cast<int>(layer.planes[0].pitch), layer.nb_planes,
                           layer.nb_planes > 1 ? layer.planes[1].offset : 0, f->width, f->height);
        if (!strideLogged.exchange(true))
          diag::out("VideoPlayThread: drm stride=%dx%d actual=%dx%d", src.width, src.height,
                    f->width, f->height);
        display_show(nullptr, desc->objects[0].fd, RK_FORMAT_YCbCr_420_SP, src.width, src.height,
                     0, 0, f->width, f->height, kRotation);
        return true;
      }
    }
    if (f->hw_frames_ctx) {
      av_frame_unref(s.transferred);
      if (av_hwframe_transfer_data(s.transferred, f, 0) < 0) {
        diag::err("VideoPlayThread: av_hwframe_transfer_data failed");
        return false;
      }
      return showSoftware(s.transferred);
    }
    return showSoftware(f);
  };

  // Receives every picture the decoder has; false when playback must end.
  auto drain = [&]() -> bool {
    while (avcodec_receive_frame(s.codec, s.decoded) == 0) {
      if (!started) {
        pacer.start(clock.nowUs());
        started = true;
      }
      if (present(s.decoded)) framesShown_.fetch_add(1);
      av_frame_unref(s.decoded);
      if (stopRequested_.load()) return false;
      clock.sleepUntilUs(pacer.nextDue(clock.nowUs()), stopRequested_);
      if (stopRequested_.load()) return false;
    }
    return true;
  };

  bool go = true;
  while (go && !stopRequested_.load()) {
    if (av_read_frame(s.format, s.packet) < 0) break;
    if (s.packet->stream_index != streamIndex) {
      av_packet_unref(s.packet);
      continue;
    }
    const int sent = avcodec_send_packet(s.codec, s.packet);
    av_packet_unref(s.packet);
    if (sent >= 0) go = drain();
  }
  // The pictures the decoder still holds at the end of the file are part of it.
  if (go && !stopRequested_.load() && avcodec_send_packet(s.codec, nullptr) >= 0) drain();
}

}  // namespace gallery

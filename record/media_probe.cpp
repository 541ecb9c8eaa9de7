#include "record/media_probe.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/diag.h"

namespace record {
namespace {

constexpr int kThumbWidth = 360;
constexpr int kThumbHeight = 320;
// A stream whose first picture does not decode within this many packets is
// not going to give a thumbnail.
constexpr int kMaxPacketsForThumbnail = 200;

struct FormatCloser {
  AVFormatContext* ctx = nullptr;
  ~FormatCloser() {
    if (ctx) avformat_close_input(&ctx);
  }
};

}  // namespace

bool isPlayableMp4(const QString& path) {
  if (path.isEmpty() || !QFile::exists(path)) return false;
  const QByteArray name = QFile::encodeName(path);
  const AVInputFormat* mp4 = av_find_input_format("mp4");
  FormatCloser f;
  if (avformat_open_input(&f.ctx, name.constData(), const_cast<AVInputFormat*>(mp4), nullptr) <
      0)
    return false;
  if (avformat_find_stream_info(f.ctx, nullptr) < 0) return false;
  const int idx = av_find_best_stream(f.ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (idx < 0) return false;
  const AVCodecParameters* par = f.ctx->streams[idx]->codecpar;
  return par->codec_id == AV_CODEC_ID_H264 && par->width > 0 && par->height > 0;
}

QByteArray firstFrameJpegOfRawStream(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  const AVInputFormat* h264 = av_find_input_format("h264");
  FormatCloser f;
  if (!h264 ||
      avformat_open_input(&f.ctx, name.constData(), const_cast<AVInputFormat*>(h264), nullptr) < 0)
    return {};
  if (f.ctx->nb_streams < 1) return {};
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  if (!codec) return {};
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  QByteArray jpeg;
  bool got = false;
  if (dec && pkt && frame &&
      avcodec_parameters_to_context(dec, f.ctx->streams[0]->codecpar) >= 0 &&
      avcodec_open2(dec, codec, nullptr) >= 0) {
    for (int n = 0; !got && n < kMaxPacketsForThumbnail; ++n) {
      if (av_read_frame(f.ctx, pkt) < 0) break;
      if (avcodec_send_packet(dec, pkt) >= 0) got = avcodec_receive_frame(dec, frame) == 0;
      av_packet_unref(pkt);
    }
    if (!got && avcodec_send_packet(dec, nullptr) >= 0)
      got = avcodec_receive_frame(dec, frame) == 0;  // what the decoder still holds
  }
  if (got && frame->width > 0 && frame->height > 0) {
    SwsContext* sws = sws_getContext(frame->width, frame->height,
                                     static_cast<AVPixelFormat>(frame->format), kThumbWidth,
                                     kThumbHeight, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr,
                                     nullptr, nullptr);
    // swscale may write past the end of a tightly sized buffer: its own
    // padded one, copied into the image afterwards.
    uint8_t* dst[4] = {};
    int dstStride[4] = {};
    if (sws && av_image_alloc(dst, dstStride, kThumbWidth, kThumbHeight, AV_PIX_FMT_RGB24, 64) >= 0) {
      if (sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride) ==
          kThumbHeight) {
        const QImage rgb =
            QImage(dst[0], kThumbWidth, kThumbHeight, dstStride[0], QImage::Format_RGB888).copy();
        QBuffer buf(&jpeg);
        buf.open(QIODevice::WriteOnly);
        if (rgb.isNull() || !rgb.save(&buf, "JPEG", 75)) jpeg.clear();
      }
      av_freep(&dst[0]);
    }
    sws_freeContext(sws);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  if (!got) diag::warning(diag::kRecording, "no picture decodes from %s", name.constData());
  return jpeg;
}

}  // namespace record

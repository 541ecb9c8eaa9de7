#include "tests/record/recording_support.h"

#include <QFile>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "tests/support/run_capture.h"

namespace rectest {

QString decodeErrors(const QString& path) {
  const testsupport::RunResult r = testsupport::runCapturing(
      QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
  if (r.exitStatus < 0) return QStringLiteral("ffmpeg did not run to its end");
  return QString::fromLocal8Bit(r.err + r.out);
}

VideoInfo probeVideo(const QString& path) {
  VideoInfo info;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
    return info;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    const int idx = av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (idx >= 0) {
      const AVStream* st = ctx->streams[idx];
      info.opened = true;
      info.codec = QString::fromLatin1(avcodec_get_name(st->codecpar->codec_id));
      info.width = st->codecpar->width;
      info.height = st->codecpar->height;
      info.fps = av_q2d(st->avg_frame_rate);
      info.range = QString::fromLatin1(av_color_range_name(st->codecpar->color_range));
      info.matrix = QString::fromLatin1(av_color_space_name(st->codecpar->color_space));
      AVPacket* pkt = av_packet_alloc();
      while (av_read_frame(ctx, pkt) >= 0) {
        if (pkt->stream_index == idx) ++info.frames;
        av_packet_unref(pkt);
      }
      av_packet_free(&pkt);
    }
  }
  avformat_close_input(&ctx);
  return info;
}

QImage decodeFrame(const QString& path, int index) {
  QImage out;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
    return out;
  const int idx = avformat_find_stream_info(ctx, nullptr) >= 0
                      ? av_find_best_stream(ctx, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                      : -1;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* dec = avcodec_alloc_context3(codec);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (idx >= 0 && avcodec_parameters_to_context(dec, ctx->streams[idx]->codecpar) >= 0 &&
      avcodec_open2(dec, codec, nullptr) >= 0) {
    int seen = 0;
    bool done = false;
    auto take = [&] {
      while (!done && avcodec_receive_frame(dec, frame) == 0) {
        if (seen++ < index) continue;
        SwsContext* sws = sws_getContext(frame->width, frame->height,
                                         static_cast<AVPixelFormat>(frame->format), frame->width,
                                         frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr,
                                         nullptr, nullptr);
        uint8_t* dst[4] = {};
        int stride[4] = {};
        if (sws && av_image_alloc(dst, stride, frame->width, frame->height, AV_PIX_FMT_RGB24, 64) >=
                       0) {
          sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
          out = QImage(dst[0], frame->width, frame->height, stride[0], QImage::Format_RGB888).copy();
          av_freep(&dst[0]);
        }
        sws_freeContext(sws);
        done = true;
      }
    };
    while (!done && av_read_frame(ctx, pkt) >= 0) {
      if (pkt->stream_index == idx && avcodec_send_packet(dec, pkt) >= 0) take();
      av_packet_unref(pkt);
    }
    if (!done && avcodec_send_packet(dec, nullptr) >= 0) take();
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&dec);
  avformat_close_input(&ctx);
  return out;
}

LastBox lastTopLevelBox(const QString& path) {
  QFile f(path);
  LastBox last;
  if (!f.open(QIODevice::ReadOnly)) return last;
  const QByteArray all = f.readAll();
  qint64 at = 0;
  while (at + 8 <= all.size()) {
    const auto* p = reinterpret_cast<const uchar*>(all.constData() + at);
    qint64 size = qFromBigEndian<quint32>(p);
    qint64 header = 8;
    if (size == 1) {
      size = static_cast<qint64>(qFromBigEndian<quint64>(p + 8));
      header = 16;
    } else if (size == 0) {
      size = all.size() - at;
    }
    if (size < header || at + size > all.size()) return LastBox{};
    last.type = all.mid(at + 4, 4);
    last.payload = all.mid(at + header, size - header);
    at += size;
  }
  return last;
}

}  // namespace rectest

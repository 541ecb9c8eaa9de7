#include "tests/record/recording_support.h"

#include <QFile>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace rectest {

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

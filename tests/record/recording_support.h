#pragma once
// Reading back what the video writer left on the card.
#include <QByteArray>
#include <QImage>
#include <QString>

namespace rectest {

struct VideoInfo {
  bool opened = false;
  QString codec;
  int width = 0;
  int height = 0;
  double fps = 0;
  int frames = 0;  // packets of the video stream
  QString range;   // "pc" (full), "tv" (limited) or "unknown", as ffprobe says
  QString matrix;  // the colour matrix by its FFmpeg name
};
VideoInfo probeVideo(const QString& path);

// Frame `index` (from 0) of the video at `path` as RGB, null when it has fewer.
QImage decodeFrame(const QString& path, int index);

// What the ffmpeg program reports decoding the whole video (empty: nothing
// wrong from the first frame to the last).
QString decodeErrors(const QString& path);

// Type of the last top-level box and its payload.
struct LastBox {
  QByteArray type;
  QByteArray payload;
};
LastBox lastTopLevelBox(const QString& path);

}  // namespace rectest

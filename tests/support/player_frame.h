#pragma once
// A frame of a video as a player shows it: the ffmpeg program decodes and
// converts it to RGB with its defaults, which follow the range and matrix the
// stream declares.
#include <QImage>
#include <QString>

#include "tests/support/run_capture.h"

namespace testsupport {

// Frame `index` (from 0) of the video at `path`; null when there is none.
inline QImage playerFrame(const QString& path, int index) {
  const RunResult r = runCapturing(
      QStringLiteral("ffmpeg"),
      {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
       QStringLiteral("-i"), path, QStringLiteral("-vf"),
       QStringLiteral("select=eq(n\\,%1)").arg(index), QStringLiteral("-frames:v"),
       QStringLiteral("1"), QStringLiteral("-f"), QStringLiteral("image2pipe"),
       QStringLiteral("-vcodec"), QStringLiteral("png"), QStringLiteral("-")});
  if (r.exitStatus != 0) return QImage();
  QImage frame;
  frame.loadFromData(r.out, "PNG");
  return frame.convertToFormat(QImage::Format_RGB888);
}

}  // namespace testsupport

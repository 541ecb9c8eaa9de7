#pragma once
// A frame of a video as a player shows it: the ffmpeg program decodes and
// converts it to RGB with its defaults, which follow the range and matrix the
// stream declares.
#include <QImage>
#include <QProcess>
#include <QString>

namespace testsupport {

// Frame `index` (from 0) of the video at `path`; null when there is none.
inline QImage playerFrame(const QString& path, int index) {
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
           QStringLiteral("-vf"), QStringLiteral("select=eq(n\\,%1)").arg(index),
           QStringLiteral("-frames:v"), QStringLiteral("1"), QStringLiteral("-f"),
           QStringLiteral("image2pipe"), QStringLiteral("-vcodec"), QStringLiteral("png"),
           QStringLiteral("-")});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return QImage();
  QImage frame;
  frame.loadFromData(p.readAllStandardOutput(), "PNG");
  return frame.convertToFormat(QImage::Format_RGB888);
}

}  // namespace testsupport

#pragma once
// Media files for the gallery tests: photos, videos with and without their
// thumbnail box, on a throw-away card.
#include <QByteArray>
#include <QColor>
#include <QString>
#include <QStringList>

#include "tests/support/temp_root.h"

namespace gallerytest {

// A JPEG of the given size and colour.
QByteArray jpeg(int w, int h, const QColor& colour);
// Writes each name into the folder (board path) with `content`.
void put(const TempRoot& root, const QString& dir, const QStringList& names,
         const QByteArray& content = QByteArray("x"));
// File names of a list of paths.
QStringList names(const QStringList& paths);
// A short H.264 MP4 made by the ffmpeg program (360 x 320 at 25 frames a
// second), or empty when the program is not there. `faststart` puts the
// index before the pictures, so a cut-off copy still opens.
QString makeVideo(const QString& dir, double seconds, const QString& name = "video_1.mp4",
                  bool faststart = false);

}  // namespace gallerytest

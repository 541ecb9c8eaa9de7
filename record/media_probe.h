#pragma once
// What the video writer asks of a file on the card without trusting it: is
// this MP4 a playable video, and what does the first picture of a raw H.264
// stream look like. Both read files as given (paths on the PC or the board,
// no mapping) and never write.
#include <QByteArray>
#include <QString>

namespace record {

// True when libavformat opens the file as MP4 and finds an H.264 video stream
// in it: a remux that died half-way (no index) or wrote nothing is not one.
bool isPlayableMp4(const QString& path);

// The first picture of the raw H.264 (Annex-B) stream at `path` as a 360 x 320
// JPEG of quality 75, the form of a recording's thumbnail; empty when no
// picture can be decoded from the first few megabytes.
QByteArray firstFrameJpegOfRawStream(const QString& path);

}  // namespace record

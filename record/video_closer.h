#pragma once
// Turning a raw H.264 stream on the card into the finished video: the remux
// to MP4 by the ffmpeg program, the check that the result plays, the
// thumbnail box, and only then the removal of the raw stream. Used for every
// recording that stops and for the raw streams found on the card at start-up
// (power lost while recording, a remux that failed before).
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace record {

// Board paths of the videos.
inline constexpr const char* kVideoDir = "/mnt/sdcard/video/";

// "/mnt/sdcard/video/video_7.h264" -> "/mnt/sdcard/video/video_7.mp4".
QString mp4PathFor(const QString& rawPath);

// Finishes the raw stream at the board path `rawPath`: remuxed to a
// temporary name, checked, given its thumbnail, then renamed into place. `jpeg` is the
// thumbnail; when it is empty one is decoded from the stream's first picture.
// True when a playable MP4 exists at the end and the raw stream is gone.
// Otherwise the raw stream stays on the card (a partial MP4 is removed), with
// one exception: a stream below 64 bytes holds no picture and is removed when
// `recovering` is false.
// With `recovering`, an MP4 that already plays is the remux of this stream
// (the power went before its raw stream was removed): it is kept, given a
// thumbnail if it has none, and the raw stream removed.
bool finishRawStream(const QString& rawPath, const QByteArray& jpeg, bool recovering);

// Board paths of the raw streams on the card, lowest number first.
QStringList rawStreamsOnCard();

// The remux writes here and the video takes mp4Path's name only once it is
// checked: "/mnt/sdcard/video/video_7.mp4" -> ".../video_7.mp4.part".
QString remuxTempPathFor(const QString& mp4Path);
// Removes what remuxes cut short (power lost, killed) left at temporary
// names. Their raw streams stay, to be finished again.
void removeStaleRemuxes();

}  // namespace record
